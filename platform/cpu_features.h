// Which optional instructions the processor running the program has, for the few paths
// built for them. Those paths exist only in x86 builds; everywhere else the portable
// path is the only one.
#pragma once

#if defined(__x86_64__) || defined(__i386__)
#define DISCTRAIL_X86 1
#else
#define DISCTRAIL_X86 0
#endif

inline bool cpuHasAvx2() {
#if DISCTRAIL_X86
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
#else
    return false;
#endif
}
