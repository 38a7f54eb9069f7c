#pragma once
// Where the Windows tests find the local test server that ctest starts for them.
#include <windows.h>

#include <fstream>
#include <string>

inline std::string EnvironmentText(const char *name) {
    char value[1024] = {};
    DWORD n = GetEnvironmentVariableA(name, value, sizeof(value));
    return n > 0 && n < sizeof(value) ? std::string(value, n) : std::string();
}

// "http://127.0.0.1:PORT", or empty when the server's port file cannot be read.
inline std::string TestServerBase() {
    std::ifstream portFile(EnvironmentText("HALDEN_TEST_SERVER_DIR") + "\\state\\port");
    int port = 0;
    if (!(portFile >> port) || port <= 0) return {};
    return "http://127.0.0.1:" + std::to_string(port);
}

// The folder the server serves, as a Windows path.
inline std::string TestServerRoot() { return EnvironmentText("HALDEN_TEST_SERVER_DIR") + "\\root"; }
