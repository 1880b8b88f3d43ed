#pragma once

// Tests against real servers skip themselves where a server's package is missing, with the
// reason; with CORVANE_REQUIRE_SERVERS=1 (scripts/test.sh, CI) they fail instead, so that a
// missing package cannot pass for a passing test.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

inline bool ServersRequired() {
    const char* value = std::getenv("CORVANE_REQUIRE_SERVERS");
    return value && std::string(value) == "1";
}

// Skips the test (or fails it when servers are required) because of why.
#define SKIP_WITHOUT_SERVER(why)                                                                   \
    do {                                                                                           \
        const std::string& reason_ = (why);                                                        \
        if (ServersRequired())                                                                     \
            FAIL() << reason_ << " (required: CORVANE_REQUIRE_SERVERS=1)";                         \
        GTEST_SKIP() << reason_;                                                                   \
    } while (false)
