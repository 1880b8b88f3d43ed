#include "publish/RemoteLock.h"

#include "platform/Locale.h"
#include "platform/Text.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <unistd.h>

namespace {

std::string HostName() {
    char name[HOST_NAME_MAX + 1] = "";
    if (::gethostname(name, sizeof name) != 0)
        return "an unknown host";
    name[HOST_NAME_MAX] = '\0';
    return name;
}

std::string ShownHost(const TLockOwner& owner) {
    return ControlCharactersShown(owner.Host);
}

} // namespace

TLockOwner TRemoteLock::Me(std::int64_t now) {
    return TLockOwner{HostName(), static_cast<std::int64_t>(::getpid()), now};
}

std::string TRemoteLock::OwnerText(const TLockOwner& owner) {
    std::string host = owner.Host;
    for (char& c : host)
        if (c == '\n' || c == '\r')
            c = ' ';
    return std::string(Header) + "\nhost " + host + "\npid " + std::to_string(owner.Pid) +
           "\nsince " + std::to_string(owner.Since) + "\n";
}

std::optional<TLockOwner> TRemoteLock::ParseOwner(const std::string& text) {
    TLockOwner owner;
    bool host = false, pid = false, since = false;
    std::size_t at = 0;
    int lineNumber = 0;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = text.substr(at, end - at);
        at = end + 1;
        if (++lineNumber == 1) {
            if (line != Header)
                return std::nullopt;
            continue;
        }
        const std::size_t blank = line.find(' ');
        if (blank == std::string::npos)
            continue;
        const std::string key = line.substr(0, blank), value = line.substr(blank + 1);
        if (key == "host") {
            owner.Host = value;
            host = true;
        } else if (key == "pid" || key == "since") {
            if (value.empty() || value.size() > 18 ||
                value.find_first_not_of("0123456789") != std::string::npos)
                return std::nullopt;
            const std::int64_t number = std::stoll(value);
            (key == "pid" ? owner.Pid : owner.Since) = number;
            (key == "pid" ? pid : since) = true;
        }
    }
    if (!host || !pid || !since)
        return std::nullopt;
    return owner;
}

bool TRemoteLock::Mine(const TLockOwner& owner) {
    return owner.Host == HostName() && owner.Pid == static_cast<std::int64_t>(::getpid());
}

bool TRemoteLock::Stale(const TLockOwner& owner, std::int64_t now) {
    // Taken further ahead than a lock lives: a clock far off, or a hostile file, says
    // nothing of the lock's age (a time a little ahead is a clock a little fast).
    if (now - owner.Since >= StaleSeconds || owner.Since - now >= StaleSeconds)
        return true;
    // A process of this host that is gone holds nothing (another host of the same name may
    // still run it: breaking is only ever offered).
    if (owner.Host == HostName() && owner.Pid > 0 && owner.Pid <= INT_MAX &&
        ::kill(static_cast<pid_t>(owner.Pid), 0) != 0 && errno == ESRCH)
        return true;
    return false;
}

std::string TRemoteLock::RunningMessage(const TLockOwner& owner) {
    return "Another publish to this folder is running since " + FormatDateTime(owner.Since) +
           " from " + ShownHost(owner) + ".";
}

std::string TRemoteLock::BreakQuestion(const std::optional<TLockOwner>& owner) {
    if (!owner)
        return "The folder holds the lock of a publish that names nobody (a publish broken off "
               "may have left it). Break the lock and publish?";
    return "A publish to this folder from " + ShownHost(*owner) + " left its lock, taken on " +
           FormatDateTime(owner->Since) + ", and seems to run no more. Break the lock and publish?";
}

std::string TRemoteLock::LeftMessage(const std::optional<TLockOwner>& owner) {
    if (!owner)
        return "The folder holds the lock of a publish that names nobody; it was not broken.";
    return "The folder holds the lock that a publish from " + ShownHost(*owner) + " took on " +
           FormatDateTime(owner->Since) + "; it was not broken.";
}
