# Installing Grappix like any other Linux game, and packing it as a Debian package.
#
# `cmake --install <build> --prefix P` lays out:
#
#   P/bin/grappix                                  launcher (POSIX sh): runs the game from its folder
#   P/lib/grappix/grappix                          the game
#   P/lib/grappix/Data/                            the engine library Brisel.vqd and every asset
#   P/share/applications/<app id>.desktop          desktop entry
#   P/share/icons/hicolor/<N>x<N>/apps/grappix.png the icon, N = 16 32 48 64 128 256
#   P/share/metainfo/<app id>.metainfo.xml         AppStream metadata (software centres)
#   P/share/doc/grappix/                           copyright (ours and the font's), the font's licence
#   P/share/man/man6/grappix.6.gz                  manual page
#
# The game opens "Data/Brisel.vqd" and its assets relative to its working directory, so the
# executable and Data/ stay together in one folder, and the launcher enters it before starting
# the game. That folder goes under lib/, not share/: it holds an executable and a shared object,
# machine code that has no place in the architecture-independent share/. The assets ride along
# with it rather than being split off into share/ behind links: they are read only by this one
# build of the engine and are small.
#
# `cpack -G DEB` in the build folder packs the same layout under /usr.

include(GNUInstallDirs)

set(GRAPPIX_APP_ID io.github.grappix.Grappix)
set(GRAPPIX_INSTALL_GAMEDIR lib/grappix CACHE STRING
    "Folder of the game and its Data/, relative to the install prefix")
set(GRAPPIX_HOMEPAGE_URL "https://github.com/grappix/grappix" CACHE STRING
    "Home page named in the AppStream metadata and the Debian package")
set(GRAPPIX_SCREENSHOT_BASE_URL "https://raw.githubusercontent.com/grappix/grappix/main" CACHE STRING
    "Web address of the source tree's root; screenshots are referenced as <this>/docs/<file>")
set(GRAPPIX_RELEASE_DATE 2026-12-07)
set(GRAPPIX_PACKAGE_MAINTAINER "Grappix for Linux team <grappix@example.org>" CACHE STRING
    "Maintainer field of the Debian package")
set(GRAPPIX_ICON_SIZES 16 32 48 64 128 256)

# The launcher finds the game folder relative to its own, so both must be relative to the
# prefix; an absolute folder would tie the install to one place.
foreach(_dir CMAKE_INSTALL_BINDIR CMAKE_INSTALL_DATADIR CMAKE_INSTALL_DOCDIR CMAKE_INSTALL_MANDIR
             GRAPPIX_INSTALL_GAMEDIR)
  if(IS_ABSOLUTE "${${_dir}}")
    message(FATAL_ERROR "${_dir} (${${_dir}}) must be relative to the install prefix")
  endif()
endforeach()
file(RELATIVE_PATH GRAPPIX_LAUNCHER_TO_GAMEDIR /prefix/${CMAKE_INSTALL_BINDIR}
     /prefix/${GRAPPIX_INSTALL_GAMEDIR})

# No path of the build machine in what we ship: debug information names source files and the
# build folder; map both to short relative names (as Debian's own build flags do), so the
# installed game keeps its debug information without telling where it was built. A sanitizer
# build is never installed: there the full paths make its reports easier to follow.
if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang" AND NOT GRAPPIX_SANITIZE)
  foreach(_target grappix grappix_core brisel brisel_core portable_maths)
    if(TARGET ${_target})
      target_compile_options(${_target} PRIVATE
        -ffile-prefix-map=${PROJECT_SOURCE_DIR}=.
        -ffile-prefix-map=${CMAKE_BINARY_DIR}=build)
    endif()
  endforeach()
endif()

# ---- the game folder --------------------------------------------------------------------
install(TARGETS grappix RUNTIME DESTINATION ${GRAPPIX_INSTALL_GAMEDIR} COMPONENT game)
if(TARGET brisel)
  install(TARGETS brisel LIBRARY DESTINATION ${GRAPPIX_INSTALL_GAMEDIR}/Data COMPONENT game
          NAMELINK_SKIP)
