#pragma once

// Runs f and returns the TTransportError it raised; fails the test when it raised none.

#include "publish/ftp/IdFTP.h"

#include <gtest/gtest.h>

template <typename F> TTransportError Failure(F f) {
    try {
        f();
    } catch (const TTransportError& e) {
        return e;
    }
    ADD_FAILURE() << "no TTransportError was raised";
    return TTransportError("", TTransportFailure::Other, {});
}
