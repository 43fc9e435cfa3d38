# One static library per folder, each compiled against an include folder that holds only itself
# and the folders below it: an include of a folder above fails to build.
#
#   quorvane_layer(NAME [USES folder...] [LIBS target...])
#
# NAME is both the folder and the target; USES lists the lower folders its headers may include;
# LIBS the targets it links (the libraries of those folders and outside ones).
function(quorvane_layer_dir name)
  cmake_parse_arguments(L "" "" "USES" ${ARGN})
  set(dir ${PROJECT_BINARY_DIR}/layers/${name})
  file(MAKE_DIRECTORY ${dir})
  foreach(folder IN LISTS L_USES ITEMS ${name})
    if(NOT EXISTS ${dir}/${folder})
      file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${folder} ${dir}/${folder} SYMBOLIC)
    endif()
  endforeach()
  set(QUORVANE_LAYER_DIR_${name} ${dir} PARENT_SCOPE)
endfunction()

function(quorvane_layer name)
  cmake_parse_arguments(L "" "" "USES;LIBS" ${ARGN})
  quorvane_layer_dir(${name} USES ${L_USES})
  set(dir ${QUORVANE_LAYER_DIR_${name}})
  add_library(${name} STATIC)
  target_include_directories(${name} PUBLIC $<BUILD_INTERFACE:${dir}>)
  target_link_libraries(${name} PUBLIC ${L_LIBS} PRIVATE quorvane_warnings)
  set_target_properties(${name} PROPERTIES POSITION_INDEPENDENT_CODE ON)
  set(QUORVANE_LAYER_DIR_${name} ${dir} PARENT_SCOPE)
endfunction()
