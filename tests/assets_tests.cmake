# Asset tests: the generated files read back (PNG through cairo, Ogg through libvorbisfile),
# the generator run as a program, and the generated window icon compiled in.
pkg_check_modules(GX_ASSET_TEST_LIBS REQUIRED IMPORTED_TARGET cairo vorbisfile)

add_executable(assets_tests
  ${CMAKE_CURRENT_LIST_DIR}/assets_sheets_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/assets_sounds_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/assets_generator_test.cpp
  ${GRAPPIX_ICON_SOURCE})
target_include_directories(assets_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../engine/include
                                                ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(assets_tests PRIVATE PkgConfig::GX_ASSET_TEST_LIBS GTest::gtest GTest::gtest_main)
target_compile_definitions(assets_tests PRIVATE
  GX_DATA_DIR="${GRAPPIX_DATA_DIR}"
  GX_GENERATED_DIR="${GRAPPIX_GENERATED_DIR}"
  GX_ASSETGEN="$<TARGET_FILE:grappix-assetgen>"
  GX_FONTS_DIR="${GRAPPIX_DEJAVU_DIR}"
  GX_FONT_LICENCE="${GRAPPIX_DEJAVU_COPYRIGHT}")
add_dependencies(assets_tests grappix_assets)
gtest_discover_tests(assets_tests DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 120)
