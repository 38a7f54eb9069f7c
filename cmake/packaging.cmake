# cpack in a build tree: on Linux the engine as Debian packages, on Windows Halden's release folder
# as a ZIP (an engine-only Windows tree zips the engine's install instead).
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Halden developers")
set(CPACK_PACKAGE_CONTACT "Halden developers <halden-dev@localhost>")
# No CPACK_PACKAGE_DESCRIPTION_SUMMARY: the Debian packages each begin with a synopsis of their own.
set(_dravlin_about
  "Dravlin registers download tasks under caller-chosen integer ids, runs a few at once, resumes by appending to the partial file, reports progress once a second and tells how each download ended by a numeric code.")
set(CPACK_STRIP_FILES ON)

if(WIN32 AND NOT DRAVLIN_ENGINE_ONLY)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_NAME Halden)
  set(CPACK_PACKAGE_FILE_NAME Halden-${PROJECT_VERSION}-${HALDEN_DIST_NAME})
  set(CPACK_STRIP_FILES OFF)  # the files shipped, and summed, are the ones dist/ holds
  # One component, installed flat: the folder in the archive is the release folder.
  set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};Halden;halden;/")
elseif(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_NAME Dravlin)
  set(CPACK_PACKAGE_FILE_NAME Dravlin-${PROJECT_VERSION}-${HALDEN_DIST_NAME})
else()
  get_target_property(_soversion Dravlin SOVERSION)
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGE_NAME dravlin)
  set(CPACK_DEB_COMPONENT_INSTALL ON)
  set(CPACK_COMPONENTS_ALL dravlin_runtime dravlin_dev dravlin_get)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # dpkg-shlibdeps runs in each component's staging folder; dravlin-get's libdravlin.so.1 is in the
  # library's, and the dependency on that package comes from the component's DEPENDS.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ../dravlin_runtime/usr/${CMAKE_INSTALL_LIBDIR})
  set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
  # A shlibs file from the soname, so that packages built against the library depend on it.
  set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
  set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
  set(CPACK_DEBIAN_DRAVLIN_RUNTIME_PACKAGE_NAME libdravlin${_soversion})
  set(CPACK_DEBIAN_DRAVLIN_RUNTIME_PACKAGE_SECTION libs)
  set(CPACK_DEBIAN_DRAVLIN_DEV_PACKAGE_NAME libdravlin-dev)
  set(CPACK_DEBIAN_DRAVLIN_DEV_PACKAGE_SECTION libdevel)
  # dravlin-get is not in the library's package: a program's name does not change with the soname.
  set(CPACK_DEBIAN_DRAVLIN_GET_PACKAGE_NAME dravlin-get)
  set(CPACK_DEBIAN_DRAVLIN_GET_PACKAGE_SECTION net)
endif()

include(CPack)
if(CPACK_DEB_COMPONENT_INSTALL)
  cpack_add_component(dravlin_runtime DISPLAY_NAME "Dravlin library"
    DESCRIPTION "download library with a plain C interface over libcurl\n${_dravlin_about}")
  cpack_add_component(dravlin_dev DISPLAY_NAME "Dravlin development files" DEPENDS dravlin_runtime
    DESCRIPTION "development files of the Dravlin download library\n${_dravlin_about}\nThis package holds dravlin.h, the development link, the CMake package (find_package(Dravlin)) and dravlin.pc.")
  cpack_add_component(dravlin_get DISPLAY_NAME "dravlin-get" DEPENDS dravlin_runtime
    DESCRIPTION "command-line downloader over the Dravlin library\nSeveral addresses at once through Dravlin's queue, resumption of partial files, a rate limit and progress lines, with the exit status telling the worst ending.")
endif()
