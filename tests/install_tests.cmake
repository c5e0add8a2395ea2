# Install tests: the launcher on its own, the tree `cmake --install` lays out (as the desktop
# entry and AppStream validators see it), a scripted game played headless from an installed
# tree, and the Debian package (built once, in one test: it is the slow step).
# Each test installs into its own temporary folder, so they run in parallel.

find_program(GRAPPIX_DESKTOP_FILE_VALIDATE desktop-file-validate)
find_program(GRAPPIX_APPSTREAMCLI appstreamcli)
find_program(GRAPPIX_DPKG_DEB dpkg-deb)

set(_have_engine 0)
set(_have_assets 0)
if(TARGET brisel)
  set(_have_engine 1)
endif()
if(TARGET grappix_assets)
  set(_have_assets 1)
endif()

set(_install_test ${PROJECT_SOURCE_DIR}/tests/install_test.sh)
# Lists cannot go into the ENVIRONMENT property as they are: its entries are ;-separated.
string(REPLACE ";" "," _icon_sizes "${GRAPPIX_ICON_SIZES}")
set(_install_env
  "GRAPPIX_SOURCE_DIR=${PROJECT_SOURCE_DIR}"
  "GRAPPIX_BUILD_DIR=${CMAKE_BINARY_DIR}"
  "GRAPPIX_RUN_DIR=${GRAPPIX_RUN_DIR}"
  "GRAPPIX_LAUNCHER=${GRAPPIX_LAUNCHER}"
  "GRAPPIX_APP_ID=${GRAPPIX_APP_ID}"
  "GRAPPIX_GAMEDIR=${GRAPPIX_INSTALL_GAMEDIR}"
  "GRAPPIX_SCREENSHOT_BASE_URL=${GRAPPIX_SCREENSHOT_BASE_URL}"
  "GRAPPIX_ICON_SIZES=${_icon_sizes}"
  "GRAPPIX_HAVE_ENGINE=${_have_engine}"
  "GRAPPIX_HAVE_ASSETS=${_have_assets}"
  "CMAKE_COMMAND=${CMAKE_COMMAND}"
  "CPACK_COMMAND=${CMAKE_CPACK_COMMAND}"
  "DESKTOP_FILE_VALIDATE=${GRAPPIX_DESKTOP_FILE_VALIDATE}"
  "APPSTREAMCLI=${GRAPPIX_APPSTREAMCLI}"
  "SDL_VIDEODRIVER=dummy"
  "SDL_AUDIODRIVER=dummy"
  # The installed game keeps its settings under the XDG folders: a folder of the build tree
  # here, never the real home.
  "XDG_CONFIG_HOME=${CMAKE_CURRENT_BINARY_DIR}/install-xdg/config"
  "XDG_DATA_HOME=${CMAKE_CURRENT_BINARY_DIR}/install-xdg/data"
  "XDG_STATE_HOME=${CMAKE_CURRENT_BINARY_DIR}/install-xdg/state")

function(grappix_install_test name)
  add_test(NAME install.${name} COMMAND bash ${_install_test} ${name})
  set_tests_properties(install.${name} PROPERTIES ENVIRONMENT "${_install_env}"
                       SKIP_RETURN_CODE 77 ${ARGN})
endfunction()

grappix_install_test(launcher TIMEOUT 30)
grappix_install_test(tree TIMEOUT 60)
grappix_install_test(play TIMEOUT 90)
# dpkg -i / dpkg -r touch the machine's package database: never two at once.
grappix_install_test(deb TIMEOUT 150 RESOURCE_LOCK dpkg)
