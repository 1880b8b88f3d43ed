#include "publish/Transport.h"

#include "publish/FtpTransport.h"
#include "publish/SftpTransport.h"

std::unique_ptr<TTransport> MakeTransport(const TTransportSettings& settings) {
    switch (settings.Protocol) {
    case TTransportProtocol::FTP:
    case TTransportProtocol::FTPS:
        return std::make_unique<TFtpTransport>(settings);
    case TTransportProtocol::SFTP:
        return MakeSftpTransport(settings);
    }
    return std::make_unique<TFtpTransport>(settings);
}

bool ProtocolFromText(const std::string& text, TTransportProtocol& protocol) {
    if (text == "FTP")
        protocol = TTransportProtocol::FTP;
    else if (text == "FTPS")
        protocol = TTransportProtocol::FTPS;
    else if (text == "SFTP")
        protocol = TTransportProtocol::SFTP;
    else
        return false;
    return true;
}

const char* ProtocolText(TTransportProtocol protocol) {
    switch (protocol) {
    case TTransportProtocol::FTPS:
        return "FTPS";
    case TTransportProtocol::SFTP:
        return "SFTP";
    case TTransportProtocol::FTP:
        break;
    }
    return "FTP";
}

std::int32_t DefaultPort(TTransportProtocol protocol) {
    return protocol == TTransportProtocol::SFTP ? 22 : 21;
}
