# ---- engine tests: the real library (Data/Brisel.vqd), headless under SDL's dummy drivers ----
# Each test runs in its own process (gtest_discover_tests), so environment settings such as
# BRISEL_INPUT and the engine's global state never leak from one test into the next.
find_package(PNG REQUIRED)
pkg_check_modules(ENGINE_TEST_VORBIS REQUIRED IMPORTED_TARGET vorbisenc vorbis ogg)
# SDL itself, to push the device events a player makes and see what the sound device does.
pkg_check_modules(ENGINE_TEST_SDL REQUIRED IMPORTED_TARGET sdl2)

file(GLOB ENGINE_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/engine_*_test.cpp)
# The pixel paths: the rasteriser and the PNG reader once more with the portable path (in a
# namespace of their own), beside the build's own, to draw the same frames on both.
add_library(brisel_pixels_portable STATIC ${PROJECT_SOURCE_DIR}/engine/src/canvas.cpp
            ${PROJECT_SOURCE_DIR}/engine/src/png_reader.cpp pixel_frames.cpp)
target_compile_definitions(brisel_pixels_portable PRIVATE BRISEL_PORTABLE_PIXELS brisel=brisel_portable)
target_include_directories(brisel_pixels_portable PRIVATE ${PROJECT_SOURCE_DIR}/engine/src
                           ${PROJECT_SOURCE_DIR}/engine/include)
target_link_libraries(brisel_pixels_portable PRIVATE brisel_core PNG::PNG)
target_compile_options(brisel_pixels_portable PRIVATE -O2)
add_library(brisel_pixels_sse2 STATIC ${PROJECT_SOURCE_DIR}/engine/src/canvas.cpp
            ${PROJECT_SOURCE_DIR}/engine/src/png_reader.cpp pixel_frames.cpp)
target_compile_definitions(brisel_pixels_sse2 PRIVATE BRISEL_SSE2_ONLY_PIXELS brisel=brisel_sse2)
target_include_directories(brisel_pixels_sse2 PRIVATE ${PROJECT_SOURCE_DIR}/engine/src
                           ${PROJECT_SOURCE_DIR}/engine/include)
target_link_libraries(brisel_pixels_sse2 PRIVATE brisel_core PNG::PNG)
add_executable(engine_tests ${ENGINE_TEST_SOURCES} pixel_frames.cpp)
target_link_libraries(engine_tests PRIVATE brisel_headers brisel_core brisel_pixels_portable brisel_pixels_sse2 PNG::PNG
                      PkgConfig::ENGINE_TEST_VORBIS PkgConfig::ENGINE_TEST_SDL GTest::gtest GTest::gtest_main ${CMAKE_DL_LIBS})
target_compile_definitions(engine_tests PRIVATE BRISEL_LIBRARY_PATH="$<TARGET_FILE:brisel>"
                           BRISEL_HEADER_PATH="${PROJECT_SOURCE_DIR}/engine/include/brisel.h")
add_dependencies(engine_tests brisel)
gtest_discover_tests(engine_tests DISCOVERY_TIMEOUT 60
                     PROPERTIES ENVIRONMENT "SDL_VIDEODRIVER=dummy;SDL_AUDIODRIVER=dummy" TIMEOUT 60)
