# dist/<win32|win64>/ holds exactly what ships beside the program.
set(HALDEN_DIST_DIR ${CMAKE_SOURCE_DIR}/dist/${HALDEN_DIST_NAME})
set(HALDEN_RELEASE_FILES
  $<TARGET_FILE:Halden> $<TARGET_FILE:Dravlin> ${CMAKE_BINARY_DIR}/bin/libcurl.dll
  $<TARGET_FILE:QuorinFeedbackInformation>)
add_custom_target(dist ALL
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${HALDEN_DIST_DIR}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${HALDEN_DIST_DIR}
  COMMAND ${CMAKE_COMMAND} -E copy ${HALDEN_RELEASE_FILES} ${HALDEN_DIST_DIR}
  DEPENDS Halden Dravlin QuorinFeedbackInformation
  COMMENT "Release files in dist/${HALDEN_DIST_NAME}")

# The component "halden" is the same release folder with a SHA256SUMS of its files, flat in the
# prefix; `cpack -G ZIP` packs it. A plain install leaves it out: the engine's install is the default.
install(FILES ${HALDEN_RELEASE_FILES} DESTINATION . COMPONENT halden EXCLUDE_FROM_ALL)
# Hashed as installed, after the files above, so that the sums are of the very bytes shipped.
install(CODE "
  set(_dir \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}\")
  set(_files \"${HALDEN_RELEASE_FILES}\")
  set(_sums \"\")
  foreach(_path IN LISTS _files)
    get_filename_component(_file \"\${_path}\" NAME)
    file(SHA256 \"\${_dir}/\${_file}\" _hash)
    string(APPEND _sums \"\${_hash}  \${_file}\\n\")
  endforeach()
  message(STATUS \"Installing: \${_dir}/SHA256SUMS\")
  file(WRITE \"\${_dir}/SHA256SUMS\" \"\${_sums}\")
  list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${_dir}/SHA256SUMS\")
" COMPONENT halden EXCLUDE_FROM_ALL)
