#pragma once

// What a connection test found, step by step, in plain words.

#include "publish/TransportError.h"

#include <string>
#include <vector>

struct TConnectionReport {
    // One line per step: "Connect to ...: works." or "...: fails. <reason>", and so on.
    std::vector<std::string> Lines;
    bool Works = false;
    // The first failure: its kind, its plain reason, the technical account, and for
    // NotTrusted the fingerprint offered.
    TTransportFailure Failure = TTransportFailure::Other;
    std::string Reason;
    std::string Detail;
    std::string Fingerprint;
};
