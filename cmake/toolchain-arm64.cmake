# Cross-building for Linux arm64 with Debian's cross compiler (g++-aarch64-linux-gnu) and the
# :arm64 multiarch libraries; scripts/build-arm64 uses it. Programs built for the target (the
# tests) run under qemu-user (no binfmt needed).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)
set(CMAKE_FIND_ROOT_PATH /usr/aarch64-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
# pkg-config answers for the target's libraries, not the host's.
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/aarch64-linux-gnu/pkgconfig:/usr/share/pkgconfig)
# Programs run under qemu with the machine's own arm64 C library (libc6:arm64, which the :arm64
# packages bring): its loader /lib/ld-linux-aarch64.so.1 and its libc.so.6 are of one build.
# Never `-L /usr/aarch64-linux-gnu`: that takes the cross package's loader, while libc.so.6 is
# still found in the multiarch folder, another build of the library; the two disagree on the
# loader's shared state and the first pthread_create walks a list that is not there (it spins).
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64-static)
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE arm64)
