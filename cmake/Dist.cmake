# dist/<win32|win64>/ holds exactly what ships beside the program.
set(HALDEN_DIST_DIR ${CMAKE_SOURCE_DIR}/dist/${HALDEN_DIST_NAME})
add_custom_target(dist ALL
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${HALDEN_DIST_DIR}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${HALDEN_DIST_DIR}
  COMMAND ${CMAKE_COMMAND} -E copy
          $<TARGET_FILE:Halden> $<TARGET_FILE:Dravlin> ${CMAKE_BINARY_DIR}/bin/libcurl.dll
          $<TARGET_FILE:QuorinFeedbackInformation> ${HALDEN_DIST_DIR}
  DEPENDS Halden Dravlin QuorinFeedbackInformation
  COMMENT "Release files in dist/${HALDEN_DIST_NAME}")
