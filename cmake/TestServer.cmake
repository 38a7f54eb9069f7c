# The local test server as a ctest fixture named "server": started before the tests that require
# it and stopped after them. Tests find it through HALDEN_SERVER_ENV: the port in
# <dir>/state/port, the files it serves in <dir>/root.
set(HALDEN_SERVER_STATE ${CMAKE_BINARY_DIR}/test-server/state)
set(HALDEN_SERVER_ROOT ${CMAKE_BINARY_DIR}/test-server/root)
add_test(NAME server.start
         COMMAND ${CMAKE_SOURCE_DIR}/tests/server/start.sh ${HALDEN_SERVER_STATE} ${HALDEN_SERVER_ROOT})
add_test(NAME server.stop COMMAND ${CMAKE_SOURCE_DIR}/tests/server/stop.sh ${HALDEN_SERVER_STATE})
set_tests_properties(server.start PROPERTIES FIXTURES_SETUP server)
set_tests_properties(server.stop PROPERTIES FIXTURES_CLEANUP server)

# Paths as the program under test sees them: Unix paths natively, Z:\ paths under Wine.
function(halden_host_path out path)
  if(WIN32)
    string(REPLACE "/" "\\" path "${path}")
    set(path "Z:${path}")
  endif()
  set(${out} "${path}" PARENT_SCOPE)
endfunction()

# One variable only: gtest_discover_tests splits list-valued properties.
halden_host_path(_server_dir ${CMAKE_BINARY_DIR}/test-server)
set(HALDEN_SERVER_ENV "HALDEN_TEST_SERVER_DIR=${_server_dir}")
