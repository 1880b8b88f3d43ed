#pragma once

#include "platform/XmlDocument.h"

#include <cstdint>
#include <string>

// The FTP publishing settings (element "PUBLISH").
class TDPublish {
  public:
    explicit TDPublish(TXmlElement element = TXmlElement());
    void Save(TXmlElement element) const;
    bool operator==(const TDPublish&) const = default;

    std::string FTP_SERVER;
    std::string USER_NAME;
    std::string PASSWORD;
    std::string PROXY_SERVER;
    std::string FOLDER;
    std::int32_t FTP_PORT = 0;
    std::int32_t PROXY_PORT = 0;
    bool USE_PROXY = false;
    // How the site reaches the server: "FTP", "FTPS", "SFTP" or "Git".
    std::string PROTOCOL = "FTP";
    // Passive data connections (FTP and FTPS). Set for a new project; a document whose
    // PUBLISH element has no PASSIVE child keeps the active exchange.
    bool PASSIVE = true;
    // The SHA-256 fingerprint ("AB:CD:...") of the certificate or host key that the owner
    // accepted although it does not verify; empty for none.
    std::string TRUSTED;
    // Publish only what changed (the manifest on the server, removed files deleted). Set for a
    // new project; a document whose PUBLISH element has no SYNC child keeps uploading every
    // ticked file and reads and deletes nothing.
    bool SYNC = true;
    // The connections a synchronising publish uses at once, 1 to 8; 4 when missing.
    std::int32_t JOBS = 4;
    // Which copy of the project this is, as the manifests it publishes name it: random
    // hexadecimal digits, made on the first synchronising publish (never in a template, never
    // shown). Copies of the project folder share it until one of them is given another.
    std::string PROJECT_ID;
    // When this copy last wrote the manifest of each place it publishes to: one line per place,
    // "TIME PLACE" (the manifest's time, "2026-12-10T02:45:40Z"; the place as
    // "PROTOCOL://USER@HOST:PORT/FOLDER"). Empty before the first synchronising publish.
    std::string LAST_PUBLISHED;
    // Git: the repository ("https://", "http://", "ssh://", "user@host:path" or a local
    // folder), the branch that receives the site, and the author of its commits. FOLDER is
    // the folder inside the branch; USER_NAME and PASSWORD the user and token of HTTPS.
    // Each is written only when set, so a project that never published to Git keeps its
    // document; a missing BRANCH is DefaultBranch.
    std::string REPOSITORY;
    std::string BRANCH = DefaultBranch;
    std::string AUTHOR_NAME;
    std::string AUTHOR_EMAIL;

    static constexpr const char* DefaultBranch = "gh-pages";

    static constexpr std::int32_t MinJobs = 1;
    static constexpr std::int32_t MaxJobs = 8;
};
