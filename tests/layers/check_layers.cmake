# Checks every #include of the source tree against the layer table.
#   cmake -DSOURCE_DIR=<src> -DLAYERS_FILE=<file> -DWIDGETS_DIR=<QtWidgets headers> -P check_layers.cmake
# LAYERS_FILE holds one "folder:used,used" line per logic folder. A logic
# folder may include its own headers and those of the folders it uses; cli
# and app may include any logic folder; nothing but app includes a Qt
# Widgets header. Every breach is listed, then the check fails.
cmake_minimum_required(VERSION 3.25)

include("${CMAKE_CURRENT_LIST_DIR}/../../cmake/PixtrelLayers.cmake")
file(STRINGS "${LAYERS_FILE}" rows)
set(logic "")
foreach(row IN LISTS rows)
  pixtrel_layer_row("${row}" folder uses)
  list(APPEND logic ${folder})
  set(allowed_${folder} ${folder} ${uses})
endforeach()
set(allowed_cli cli ${logic})
set(allowed_app app ${logic})

# The Qt Widgets headers by name (<QWidget>, <QtWidgets/QDialog>, ...).
file(GLOB widget_paths RELATIVE "${WIDGETS_DIR}" "${WIDGETS_DIR}/Q*")
set(widget_headers QtWidgets ${widget_paths})
if(NOT widget_paths)
  message(FATAL_ERROR "no Qt Widgets headers under ${WIDGETS_DIR}")
endif()

set(breaches "")
foreach(folder IN LISTS logic ITEMS cli app)
  file(GLOB_RECURSE files "${SOURCE_DIR}/${folder}/*.h" "${SOURCE_DIR}/${folder}/*.cpp")
  foreach(path IN LISTS files)
    file(RELATIVE_PATH name "${SOURCE_DIR}" "${path}")
    file(STRINGS "${path}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
    foreach(line IN LISTS includes)
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*[<\"]([^>\"]+)[>\"].*$" "\\1" header "${line}")
      if(line MATCHES "include[ \t]*\"")
        string(FIND "${header}" "/" slash)
        if(slash GREATER 0)
          string(SUBSTRING "${header}" 0 ${slash} top)
          if(top IN_LIST logic OR top STREQUAL "cli" OR top STREQUAL "app")
            if(NOT top IN_LIST allowed_${folder})
              list(APPEND breaches "${name}: includes \"${header}\" (${folder} may use: ${allowed_${folder}})")
            endif()
          endif()
        endif()
      elseif(NOT folder STREQUAL "app")
        string(REGEX REPLACE "^QtWidgets/" "" bare "${header}")
        if(bare IN_LIST widget_headers OR header STREQUAL "QtWidgets")
          list(APPEND breaches "${name}: includes the widget header <${header}> outside src/app")
        endif()
      endif()
    endforeach()
  endforeach()
endforeach()

if(breaches)
  list(JOIN breaches "\n  " text)
  message(FATAL_ERROR "layer breaches:\n  ${text}")
endif()
message(STATUS "layers: every include keeps to its layer")
