// The engine tests' main: short time limits and the test authority, set before anything runs.
#include <gtest/gtest.h>

#include <string>

#include "test_support.h"

#ifdef _WIN32
#include <windows.h>
static void SetEnvironment(const char *name, const std::string &value) { SetEnvironmentVariableA(name, value.c_str()); }
#else
#include <cstdlib>
static void SetEnvironment(const char *name, const std::string &value) { setenv(name, value.c_str(), 1); }
#endif

int main(int argc, char **argv) {
    testing::InitGoogleTest(&argc, argv);
    SetEnvironment("DRAVLIN_CA_FILE", dtest::ServerDir() + dtest::kSep + "state" + dtest::kSep + "ca.pem");
    SetEnvironment("DRAVLIN_QUERY_TIMEOUT_MS", "700");
    SetEnvironment("DRAVLIN_STALL_TIMEOUT_S", "2");
    return RUN_ALL_TESTS();
}
