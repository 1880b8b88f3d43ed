#pragma once

// The publishing password in the desktop's keyring (the Secret Service on the session bus,
// through libsecret), one per protocol, host, port and user. Every call is bounded in time:
// without a session bus, without a Secret Service on it, or when it does not answer in
// time, the answer is NoKeyring with the reason in plain words, never a wait.

#include <cstdint>
#include <string>

// Where one password is kept: the attributes of its keyring item.
struct TKeyringKey {
    std::string Protocol; // "FTP", "FTPS", "SFTP" or "Git", as PUBLISH's PROTOCOL holds it
    std::string Host;
    std::int32_t Port = 0;
    std::string User;
};

enum class TKeyringStatus {
    Done,      // stored, found or deleted
    NotFound,  // the keyring holds no password for the key
    NoKeyring, // no session bus or Secret Service, or it did not answer in time
    Failed,    // the keyring is there but refused (locked, the unlock dismissed)
};

struct TKeyringAnswer {
    TKeyringStatus Status = TKeyringStatus::Failed;
    std::string Password; // what Find found
    std::string Reason;   // for NoKeyring and Failed: why, in plain words
};

class TKeyring {
  public:
    // How long one call may take, in milliseconds.
    static constexpr int DefaultTimeout = 5000;
    // The name of the keyring items' schema (their "xdg:schema" attribute).
    static constexpr const char* SchemaName = "example.corvane.Corvane.Publish";
    // Set to 1, the keyring is not asked at all: every call answers NoKeyring (for scripts
    // and tests that must not reach the desktop's keyring).
    static constexpr const char* OffVariable = "CORVANE_NO_KEYRING";

    explicit TKeyring(int timeoutMs = DefaultTimeout) : FTimeout(timeoutMs) {}
    virtual ~TKeyring() = default;

    // Stores password for key, replacing the one stored before.
    virtual TKeyringAnswer Store(const TKeyringKey& key, const std::string& password);
    virtual TKeyringAnswer Find(const TKeyringKey& key);
    // Done when a password was deleted, NotFound when there was none.
    virtual TKeyringAnswer Delete(const TKeyringKey& key);

  private:
    int FTimeout;
};
