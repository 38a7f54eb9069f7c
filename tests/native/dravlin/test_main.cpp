// The engine tests' main: short time limits and the test authority, set before anything runs.
#include <gtest/gtest.h>

#include "test_support.h"

int main(int argc, char **argv) {
    testing::InitGoogleTest(&argc, argv);
    dtest::SetEnvironment("DRAVLIN_CA_FILE", dtest::ServerDir() + dtest::kSep + "state" + dtest::kSep + "ca.pem");
    dtest::SetEnvironment("DRAVLIN_QUERY_TIMEOUT_MS", "700");
    dtest::SetEnvironment("DRAVLIN_STALL_TIMEOUT_S", "2");
    return RUN_ALL_TESTS();
}
