#pragma once

#include "platform/Error.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

// The message of the TError that call raised, empty when it raised none; the error must name
// fileName, as its file and in its text.
inline std::string ErrorOf(const std::function<void()>& call, const std::string& fileName) {
    try {
        call();
        return "";
    } catch (const TError& e) {
        EXPECT_EQ(e.FileName(), fileName) << e.what();
        EXPECT_NE(std::string(e.what()).find(fileName), std::string::npos) << e.what();
        return e.Message();
    }
}
