# The Debian packages each command needs: the one list the scripts install from
# (scripts/ensure-packages.sh COMMAND...), and the one CI's clean-machine check purges by.
# Sourced, not run.
# shellcheck shell=bash disable=SC2034

# scripts/run.sh: the program alone.
packages_run=(g++ cmake ninja-build libsdl2-dev libx11-dev libxrandr-dev)
# The unit tests.
packages_unit_tests=(libgtest-dev libmpfr-dev)
# The end-to-end tests: X servers, a window manager, weston for Wayland and Xwayland (with
# libdecor's plugin, which draws the title bar a test closes the window by), xrandr to
# arrange monitors, and the X extensions that drive them.
packages_end_to_end=(xvfb xserver-xorg-core xserver-xorg-video-dummy openbox weston xwayland libdecor-0-plugin-1-cairo
                     x11-xserver-utils libxtst-dev libxres-dev libxfixes-dev)
# scripts/test.sh, and the sanitizer, soak and Valgrind runs, which build the same tree.
packages_test=("${packages_run[@]}" "${packages_unit_tests[@]}" "${packages_end_to_end[@]}")
packages_valgrind=(valgrind)
# scripts/benchmarks.sh: the micro-benchmarks and the whole program under Xvfb.
packages_benchmarks=("${packages_run[@]}" libbenchmark-dev xvfb weston libdecor-0-plugin-1-cairo libxtst-dev libxres-dev
                     libxfixes-dev)
# scripts/readme-screenshot.sh.
packages_screenshot=("${packages_run[@]}" xvfb libpng-dev)
# scripts/fuzz.sh: libFuzzer comes with clang's runtime.
packages_fuzz=("${packages_run[@]}" clang libclang-rt-14-dev)
# scripts/test-toolchain.sh clang: the unit tests built with clang.
packages_clang=("${packages_run[@]}" "${packages_unit_tests[@]}" clang)
# scripts/test-toolchain.sh aarch64: the cross compiler, qemu, and the arm64 builds of the libraries.
packages_aarch64=(cmake ninja-build g++-aarch64-linux-gnu qemu-user
                  libsdl2-dev:arm64 libx11-dev:arm64 libxrandr-dev:arm64 libgtest-dev:arm64 libmpfr-dev:arm64)

# What each package provides, for a system that has to find it under another name.
declare -A package_provides=(
  [g++]="a C++20 compiler (GCC 12 or clang 14 are tested)"
  [cmake]="CMake 3.25 or later"
  [ninja-build]="Ninja, the build tool CMake drives"
  [libsdl2-dev]="SDL2 development files (headers, library, CMake package)"
  [libx11-dev]="Xlib development files"
  [libxrandr-dev]="the X RandR extension's development files (libXrandr)"
  [libgtest-dev]="GoogleTest"
  [libmpfr-dev]="MPFR, correctly rounded multiple-precision arithmetic"
  [xvfb]="Xvfb, the virtual-framebuffer X server"
  [xserver-xorg-core]="the Xorg server"
  [xserver-xorg-video-dummy]="Xorg's dummy video driver"
  [openbox]="the Openbox window manager"
  [weston]="weston, the reference Wayland compositor"
  [xwayland]="Xwayland, the X server of a Wayland desktop"
  [libdecor-0-plugin-1-cairo]="libdecor's plugin that draws a Wayland window's title bar"
  [x11-xserver-utils]="xrandr"
  [libxtst-dev]="the X XTest extension's development files (libXtst)"
  [libxres-dev]="the X Resource extension's development files (libXRes)"
  [libxfixes-dev]="the X XFixes extension's development files (libXfixes)"
  [valgrind]="Valgrind"
  [libbenchmark-dev]="Google Benchmark"
  [libpng-dev]="libpng development files"
  [clang]="clang 14"
  [libclang-rt-14-dev]="clang 14's runtime libraries (sanitizers, libFuzzer)"
  [g++-aarch64-linux-gnu]="GCC cross compiler for 64-bit ARM Linux"
  [qemu-user]="qemu's user-mode emulation (qemu-aarch64)"
)

# Whether a package is installed for this machine's architecture, or for the one its name
# gives (name:arch): where arm64's build of a library is installed too, the name alone
# would also answer for that one.
package_installed() {
  local name=${1%%:*} architecture=${1#*:}
  [ "$architecture" = "$1" ] && architecture=$(dpkg --print-architecture)
  dpkg-query -W -f='${Architecture} ${Status}\n' "$name" 2>/dev/null |
    grep -qE "^($architecture|all) install ok installed$"
}
