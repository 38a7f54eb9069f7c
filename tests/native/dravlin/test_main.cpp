// The engine tests' main: short time limits and the test authority, set before anything runs.
#include <gtest/gtest.h>

#include "test_support.h"

int main(int argc, char **argv) {
    testing::InitGoogleTest(&argc, argv);
    dtest::SetEnvironment("DRAVLIN_CA_FILE", dtest::ServerDir() + dtest::kSep + "state" + dtest::kSep + "ca.pem");
    // Long enough for a TLS handshake through Wine's Schannel on a busy machine (0.7 s was not: the
    // answer to a size query came too late), and far below the 30 s a user gets.
    dtest::SetEnvironment("DRAVLIN_QUERY_TIMEOUT_MS", "5000");
    dtest::SetEnvironment("DRAVLIN_STALL_TIMEOUT_S", "2");
    return RUN_ALL_TESTS();
}
