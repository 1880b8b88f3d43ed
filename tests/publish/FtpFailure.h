#pragma once

// Runs f and returns the TFTPError it raised; fails the test when it raised none.

#include "publish/IdFTP.h"

#include <gtest/gtest.h>

template <typename F> TFTPError Failure(F f) {
    try {
        f();
    } catch (const TFTPError& e) {
        return e;
    }
    ADD_FAILURE() << "no TFTPError was raised";
    return TFTPError("");
}
