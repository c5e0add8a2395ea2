# ---- the tests of a Windows build (cross-built with mingw-w64, run under wine) ---------------
# The engine tests, and the tests of the player's files (locks, exclusive creation, atomic
# replacement, refusals): the same sources as on Linux, with the POSIX calls they make done the
# Windows way (windows/posix_compat.hpp, included first; windows/ stands in for the POSIX
# headers). The end-to-end tests run child processes (fork) and stay on Linux: scripts/test-windows
# plays the games, bad files and refusals under wine instead. Each test runs in its own process,
# listed when ctest starts (running a Windows program at build time needs wine at build time).
set(GRAPPIX_WINDOWS_TEST_DIR ${CMAKE_CURRENT_SOURCE_DIR}/windows)
# Folders of the build machine as the test programs see them under wine (its Z: drive is /).
set(GRAPPIX_HOST_ROOT "")
if(CMAKE_CROSSCOMPILING)
  set(GRAPPIX_HOST_ROOT "Z:")
endif()

add_library(grappix_windows_test_main STATIC windows/main.cpp)
target_link_libraries(grappix_windows_test_main PUBLIC GTest::gtest)

function(grappix_windows_test target)
  target_include_directories(${target} BEFORE PRIVATE ${GRAPPIX_WINDOWS_TEST_DIR})
  target_compile_options(${target} PRIVATE -include ${GRAPPIX_WINDOWS_TEST_DIR}/posix_compat.hpp)
  target_compile_definitions(${target} PRIVATE _USE_MATH_DEFINES)
  target_link_libraries(${target} PRIVATE win_posix)
endfunction()

add_library(grappix_test_support STATIC support/process.cpp)
target_include_directories(grappix_test_support PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
grappix_windows_test(grappix_test_support)

# ---- engine tests: the real library, headless ------------------------------------------------
include(${CMAKE_CURRENT_SOURCE_DIR}/pixel_paths.cmake)
add_executable(engine_tests ${ENGINE_TEST_SOURCES} pixel_frames.cpp)
grappix_windows_test(engine_tests)
target_link_libraries(engine_tests PRIVATE brisel_headers brisel_core brisel_pixels_portable brisel_pixels_sse2 PNG::PNG
                      PkgConfig::ENGINE_TEST_VORBIS PkgConfig::ENGINE_TEST_SDL grappix_windows_test_main)
target_compile_definitions(engine_tests PRIVATE BRISEL_LIBRARY_PATH="${GRAPPIX_HOST_ROOT}$<TARGET_FILE:brisel>"
                           BRISEL_HEADER_PATH="${GRAPPIX_HOST_ROOT}${PROJECT_SOURCE_DIR}/engine/include/brisel.h")
add_dependencies(engine_tests brisel)
gtest_discover_tests(engine_tests DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
                     PROPERTIES ENVIRONMENT "SDL_VIDEODRIVER=dummy;SDL_AUDIODRIVER=dummy" TIMEOUT 120)

# ---- the player's files: settings, records, replays -----------------------------------------
add_library(grappix_fake_engine STATIC fake/fake_engine.cpp)
target_include_directories(grappix_fake_engine PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(grappix_fake_engine PUBLIC grappix_core)
add_executable(file_tests settings_test.cpp records_file_test.cpp replay_files_test.cpp record_book_test.cpp)
grappix_windows_test(file_tests)
target_link_libraries(file_tests PRIVATE grappix_fake_engine grappix_test_support grappix_windows_test_main)
gtest_discover_tests(file_tests DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120 PROPERTIES TIMEOUT 120)
