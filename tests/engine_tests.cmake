# ---- engine tests: the real library (Data/Brisel.vqd), headless under SDL's dummy drivers ----
# Each test runs in its own process (gtest_discover_tests), so environment settings such as
# BRISEL_INPUT and the engine's global state never leak from one test into the next.
include(${CMAKE_CURRENT_SOURCE_DIR}/pixel_paths.cmake)
add_executable(engine_tests ${ENGINE_TEST_SOURCES} pixel_frames.cpp)
target_link_libraries(engine_tests PRIVATE brisel_headers brisel_core brisel_pixels_portable brisel_pixels_sse2 PNG::PNG
                      PkgConfig::ENGINE_TEST_VORBIS PkgConfig::ENGINE_TEST_SDL GTest::gtest GTest::gtest_main ${CMAKE_DL_LIBS})
target_compile_definitions(engine_tests PRIVATE BRISEL_LIBRARY_PATH="$<TARGET_FILE:brisel>"
                           BRISEL_HEADER_PATH="${PROJECT_SOURCE_DIR}/engine/include/brisel.h")
add_dependencies(engine_tests brisel)
gtest_discover_tests(engine_tests DISCOVERY_TIMEOUT 60
                     PROPERTIES ENVIRONMENT "SDL_VIDEODRIVER=dummy;SDL_AUDIODRIVER=dummy" TIMEOUT 60)
