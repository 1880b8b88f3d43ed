#pragma once

// Where corvane-cli finds the password it publishes with, in this order: the desktop's
// keyring, the project's PASSWORD, the environment variable CORVANE_PASSWORD, and last a
// question on the terminal, typed without echo. The password is never shown.

#include "publish/Keyring.h"

#include <functional>
#include <optional>
#include <string>

enum class TPasswordSource { Keyring, Project, Environment, Terminal, None };

struct TPublishPassword {
    std::string Password;
    TPasswordSource Source = TPasswordSource::None;
    // Why the keyring gave none, when it did not answer Done or NotFound.
    std::string KeyringReason;
};

// Asks prompt on the terminal and reads one line; none when there is no terminal.
using TPasswordReader = std::function<std::optional<std::string>(const std::string& prompt)>;

// The environment variable that holds a password for scripts.
constexpr const char* PasswordVariable = "CORVANE_PASSWORD";

// The password for key: from keyring, else projectPassword when it is not empty, else
// CORVANE_PASSWORD when it is set and not empty, else what ask reads (asked "Password for
// USER@HOST: "; AskPasswordOnTerminal when ask is empty); an empty password from None when
// every source is empty.
TPublishPassword FindPublishPassword(const TKeyringKey& key, const std::string& projectPassword,
                                     TKeyring& keyring,
                                     const TPasswordReader& ask = TPasswordReader());

// What the publish dialog does with the password on OK: it goes into the keyring under key
// and storedPassword (the record's PASSWORD) becomes empty; an empty password is deleted
// from the keyring. Without a keyring it stays in storedPassword as typed, and the answer's
// Note says so for the dialog to show ("The password is kept in the project: ..."); Note is
// empty when the keyring took it.
struct TPasswordKept {
    bool InKeyring = false;
    std::string Note;
};
TPasswordKept KeepPublishPassword(const TKeyringKey& key, const std::string& typed,
                                  std::string& storedPassword, TKeyring& keyring);

// The password the publish dialog shows and sends: the keyring's for key, else
// storedPassword (a project from before the keyring, or one without it).
std::string LoadPublishPassword(const TKeyringKey& key, const std::string& storedPassword,
                                TKeyring& keyring);

// Reads one line from the controlling terminal (/dev/tty) with its echo off, after writing
// prompt there; the echo is put back whatever happens (an interrupt is passed on after).
// None when the process has no terminal.
std::optional<std::string> AskPasswordOnTerminal(const std::string& prompt);
