#include "publish/Transport.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <system_error>

namespace {

// Deletes name as far as the server lets it.
void DropQuietly(TTransport& transport, const std::string& name) {
    try {
        transport.Delete(name);
    } catch (const TTransportError&) {
    }
}

// The failure of a file that the server would not rename into place (refusal in its words):
// it refuses renames, how says how.
TTransportError RenamesRefusedError(const TTransportError& refusal, const std::string& remoteName,
                                    const std::string& how) {
    std::string message = refusal.what();
    message.append("; the server does not rename files (")
        .append(how)
        .append("): ")
        .append(remoteName)
        .append(" stays as it was");
    return TTransportError(message, TTransportFailure::FileRefused,
                           refusal.Reason() + " The server does not rename files: \"" + remoteName +
                               "\" on it stays as it was.",
                           {}, remoteName)
        .WithReplyCode(refusal.ReplyCode());
}

} // namespace

bool IsTransientReply(const TTransportError& error) {
    if (error.Kind() == TTransportFailure::Cancelled)
        return false;
    const int code = error.ReplyCode();
    if (code >= 400 && code <= 499)
        return true;
    if (code >= 500 && code <= 599)
        return false;
    switch (error.Kind()) {
    case TTransportFailure::NoAnswer:
    case TTransportFailure::ConnectionLost:
    case TTransportFailure::NothingListens:
        return true;
    default:
        return false;
    }
}

bool TTransport::IsTransient(const TTransportError& error) const {
    return IsTransientReply(error);
}

bool TTransport::RefusedAsExisting(const TTransportError& error) const {
    return error.Kind() == TTransportFailure::FileRefused &&
           (error.ReplyCode() == 550 || error.ReplyCode() == 553);
}

bool TTransport::RefusedForNow(const TTransportError& error) const {
    return error.ReplyCode() >= 400 && error.ReplyCode() <= 499;
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
    UploadPart(localPath, tempName, progress);
    const std::int64_t held = RemoteSize(tempName);
    std::error_code error;
    const auto size = std::filesystem::file_size(localPath, error);
    try {
        if (beforeRename)
            beforeRename();
        if (held >= 0 && !error && held != static_cast<std::int64_t>(size))
            throw NotWholeError(remoteName, held, static_cast<std::int64_t>(size));
    } catch (...) {
        DropQuietly(*this, tempName);
        throw;
    }
    RenameIntoPlace(tempName, remoteName);
}

void TTransport::RenameIntoPlace(const std::string& tempName, const std::string& remoteName) {
    try {
        Rename(tempName, remoteName);
        return;
    } catch (const TTransportError& e) {
        ReplaceRefused(e, tempName, remoteName);
    }
}

TPresence TTransport::TargetPresent(const std::string& remoteName) {
    return Presence(remoteName);
}

std::optional<TTransportError> TTransport::MoveAside(const std::string& remoteName,
                                                     const std::string& aside) {
    try {
        Rename(remoteName, aside);
        return std::nullopt;
    } catch (const TTransportError& e) {
        if (!RefusedAsExisting(e))
            throw;
        // The copy an earlier run left there when it was broken off is no live page.
        try {
            Delete(aside);
        } catch (const TTransportError& d) {
            if (d.Kind() == TTransportFailure::Cancelled || IsTransient(d))
                throw;
            // Nothing there: the rename was refused for itself.
            if (d.Kind() == TTransportFailure::FileMissing)
                throw e;
            // Something there that will not go (a folder, a file the server keeps): it
            // says nothing of the server's renames.
            return d;
        }
    }
    Rename(remoteName, aside);
    return std::nullopt;
}

void TTransport::ReplaceRefused(const TTransportError& refusal, const std::string& tempName,
                                const std::string& remoteName) {
    const auto passing = [this](const TTransportError& e) {
        return e.Kind() == TTransportFailure::Cancelled || IsTransient(e);
    };
    // Worth another attempt: the caller makes it, on a fresh connection where needed.
    if (passing(refusal))
        throw refusal;
    // Anything but a refusal over an existing name is the file's failure as it is.
    if (!RefusedAsExisting(refusal)) {
        DropQuietly(*this, tempName);
        throw refusal;
    }
    if (RenamesRefused()) {
        DropQuietly(*this, tempName);
        throw RenamesRefusedError(refusal, remoteName, "as with a file before");
    }
    TPresence presence;
    try {
        presence = TargetPresent(remoteName);
    } catch (const TTransportError& e) {
        if (!passing(e))
            DropQuietly(*this, tempName);
        throw;
    }
    if (presence == TPresence::Absent) {
        DropQuietly(*this, tempName);
        throw refusal;
    }

    // The old file goes aside, the new one takes its place, and only then the old one goes.
    const std::string aside = PrefixedName(AsideFilePrefix, remoteName);
    std::optional<TTransportError> inTheWay;
    try {
        inTheWay = MoveAside(remoteName, aside);
    } catch (const TTransportError& e) {
        if (passing(e))
            throw;
        DropQuietly(*this, tempName);
        // Not there after all (a server without SIZE): the refusal stands for this file.
        if (e.Kind() == TTransportFailure::FileMissing && presence == TPresence::Unknown)
            throw refusal;
        SetRenamesRefused(true);
        throw RenamesRefusedError(refusal, remoteName, "not even to move the old file aside");
    }
    if (inTheWay) {
        DropQuietly(*this, tempName);
        std::string message = refusal.what();
        message.append("; ")
            .append(aside)
            .append(", where the old file goes while the new one takes its place, cannot be "
                    "deleted (")
            .append(inTheWay->what())
            .append("): ")
            .append(remoteName)
            .append(" stays as it was");
        throw TTransportError(message, TTransportFailure::FileRefused,
                              refusal.Reason() + " \"" + aside +
                                  "\" on the server is in the way and cannot be deleted: \"" +
                                  remoteName + "\" on it stays as it was.",
                              {}, remoteName)
            .WithReplyCode(refusal.ReplyCode());
    }
    try {
        Rename(tempName, remoteName);
    } catch (const TTransportError& e) {
        bool restored = true;
        try {
            Rename(aside, remoteName);
        } catch (const TTransportError&) {
            restored = false;
        }
        if (passing(e) && restored)
            throw;
        if (!passing(e)) {
            SetRenamesRefused(true);
            DropQuietly(*this, tempName);
        }
        if (restored)
            throw RenamesRefusedError(e, remoteName, "not even once the old file was moved aside");
        // The old file could not be put back: it stays under the aside name, never deleted.
        std::string message = e.what();
        message.append("; the old ").append(remoteName).append(" is kept as ").append(aside);
        throw TTransportError(message, e.Kind(),
                              e.Reason() + " The old file is kept as \"" + aside +
                                  "\" on the server.",
                              {}, remoteName)
            .WithReplyCode(e.ReplyCode());
    }
    try {
        Delete(aside);
    } catch (const TTransportError& e) {
        // The new file is in place; the old one under the hidden name goes with the next
        // replace of the file.
        if (OnLog)
            OnLog(std::string("The old file is left as ") + aside + ": " + e.what());
    }
}

std::string PrefixedName(const char* prefix, const std::string& name) {
    const std::size_t slash = name.rfind('/');
    if (slash == std::string::npos)
        return prefix + name;
    return name.substr(0, slash + 1) + prefix + name.substr(slash + 1);
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
        return !RefusedForNow(e) && IsTransient(e);
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
