# Runs make_artwork into OUT_DIR (emptied first) and checks each output
# against the copy committed in COMMITTED_DIR, byte for byte.
file(REMOVE_RECURSE ${OUT_DIR})
file(MAKE_DIRECTORY ${OUT_DIR})
execute_process(COMMAND ${MAKE_ARTWORK} ${OUT_DIR} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "make_artwork failed (${rc})")
endif()
foreach(name disc.bmp setup.ico exit.ico)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files
                    ${OUT_DIR}/${name} ${COMMITTED_DIR}/${name}
                  RESULT_VARIABLE differs)
  if(NOT differs EQUAL 0)
    message(FATAL_ERROR "${name} differs from the committed copy; "
                        "rerun make_artwork ${COMMITTED_DIR} and review the pictures")
  endif()
endforeach()
message(STATUS "all artwork matches the committed files")
