#pragma once

// The TCP connection to a server, as FTP's control connection and SFTP's socket open it:
// the host name looked up (publish/HostResolver.h) and each of its addresses tried in turn,
// all within one time-out, given up within 0.1 s of a cancel.

#include "platform/FileDescriptor.h"
#include "publish/TransportError.h"

#include <atomic>
#include <cstdint>
#include <string>

// Why ConnectToServer failed: the kind, the technical detail ("cannot connect (...)") and
// the plain words, which name the host or the server ("host:port").
struct TServerConnectFailure {
    TTransportFailure Kind = TTransportFailure::Other;
    std::string Detail;
    std::string Reason;
};

// A blocking socket connected to host:port (family AF_INET or AF_UNSPEC), the lookup and
// every attempt within timeoutMs (0: the system's own limits); none, with failure set, when
// the name does not resolve, nothing answers in time, cancel is set or no address takes it.
TFileDescriptor ConnectToServer(const std::string& host, std::int32_t port, int family,
                                std::int32_t timeoutMs, const std::atomic<bool>& cancel,
                                TServerConnectFailure& failure);
