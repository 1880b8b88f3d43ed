#include "publish/RemoteLock.h"

#include "platform/Locale.h"
#include "platform/Sha256.h"
#include "platform/Text.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <fstream>
#include <unistd.h>

namespace {

std::string HostName() {
    char name[HOST_NAME_MAX + 1] = "";
    if (::gethostname(name, sizeof name) != 0)
        return "an unknown host";
    name[HOST_NAME_MAX] = '\0';
    return name;
}

// The first line of path, none when it cannot be read.
std::string FirstLine(const char* path) {
    std::ifstream in(path);
    std::string line;
    if (!in || !std::getline(in, line))
        return "";
    return line;
}

std::string ShownHost(const TLockOwner& owner) {
    return ControlCharactersShown(owner.Host);
}

// Whether owner ran on this very boot of this host.
bool SameBoot(const TLockOwner& owner) {
    return owner.Host == HostName() && !owner.Boot.empty() && owner.Boot == TRemoteLock::BootHash();
}

} // namespace

std::string TRemoteLock::BootHash() {
    static const std::string hash = [] {
        const std::string id = FirstLine("/proc/sys/kernel/random/boot_id");
        return id.empty() ? std::string() : Sha256OfBytes("corvane-lock boot " + id);
    }();
    return hash;
}

TLockOwner TRemoteLock::Me(std::int64_t now) {
    return TLockOwner{HostName(), static_cast<std::int64_t>(::getpid()), now, BootHash()};
}

std::string TRemoteLock::OwnerText(const TLockOwner& owner) {
    std::string host = owner.Host;
    for (char& c : host)
        if (c == '\n' || c == '\r')
            c = ' ';
    std::string text = std::string(Header) + "\nhost " + host + "\npid " +
                       std::to_string(owner.Pid) + "\nsince " + std::to_string(owner.Since) + "\n";
    if (!owner.Boot.empty() && owner.Boot.find_first_of("\r\n") == std::string::npos)
        text.append("boot ").append(owner.Boot).append("\n");
    return text;
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
        } else if (key == "boot") {
            owner.Boot = value;
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
    return SameBoot(owner) && owner.Pid == static_cast<std::int64_t>(::getpid());
}

bool TRemoteLock::Stale(const TLockOwner& owner, std::int64_t now) {
    // Taken further ahead than a lock lives: a clock far off, or a hostile file, says
    // nothing of the lock's age (a time a little ahead is a clock a little fast).
    if (now - owner.Since >= StaleSeconds || owner.Since - now >= StaleSeconds)
        return true;
    // A process of this boot of this host that is gone holds nothing (breaking is only ever
    // offered). Another machine may have the same name, and a lock without its boot is
    // older than this rule: they wait for their age.
    if (SameBoot(owner) && owner.Pid > 0 && owner.Pid <= INT_MAX &&
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
