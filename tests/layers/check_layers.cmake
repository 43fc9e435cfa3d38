# Compiles ALLOWED and REFUSED with one layer's include folder: the first must build, the second
# must fail for want of the header it names.
foreach(kind ALLOWED REFUSED)
  execute_process(COMMAND ${COMPILER} -std=c++20 -fsyntax-only -I${INCLUDE} ${${kind}}
                  RESULT_VARIABLE result ERROR_VARIABLE errors)
  set(${kind}_RESULT ${result})
  set(${kind}_ERRORS "${errors}")
endforeach()
if(NOT ALLOWED_RESULT EQUAL 0)
  message(FATAL_ERROR "a header of the layer itself did not compile:\n${ALLOWED_ERRORS}")
endif()
if(REFUSED_RESULT EQUAL 0)
  message(FATAL_ERROR "an include of an upper layer compiled")
endif()
if(NOT REFUSED_ERRORS MATCHES "status/status_texts.h")
  message(FATAL_ERROR "the upper layer's include failed for another reason:\n${REFUSED_ERRORS}")
endif()
message(STATUS "the upper layer's include is refused")
