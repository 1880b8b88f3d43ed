#pragma once

// The tests with real servers need packages (pyftpdlib, pyOpenSSL, vsftpd, openssl) and some
// need root. Where one is missing they are skipped with the reason, except where
// CORVANE_REQUIRE_SERVERS=1 is set (scripts/test.sh, CI): there they fail instead.

#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>

inline bool ServersRequired() {
    const char* value = std::getenv("CORVANE_REQUIRE_SERVERS");
    return value && std::strcmp(value, "1") == 0;
}

#define CORVANE_NEED_SERVER(available, why)                                                        \
    do {                                                                                           \
        if (!(available)) {                                                                        \
            if (ServersRequired())                                                                 \
                FAIL() << (why) << " (CORVANE_REQUIRE_SERVERS=1: not skipped)";                    \
            GTEST_SKIP() << (why);                                                                 \
        }                                                                                          \
    } while (0)