endif()
# Every asset the build laid out in the run folder's Data/ (textures, sounds, the font and its
# licence), whatever the generator makes; the engine library comes from its own rule above,
# and a half-written file of an interrupted generator run (*.part) is no asset.
install(DIRECTORY ${GRAPPIX_DATA_DIR}/ DESTINATION ${GRAPPIX_INSTALL_GAMEDIR}/Data COMPONENT game
        PATTERN Brisel.vqd EXCLUDE PATTERN *.part EXCLUDE)

set(GRAPPIX_LAUNCHER ${CMAKE_BINARY_DIR}/packaging/grappix)
configure_file(${PROJECT_SOURCE_DIR}/packaging/grappix.in ${GRAPPIX_LAUNCHER} @ONLY)
install(PROGRAMS ${GRAPPIX_LAUNCHER} DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT game)

# The manual page, in section 6 (games), compressed as Debian ships them. Building the game
# builds it, so an install after `ninja grappix` finds it.
set(GRAPPIX_MANPAGE_SOURCE ${PROJECT_SOURCE_DIR}/packaging/grappix.6)
set(GRAPPIX_MANPAGE ${CMAKE_BINARY_DIR}/packaging/grappix.6.gz)
find_program(GRAPPIX_GZIP gzip REQUIRED)
add_custom_command(OUTPUT ${GRAPPIX_MANPAGE}
  COMMAND sh -c "${GRAPPIX_GZIP} -9nc \"$1\" > \"$2\"" sh ${GRAPPIX_MANPAGE_SOURCE} ${GRAPPIX_MANPAGE}
  DEPENDS ${GRAPPIX_MANPAGE_SOURCE}
  COMMENT "Compressing the manual page"
  VERBATIM)
