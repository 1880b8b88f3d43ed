#pragma once

#include "publish/Transport.h"

#include <cstdint>
#include <string>

// The port a publishing account connects to: its own, or, for 0 (what a new project holds),
// the default of its protocol (21 for FTP and FTPS, 22 for SFTP). Used where a port is shown
// (the Publish dialog, corvane-cli) and where the connection is made; a protocol in no list
// counts as FTP here, and is refused where the connection is made.
inline std::int32_t PortOrDefault(const std::string& protocol, std::int32_t port) {
    if (port != 0)
        return port;
    TTransportProtocol known = TTransportProtocol::FTP;
    ProtocolFromText(protocol, known);
    return DefaultPort(known);
}
