// disctrail: the whole program is the demonstration's driver.
#include "demo/driver.h"

int main() { runDemo(); }
