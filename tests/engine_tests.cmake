# ---- engine tests: the real library (Data/Brisel.vqd), headless under SDL's dummy drivers ----
# Each test runs in its own process (gtest_discover_tests), so environment settings such as
# BRISEL_INPUT and the engine's global state never leak from one test into the next.
find_package(PNG REQUIRED)
pkg_check_modules(ENGINE_TEST_VORBIS REQUIRED IMPORTED_TARGET vorbisenc vorbis ogg)
# SDL itself, to push the device events a player makes and see what the sound device does.
pkg_check_modules(ENGINE_TEST_SDL REQUIRED IMPORTED_TARGET sdl2)

file(GLOB ENGINE_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/engine_*_test.cpp)
add_executable(engine_tests ${ENGINE_TEST_SOURCES})
target_link_libraries(engine_tests PRIVATE brisel_headers brisel_core PNG::PNG
                      PkgConfig::ENGINE_TEST_VORBIS PkgConfig::ENGINE_TEST_SDL GTest::gtest GTest::gtest_main ${CMAKE_DL_LIBS})
target_compile_definitions(engine_tests PRIVATE BRISEL_LIBRARY_PATH="$<TARGET_FILE:brisel>"
                           BRISEL_HEADER_PATH="${PROJECT_SOURCE_DIR}/engine/include/brisel.h")
add_dependencies(engine_tests brisel)
gtest_discover_tests(engine_tests DISCOVERY_TIMEOUT 60
                     PROPERTIES ENVIRONMENT "SDL_VIDEODRIVER=dummy;SDL_AUDIODRIVER=dummy" TIMEOUT 60)
