# Cross-building for Windows x86-64 with Debian's mingw-w64 toolchain (g++-mingw-w64-x86-64-posix);
# scripts/build-windows uses it. GRAPPIX_MINGW_PREFIX is where it installed the libraries it
# cross-built (SDL2, SDL2_ttf, FreeType, libpng, zlib, libdeflate, libogg, libvorbis). Programs
# built for the target (the tests) run under wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_AR x86_64-w64-mingw32-ar CACHE FILEPATH "")
set(CMAKE_RANLIB x86_64-w64-mingw32-ranlib CACHE FILEPATH "")
set(GRAPPIX_MINGW_PREFIX "" CACHE PATH "Where the cross-built libraries are installed")
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES GRAPPIX_MINGW_PREFIX)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 ${GRAPPIX_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE BOTH)  # the host's fonts are found too (assets)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# pkg-config answers for the cross-built libraries only, never the host's.
if(GRAPPIX_MINGW_PREFIX)
  set(ENV{PKG_CONFIG_LIBDIR} ${GRAPPIX_MINGW_PREFIX}/lib/pkgconfig)
  set(ENV{PKG_CONFIG_PATH} "")
endif()
find_program(GRAPPIX_WINE64 NAMES wine64 PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(GRAPPIX_WINE64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${GRAPPIX_WINE64})
endif()
