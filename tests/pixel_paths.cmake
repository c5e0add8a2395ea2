# What the engine tests need on every target (included by engine_tests.cmake and
# windows_tests.cmake): the libraries they link, their sources, and the pixel paths: the
# rasteriser and the PNG reader once more in namespaces of their own (the portable path, and
# x86's SSE2 path without its eight-pixel steps), beside the build's own, to draw the same
# frames on every path.
find_package(PNG REQUIRED)
pkg_check_modules(ENGINE_TEST_VORBIS REQUIRED IMPORTED_TARGET vorbisenc vorbis ogg)
# SDL itself, to push the device events a player makes and see what the sound device does.
pkg_check_modules(ENGINE_TEST_SDL REQUIRED IMPORTED_TARGET sdl2)
file(GLOB ENGINE_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/engine_*_test.cpp)

# <target> <namespace> <switch> [compile options...]
function(brisel_pixel_path target space switch)
  add_library(${target} STATIC ${PROJECT_SOURCE_DIR}/engine/src/canvas.cpp
              ${PROJECT_SOURCE_DIR}/engine/src/png_reader.cpp ${CMAKE_CURRENT_SOURCE_DIR}/pixel_frames.cpp)
  target_compile_definitions(${target} PRIVATE ${switch} brisel=${space})
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR}/engine/src ${PROJECT_SOURCE_DIR}/engine/include)
  target_link_libraries(${target} PRIVATE brisel_core PNG::PNG)
  target_compile_options(${target} PRIVATE ${ARGN})
endfunction()
brisel_pixel_path(brisel_pixels_portable brisel_portable BRISEL_PORTABLE_PIXELS -O2)
brisel_pixel_path(brisel_pixels_sse2 brisel_sse2 BRISEL_SSE2_ONLY_PIXELS)
