#include "platform/program_name.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>

const char* programName() {
    // Worked out once, by whichever thread asks first.
    static const std::array<char, 64> name = [] {
        std::array<char, 64> text{};
        std::snprintf(text.data(), text.size(), "%s", program_invocation_short_name);
        if (char* dot = std::strrchr(text.data(), '.'); dot != nullptr && dot != text.data()) {
            *dot = 0;
        }
        if (text[0] == 0) {
            std::snprintf(text.data(), text.size(), "disctrail");
        }
        return text;
    }();
    return name.data();
}
