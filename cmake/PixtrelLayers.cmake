# The rows of the layer table, "folder:used,used", read by the build
# (src/CMakeLists.txt) and by the layer check (tests/layers).

# Sets folder_var to the row's folder and uses_var to the list of folders it
# may use.
function(pixtrel_layer_row row folder_var uses_var)
  string(FIND "${row}" ":" colon)
  string(SUBSTRING "${row}" 0 ${colon} folder)
  math(EXPR after "${colon} + 1")
  string(SUBSTRING "${row}" ${after} -1 uses)
  string(REPLACE "," ";" uses "${uses}")
  set(${folder_var} "${folder}" PARENT_SCOPE)
  set(${uses_var} "${uses}" PARENT_SCOPE)
endfunction()
