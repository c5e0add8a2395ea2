# The game's folders are layers: each may include its own headers and those of the layers
# listed for it here, never one above or beside it (desktop, the command line and the settings
# file, knows not even the engine), so that the program frame knows no scene
# and every object can be built and tested without what sits on top of it. Nothing in the game
# includes SDL: the engine's contract header brisel.h is the only way down. The sheets' layout
# (common/sprite_layout.hpp) includes nothing at all, and it is the one header of the game the
# asset generator may include.
#
#   cmake -DGRAPPIX_SRC=<the src folder> [-DGRAPPIX_ASSETS=<the assets/src folder>] -P layers_check.cmake
#
# Fails naming every include that reaches up or sideways.
set(allowed_desktop desktop)
set(allowed_records desktop records)
set(allowed_frame desktop records frame)
set(allowed_common frame common)
set(allowed_actors frame common actors)
set(allowed_blocks frame common blocks)
set(allowed_options desktop frame common options)
set(allowed_title records frame common options title)
set(allowed_game records frame common actors blocks options game)
set(layers desktop records frame common actors blocks options title game)

if(NOT IS_DIRECTORY "${GRAPPIX_SRC}")
  message(FATAL_ERROR "layers_check: GRAPPIX_SRC is not a folder: '${GRAPPIX_SRC}'")
endif()

set(faults "")
set(checked 0)
foreach(layer IN LISTS layers)
  file(GLOB sources "${GRAPPIX_SRC}/${layer}/*.cpp" "${GRAPPIX_SRC}/${layer}/*.hpp")
  foreach(source IN LISTS sources)
    math(EXPR checked "${checked} + 1")
    file(STRINGS "${source}" includes REGEX "^[ \t]*#[ \t]*include")
    foreach(line IN LISTS includes)
      if(line MATCHES "[<\"]SDL")
        string(APPEND faults "\n  ${source}: ${line} (the game never includes SDL)")
      elseif(line MATCHES "\"([a-z_]+)/[^\"]+\"")
        set(target "${CMAKE_MATCH_1}")
        list(FIND layers "${target}" known)
        list(FIND allowed_${layer} "${target}" ok)
        if(known GREATER_EQUAL 0 AND ok LESS 0)
          string(APPEND faults "\n  ${source}: ${line} (${layer} may include only: ${allowed_${layer}})")
        endif()
      endif()
    endforeach()
  endforeach()
endforeach()

file(STRINGS "${GRAPPIX_SRC}/common/sprite_layout.hpp" layout_includes REGEX "^[ \t]*#[ \t]*include")
if(layout_includes)
  string(APPEND faults "\n  common/sprite_layout.hpp: ${layout_includes} (it depends on nothing)")
endif()

if(GRAPPIX_ASSETS)
  file(GLOB sources "${GRAPPIX_ASSETS}/*.cpp" "${GRAPPIX_ASSETS}/*.hpp")
  foreach(source IN LISTS sources)
    file(STRINGS "${source}" includes REGEX "^[ \t]*#[ \t]*include")
    foreach(line IN LISTS includes)
      if(line MATCHES "\"([a-z_]+)/[^\"]+\"" AND NOT line MATCHES "\"common/sprite_layout.hpp\"")
        list(FIND layers "${CMAKE_MATCH_1}" known)
        if(known GREATER_EQUAL 0)
          string(APPEND faults "\n  ${source}: ${line} (the generator takes only common/sprite_layout.hpp from the game)")
        endif()
      endif()
    endforeach()
  endforeach()
endif()

if(checked EQUAL 0)
  message(FATAL_ERROR "layers_check: no sources found under ${GRAPPIX_SRC}")
endif()
if(faults)
  message(FATAL_ERROR "layers_check: includes that reach past their layer:${faults}")
endif()
message(STATUS "layers_check: ${checked} files, every include within its layer")
