# Cross-builds the headless programs for 64-bit ARM (a Raspberry Pi running
# Debian or Raspberry Pi OS, arm64) with Debian's own cross toolchain
# (crossbuild-essential-arm64) and the :arm64 development packages, which
# scripts/setup-deps installs:
#   cmake -S . -B build-arm64 -G Ninja -DKESTRANE_BUILD_UI=OFF \
#       -DCMAKE_TOOLCHAIN_FILE=packaging/aarch64-linux-gnu.cmake
# Debian's cross compilers already search the multiarch folders
# (/usr/include/aarch64-linux-gnu, /usr/lib/aarch64-linux-gnu), so no sysroot
# is set; the build machine's own headers and libraries are kept out of the
# library and package searches below.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)

set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)

# Libraries and CMake package files of the arm64 packages only; programs
# (help2man, gzip, rsvg-convert) are the build machine's.
set(CMAKE_FIND_ROOT_PATH /usr/aarch64-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)

# pkg-config reads the arm64 .pc files only.
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/aarch64-linux-gnu/pkgconfig:/usr/share/pkgconfig)
set(ENV{PKG_CONFIG_SYSROOT_DIR} "")

# The arm64 programs and tests run on the build machine through qemu-user:
# ctest runs the tests through it, and the tests start the programs through
# it (the kernel may have no binfmt_misc entry for arm64). They load the C
# library of the :arm64 packages (libc6:arm64, under /), the same one as the
# libraries they link; the cross toolchain's own copy under
# /usr/aarch64-linux-gnu is another build, and its loader with libc6:arm64's
# C library hangs the first thread a program starts.
find_program(KESTRANE_QEMU_AARCH64 qemu-aarch64-static qemu-aarch64)
if(KESTRANE_QEMU_AARCH64)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${KESTRANE_QEMU_AARCH64} -L /)
endif()

# Debian's arm64 package architecture, for CPack and dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE arm64)
