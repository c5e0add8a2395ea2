# End-to-end tests: the real grappix executable run as a child process, with stand-in engine
# libraries (to test binding and the exit paths) and, once built, the real engine and assets.


# Stand-in engines: one complete, and two that each lack one entry point (one found before
# Free in the binding order, one after it). None has the extensions: the game must run on the
# 132 names alone.
# The entry-point names, read from the contract header's main table (not the extensions).
file(READ ${PROJECT_SOURCE_DIR}/engine/include/brisel.h _brisel_header)
string(FIND "${_brisel_header}" "#define BRISEL_ENTRY_POINTS(X)" _table_start)
string(FIND "${_brisel_header}" "#define BRISEL_ENTRY_POINT_COUNT" _table_end)
math(EXPR _table_length "${_table_end} - ${_table_start}")
string(SUBSTRING "${_brisel_header}" ${_table_start} ${_table_length} _brisel_header)
string(REGEX MATCHALL "X\\([^,()]+, *[A-Za-z0-9]+," _brisel_entries "${_brisel_header}")
set(GRAPPIX_ENTRY_POINT_NAMES)
foreach(_entry IN LISTS _brisel_entries)
  string(REGEX REPLACE "^X\\([^,()]+, *([A-Za-z0-9]+),$" "\\1" _name "${_entry}")
  if(NOT _name STREQUAL "name")
    list(APPEND GRAPPIX_ENTRY_POINT_NAMES ${_name})
  endif()
endforeach()
list(LENGTH GRAPPIX_ENTRY_POINT_NAMES _count)
if(NOT _count EQUAL 132)
  message(FATAL_ERROR "expected 132 entry points in brisel.h, found ${_count}")
endif()
function(grappix_stub_engine target omit)
  set(_map ${CMAKE_CURRENT_BINARY_DIR}/${target}.map)
  set(_globals "")
  foreach(_name IN LISTS GRAPPIX_ENTRY_POINT_NAMES)
    if(NOT _name STREQUAL omit)
      string(APPEND _globals "    ${_name};\n")
    endif()
  endforeach()
  file(WRITE ${_map} "{\n  global:\n${_globals}  local: *;\n};\n")
  add_library(${target} SHARED stub_engine/stub_engine.cpp)
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR}/engine/include)
  target_link_options(${target} PRIVATE -Wl,--version-script=${_map})
  set_target_properties(${target} PROPERTIES PREFIX "" SUFFIX ".vqd"
                        LIBRARY_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/stub_engines)
endfunction()
grappix_stub_engine(stub_complete "")
grappix_stub_engine(stub_without_init Init)
grappix_stub_engine(stub_without_pad Pad)

file(GLOB GRAPPIX_E2E_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/e2e_*_test.cpp)
add_executable(e2e_tests ${GRAPPIX_E2E_TEST_SOURCES})
find_package(PNG REQUIRED)
target_link_libraries(e2e_tests PRIVATE grappix_test_support grappix_core GTest::gtest
                                        GTest::gtest_main PNG::PNG)
add_dependencies(e2e_tests grappix stub_complete stub_without_init stub_without_pad)
target_compile_definitions(e2e_tests PRIVATE
  GRAPPIX_EXE="$<TARGET_FILE:grappix>"
  GRAPPIX_RUN_DIR="${GRAPPIX_RUN_DIR}"
  GRAPPIX_STUB_DIR="${CMAKE_CURRENT_BINARY_DIR}/stub_engines"
  GRAPPIX_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
  GRAPPIX_BINARY_DIR="${CMAKE_CURRENT_BINARY_DIR}")
if(TARGET brisel)
  add_dependencies(e2e_tests brisel)
  target_compile_definitions(e2e_tests PRIVATE GRAPPIX_HAVE_ENGINE=1)
endif()
if(TARGET grappix_assets)
  add_dependencies(e2e_tests grappix_assets)
  target_compile_definitions(e2e_tests PRIVATE GRAPPIX_HAVE_ASSETS=1)
endif()
# The game reads and writes the player's settings under the XDG folders: every run of a test
# gets folders of the build tree, never the real home; tests that write there use their own.
set(_xdg ${CMAKE_CURRENT_BINARY_DIR}/xdg)
gtest_discover_tests(e2e_tests DISCOVERY_TIMEOUT 60
                     PROPERTIES ENVIRONMENT
                     "SDL_VIDEODRIVER=dummy;SDL_AUDIODRIVER=dummy;XDG_CONFIG_HOME=${_xdg}/config;XDG_DATA_HOME=${_xdg}/data;XDG_STATE_HOME=${_xdg}/state")
