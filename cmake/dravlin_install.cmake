# What `cmake --install` puts in place for other programs that use the engine, in three components:
#   dravlin_runtime  the library (libdravlin.so.1 and its versioned file; Dravlin.dll with the
#                    libcurl.dll it loads, as Windows has no libcurl of its own)
#   dravlin_dev      dravlin.h, the development link or import library, the CMake package
#                    (find_package(Dravlin) gives Dravlin::Dravlin) and dravlin.pc
#   dravlin_get      the command-line downloader
# Halden's own files are a separate component that a plain install leaves out (cmake/Dist.cmake).
include(CMakePackageConfigHelpers)

set(DRAVLIN_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Dravlin)

install(TARGETS Dravlin EXPORT DravlinTargets
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT dravlin_runtime
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT dravlin_runtime NAMELINK_COMPONENT dravlin_dev
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT dravlin_dev)
install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/include/dravlin.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT dravlin_dev)
install(TARGETS dravlin-get RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT dravlin_get)
if(WIN32)
  install(FILES $<TARGET_FILE:CURL::libcurl> DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT dravlin_runtime)
endif()

install(EXPORT DravlinTargets NAMESPACE Dravlin:: DESTINATION ${DRAVLIN_CMAKE_DIR} COMPONENT dravlin_dev)
# The library's link interface is the header alone (libcurl is its private business), so the
# package needs nothing found first.
file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/DravlinConfig.cmake
  "include(\"\${CMAKE_CURRENT_LIST_DIR}/DravlinTargets.cmake\")\n")
# Same major version: the header's interface holds within one. The version file also refuses a
# package built for another pointer size, so a cross build does not take the native one.
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/DravlinConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/DravlinConfig.cmake ${CMAKE_CURRENT_BINARY_DIR}/DravlinConfigVersion.cmake
  DESTINATION ${DRAVLIN_CMAKE_DIR} COMPONENT dravlin_dev)

# dravlin.pc is written when it is installed, so that it names the prefix it went to (--prefix),
# not the one the build was configured with; DESTDIR staging, as packaging does, stays out of it.
set(DRAVLIN_PC_IN ${CMAKE_CURRENT_LIST_DIR}/dravlin.pc.in)
install(CODE "
  get_filename_component(DRAVLIN_PC_PREFIX \"\${CMAKE_INSTALL_PREFIX}\" ABSOLUTE)  # --prefix may be relative
  # pkg-config splits its flags at white space: a space in the prefix is escaped, as it reads it.
  string(REPLACE \" \" \"\\\\ \" DRAVLIN_PC_PREFIX \"\${DRAVLIN_PC_PREFIX}\")
  set(DRAVLIN_PC_LIBDIR \"${CMAKE_INSTALL_LIBDIR}\")
  set(DRAVLIN_PC_INCLUDEDIR \"${CMAKE_INSTALL_INCLUDEDIR}\")
  set(DRAVLIN_PC_VERSION \"${PROJECT_VERSION}\")
  set(DRAVLIN_PC_LIBNAME \"$<TARGET_FILE_BASE_NAME:Dravlin>\")
  set(_pc \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/pkgconfig/dravlin.pc\")
  message(STATUS \"Installing: \${_pc}\")
  configure_file(\"${DRAVLIN_PC_IN}\" \"\${_pc}\" @ONLY)
  list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${_pc}\")
" COMPONENT dravlin_dev)