add_custom_target(grappix_manpage ALL DEPENDS ${GRAPPIX_MANPAGE})
add_dependencies(grappix grappix_manpage)
install(FILES ${GRAPPIX_MANPAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man6 COMPONENT game)

# ---- desktop integration ------------------------------------------------------------------
install(FILES ${PROJECT_SOURCE_DIR}/packaging/${GRAPPIX_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT game)

# The icons come from the asset generator. A build without it (GRAPPIX_WITH_ASSETS=OFF) has
# none to install; a build with it must have them all.
if(TARGET grappix_assets)
  set(_icon_optional "")
else()
  set(_icon_optional OPTIONAL)
endif()
foreach(_n IN LISTS GRAPPIX_ICON_SIZES)
  install(FILES ${GRAPPIX_GENERATED_DIR}/icons/${_n}x${_n}/grappix.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${_n}x${_n}/apps
          COMPONENT game ${_icon_optional})
endforeach()

# Screenshots for software centres: the pictures under docs/ (not the contact sheet of the
# art, nor the 4K ones, three times the bytes), by web address, since AppStream wants them
# fetched from the net. Shots of play come first, a swing on the wire first of all: the first
# is the default one.
file(GLOB _shots RELATIVE ${PROJECT_SOURCE_DIR}/docs CONFIGURE_DEPENDS
     ${PROJECT_SOURCE_DIR}/docs/*.png ${PROJECT_SOURCE_DIR}/docs/screenshots/*.png)
list(FILTER _shots EXCLUDE REGEX "contact|sheet|-4k")
list(SORT _shots)
foreach(_kind "play|normal|free|block|game" "swing")
  set(_first ${_shots})
  list(FILTER _first INCLUDE REGEX "${_kind}")
  if(_first)
    list(REMOVE_ITEM _shots ${_first})
    list(PREPEND _shots ${_first})
  endif()
endforeach()
if(NOT _shots)
  # Before the screenshots are taken: the name the title screen's shot will have.
  set(_shots title.png)
endif()
list(SUBLIST _shots 0 6 _shots)
set(GRAPPIX_METAINFO_SCREENSHOTS "")
set(_type " type=\"default\"")
foreach(_shot IN LISTS _shots)
  # "normal-swing.png" is captioned "Normal: swing".
  get_filename_component(_caption ${_shot} NAME_WE)
  string(REGEX REPLACE "^[0-9_-]+" "" _caption "${_caption}")
  string(REGEX REPLACE "[-_]+" ": " _caption "${_caption}")
  string(REGEX REPLACE ":(.*):" ":\\1" _caption "${_caption}")
  string(SUBSTRING "${_caption}" 0 1 _first)
  string(SUBSTRING "${_caption}" 1 -1 _rest)
  string(TOUPPER "${_first}" _first)
  set(_caption "${_first}${_rest}")
  string(APPEND GRAPPIX_METAINFO_SCREENSHOTS
         "    <screenshot${_type}>\n"
         "      <caption>${_caption}</caption>\n"
         "      <image>${GRAPPIX_SCREENSHOT_BASE_URL}/docs/${_shot}</image>\n"
         "    </screenshot>\n")
  set(_type "")
endforeach()
set(GRAPPIX_METAINFO ${CMAKE_BINARY_DIR}/packaging/${GRAPPIX_APP_ID}.metainfo.xml)
configure_file(${PROJECT_SOURCE_DIR}/packaging/${GRAPPIX_APP_ID}.metainfo.xml.in
               ${GRAPPIX_METAINFO} @ONLY)
install(FILES ${GRAPPIX_METAINFO} DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT game)

# Licences: ours (MIT, "Expat" in Debian's words) and the font's, in Debian's machine-readable
# copyright format, where Debian looks for it (share/doc/<package>/copyright); and the font's
# own licence file, which also sits beside it in Data/.
set(GRAPPIX_COPYRIGHT ${CMAKE_BINARY_DIR}/packaging/copyright)
configure_file(${PROJECT_SOURCE_DIR}/packaging/copyright.in ${GRAPPIX_COPYRIGHT} @ONLY)
install(FILES ${GRAPPIX_COPYRIGHT} DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT game)
install(DIRECTORY ${GRAPPIX_DATA_DIR}/ DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT game
        FILES_MATCHING PATTERN "*LICENSE*" PATTERN "*LICENCE*" PATTERN "*COPYING*")

# ---- the Debian package -------------------------------------------------------------------
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME grappix)
set(CPACK_PACKAGE_VENDOR "The Grappix developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "fast 2D action game on a grappling wire")
# The long description; CPack puts the summary above it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Your runner swings through an endless side-on stage on a grappling wire:
shoot the hook at the cursor, let the wire carry you round in a swing, reel
yourself in, let go, fly, land running and kick off the pillars. A speed
gauge grades how fast you are getting ahead. There is no goal and no game
over: just keep moving, as fast as you can.
.
Three modes: Normal (an endless row of stone pillars), No Block (ground and
roof only) and Free Style (the hook catches wherever you aim).")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# Only the game's own files: nothing another part of the build might install.
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};${PROJECT_NAME};game;/")
# Debian ships binaries stripped of their symbol tables and debug information; the engine
# library's exported entry points are in its dynamic symbol table, which strip keeps.
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${GRAPPIX_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${GRAPPIX_HOMEPAGE_URL}")
# The dependencies: dpkg-shlibdeps reads them off what the game and the engine library link
# against (SDL2 and SDL2_ttf, libdeflate, libpng and libvorbisfile, the C and C++ runtimes), with
# the versions they need. Where it is missing, name those runtime packages by hand.
find_program(GRAPPIX_DPKG_SHLIBDEPS dpkg-shlibdeps)
find_program(GRAPPIX_FILE_COMMAND file)
if(GRAPPIX_DPKG_SHLIBDEPS AND GRAPPIX_FILE_COMMAND)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS
      "libsdl2-2.0-0, libsdl2-ttf-2.0-0, libdeflate0, libpng16-16, libvorbisfile3, libstdc++6, libc6")
endif()
include(CPack)

if(GRAPPIX_BUILD_TESTS AND NOT WIN32)  # the Linux install and its Debian package
  include(${PROJECT_SOURCE_DIR}/tests/install_tests.cmake)
endif()
