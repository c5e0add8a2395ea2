# A build folder configured with -DGRAPPIX_SANITIZE=ON builds the game, the engine library, the
# tests and the benchmarks with AddressSanitizer and UndefinedBehaviorSanitizer, and any report
# ends the process (-fno-sanitize-recover=all). scripts/test runs the whole test suite in such a
# folder besides the normal one.
#
# The asset generator stays as it is: it is a build tool, not part of the game, and the tests
# only read what it wrote.
#
# The engine library is dlopen'ed by the game and by the engine tests. Both executables are
# sanitized, so they carry the ASan runtime and the library finds it already loaded; no
# LD_PRELOAD is needed.
option(GRAPPIX_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)

set(GRAPPIX_SANITIZE_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all
                           -fno-omit-frame-pointer)

# Applies the flags to every compiled target defined in dir and below.
function(grappix_sanitize_directory dir)
  get_property(_targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(_t IN LISTS _targets)
    get_target_property(_type ${_t} TYPE)
    if(_type MATCHES "^(EXECUTABLE|SHARED_LIBRARY|MODULE_LIBRARY|STATIC_LIBRARY|OBJECT_LIBRARY)$")
      target_compile_options(${_t} PRIVATE ${GRAPPIX_SANITIZE_FLAGS})
      if(NOT _type MATCHES "^(STATIC_LIBRARY|OBJECT_LIBRARY)$")
        target_link_options(${_t} PRIVATE ${GRAPPIX_SANITIZE_FLAGS})
      endif()
    endif()
  endforeach()
  get_property(_subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(_s IN LISTS _subdirs)
    grappix_sanitize_directory(${_s})
  endforeach()
endfunction()

if(GRAPPIX_SANITIZE)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "GRAPPIX_SANITIZE needs g++ or clang++")
  endif()
  get_property(_parts DIRECTORY ${PROJECT_SOURCE_DIR} PROPERTY SUBDIRECTORIES)
  foreach(_dir IN LISTS _parts)
    if(NOT _dir STREQUAL "${PROJECT_SOURCE_DIR}/assets")
      grappix_sanitize_directory(${_dir})
    endif()
  endforeach()
endif()
