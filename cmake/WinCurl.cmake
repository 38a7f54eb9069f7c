# libcurl for Windows, built once per machine by scripts/build-win-curl.sh into a cache outside the tree.
set(HALDEN_CACHE "$ENV{HALDEN_CACHE}")
if(NOT HALDEN_CACHE)
  set(HALDEN_CACHE /var/cache/halden)
endif()
file(GLOB _curl_prefixes LIST_DIRECTORIES true "${HALDEN_CACHE}/curl-*-${HALDEN_ARCH}")
list(SORT _curl_prefixes)
list(POP_BACK _curl_prefixes _curl_prefix)
if(NOT _curl_prefix OR NOT EXISTS "${_curl_prefix}/.done")
  message(FATAL_ERROR "No libcurl for ${HALDEN_ARCH} in ${HALDEN_CACHE}: run scripts/bootstrap.sh first")
endif()
set(HALDEN_CURL_PREFIX "${_curl_prefix}" CACHE PATH "libcurl for Windows" FORCE)

add_library(CURL::libcurl SHARED IMPORTED GLOBAL)
set_target_properties(CURL::libcurl PROPERTIES
  IMPORTED_LOCATION "${HALDEN_CURL_PREFIX}/bin/libcurl.dll"
  IMPORTED_IMPLIB "${HALDEN_CURL_PREFIX}/lib/libcurl.dll.a"
  INTERFACE_INCLUDE_DIRECTORIES "${HALDEN_CURL_PREFIX}/include")

# The DLL sits beside every program that runs from the build tree.
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
configure_file("${HALDEN_CURL_PREFIX}/bin/libcurl.dll" ${CMAKE_BINARY_DIR}/bin/libcurl.dll COPYONLY)
