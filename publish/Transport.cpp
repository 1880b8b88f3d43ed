#include "publish/Transport.h"

#include "publish/FtpTransport.h"
#include "publish/SftpTransport.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace {

// SFTP statuses that say the connection, not the file, is the trouble.
constexpr int SftpNoConnection = 6;
constexpr int SftpConnectionLost = 7;

} // namespace

bool IsTransientFailure(const TTransportError& error, TTransportProtocol protocol) {
    if (error.Kind() == TTransportFailure::Cancelled)
        return false;
    const int code = error.ReplyCode();
    if (protocol == TTransportProtocol::SFTP) {
        if (code == SftpNoConnection || code == SftpConnectionLost)
            return true;
    } else {
        if (code >= 400 && code <= 499)
            return true;
        if (code >= 500 && code <= 599)
            return false;
    }
    switch (error.Kind()) {
    case TTransportFailure::NoAnswer:
    case TTransportFailure::ConnectionLost:
    case TTransportFailure::NothingListens:
        return true;
    default:
        return false;
    }
}

TTransportError NotWholeError(const std::string& name, std::int64_t held, std::int64_t size) {
    std::string message = "The server holds ";
    message.append(std::to_string(held))
        .append(" of the ")
        .append(std::to_string(size))
        .append(" bytes of ")
        .append(name);
    return TTransportError(message, TTransportFailure::ConnectionLost,
                           "The file did not arrive whole.", {}, name);
}

void TTransport::UploadReplacing(const std::string& localPath, const std::string& remoteName,
                                 const std::string& tempName,
                                 const std::function<void(std::int64_t)>& progress,
                                 const std::function<void()>& beforeRename) {
    Upload(localPath, tempName, progress);
    const auto dropTemp = [&] {
        try {
            Delete(tempName);
        } catch (const TTransportError&) {
        }
    };
    const std::int64_t held = RemoteSize(tempName);
    std::error_code error;
    const auto size = std::filesystem::file_size(localPath, error);
    try {
        if (beforeRename)
            beforeRename();
        if (held >= 0 && !error && held != static_cast<std::int64_t>(size))
            throw NotWholeError(remoteName, held, static_cast<std::int64_t>(size));
    } catch (...) {
        dropTemp();
        throw;
    }
    try {
        Rename(tempName, remoteName);
        return;
    } catch (const TTransportError& e) {
        if (e.Kind() == TTransportFailure::Cancelled || IsTransientFailure(e, Protocol()))
            throw;
    }
    // A server that does not rename over an existing file: the target goes first.
    try {
        Delete(remoteName);
    } catch (const TTransportError& e) {
        if (e.Kind() != TTransportFailure::FileMissing)
            throw;
    }
    Rename(tempName, remoteName);
}

std::vector<std::string> TTransport::ListNames() {
    throw TTransportError("This connection cannot list the folder", TTransportFailure::FileRefused,
                          "The server gives no listing of the folder.");
}

TPresence TTransport::Presence(const std::string& remoteName) {
    // What only the connection's own trouble explains is thrown; a refused command says that
    // this way of asking does not work here.
    const auto failedConnection = [this](const TTransportError& e) {
        if (e.Kind() == TTransportFailure::Cancelled)
            return true;
        // An FTP reply of the 4xx kind refuses the command for now, over a sound connection.
        const bool refusedForNow =
            Protocol() != TTransportProtocol::SFTP && e.ReplyCode() >= 400 && e.ReplyCode() <= 499;
        return !refusedForNow && IsTransientFailure(e, Protocol());
    };
    try {
        if (RemoteSize(remoteName) >= 0)
            return TPresence::Present;
    } catch (const TTransportError& e) {
        if (e.Kind() == TTransportFailure::FileMissing)
            return TPresence::Absent;
        if (failedConnection(e))
            throw;
    }
    std::vector<std::string> names;
    try {
        names = ListNames();
    } catch (const TTransportError& e) {
        if (failedConnection(e))
            throw;
        return TPresence::Unknown;
    }
    if (std::find(names.begin(), names.end(), remoteName) != names.end())
        return TPresence::Present;
    // Many servers leave hidden files out of a listing.
    if (!remoteName.empty() && remoteName[0] == '.')
        return TPresence::Unknown;
    return TPresence::Absent;
}

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
