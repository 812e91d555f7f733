# Cross-building for 64-bit ARM Linux with Debian's cross compiler, against the arm64
# libraries Debian's multiarch installs beside the build machine's own
# (libsdl2-dev:arm64 and the like); the tests run under qemu's user-mode emulation.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
# Libraries and CMake packages from /usr/lib/aarch64-linux-gnu, not the build machine's.
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64)
