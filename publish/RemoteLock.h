#pragma once

// The lock a synchronising publish holds in the remote folder while it writes there: the
// folder ".corvane-lock" (making a folder fails when it exists, on every server, unlike
// storing or renaming a file), and in it the file "owner" naming the host, the process and
// the time of the publish that made it. A lock younger than StaleSeconds keeps every other
// publish out; an older one (or one whose process is gone from this host) may be broken
// when the user says so.

#include <cstdint>
#include <optional>
#include <string>

struct TLockOwner {
    std::string Host;
    std::int64_t Pid = 0;
    // Seconds since 1970 (UTC), by the owner's clock.
    std::int64_t Since = 0;
    // The owner's boot of its system, hashed (BootHash): its process id means something only
    // on that very boot of that machine, which its host name alone does not tell. Empty when
    // unknown.
    std::string Boot = {};
    bool operator==(const TLockOwner&) const = default;
};

class TRemoteLock {
  public:
    static constexpr const char* FolderName = ".corvane-lock";
    // The owner file's path from the remote folder, and its first line.
    static constexpr const char* OwnerPath = ".corvane-lock/owner";
    static constexpr const char* Header = "corvane-lock 1";
    static constexpr std::int64_t StaleSeconds = 30 * 60;
    // The largest owner file that is read.
    static constexpr std::int64_t MaxBytes = 4096;

    // This program on this host at the time now.
    static TLockOwner Me(std::int64_t now);
    static std::string OwnerText(const TLockOwner& owner);
    // None when text is not an owner file.
    static std::optional<TLockOwner> ParseOwner(const std::string& text);

    // Whether owner's lock no longer keeps anyone out at the time now: older than
    // StaleSeconds, taken StaleSeconds or more after now (a clock that is far off), or made
    // by a process of this host, in this boot of it, that is gone.
    static bool Stale(const TLockOwner& owner, std::int64_t now);
    // This boot of this system: the SHA-256 of its boot id (never the id itself: the owner
    // file may be seen from the web), empty when the system tells none.
    static std::string BootHash();
    // Whether owner is this very process (a lock an earlier run of it could not remove).
    static bool Mine(const TLockOwner& owner);

    // "Another publish to this folder is running since TIME from HOST."
    static std::string RunningMessage(const TLockOwner& owner);
    // The question whether to break a lock left behind (owner none: it names nobody).
    static std::string BreakQuestion(const std::optional<TLockOwner>& owner);
    // What a lock left behind and not broken says.
    static std::string LeftMessage(const std::optional<TLockOwner>& owner);
};
