#pragma once

// What a publishing record with PROTOCOL "Git" says, as the Git publisher and the keyring
// take it.

#include "model/CPublish.h"
#include "publish/Keyring.h"
#include "publish/git/GitPublisher.h"

// The protocol name that publishes to a Git repository.
constexpr const char* GitProtocol = "Git";

// The settings of a publish from record: repository, branch, folder, author, user, trusted
// fingerprint and project id (the token is the caller's to find, as corvane-cli finds a
// password). A TError naming the address when it is none that Git reads.
TGitSettings GitSettingsOf(const TDPublish& record);

// Where the keyring keeps the token: protocol "Git", the repository's host and port, and
// the user (from the record, else from the address; none but for HTTP(S), which alone sends
// a token).
TKeyringKey GitKeyringKeyOf(const TDPublish& record);
