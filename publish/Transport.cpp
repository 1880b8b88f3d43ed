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

std::string FingerprintText(const unsigned char* bytes, std::size_t size) {
    static const char* const Hex = "0123456789ABCDEF";
    std::string text;
    for (std::size_t i = 0; i < size; ++i) {
        if (i > 0)
            text.push_back(':');
        text.push_back(Hex[bytes[i] >> 4]);
        text.push_back(Hex[bytes[i] & 15]);
    }
    return text;
}

std::string NormalFingerprint(const std::string& text) {
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    std::size_t begin = 0, end = text.size();
    while (begin < end && blank(text[begin]))
        ++begin;
    while (end > begin && blank(text[end - 1]))
        --end;
    std::string normal = text.substr(begin, end - begin);
    for (char& c : normal)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return normal;
}

bool SameFingerprint(const std::string& a, const std::string& b) {
    const std::string x = NormalFingerprint(a);
    return !x.empty() && x == NormalFingerprint(b);
}
