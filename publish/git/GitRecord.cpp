#include "publish/git/GitRecord.h"

#include "platform/Text.h"
#include "publish/git/GitAddress.h"

TGitSettings GitSettingsOf(const TDPublish& record) {
    const std::string address = TrimBlanks(record.REPOSITORY);
    const TGitAddress parts = ParseGitAddress(address);
    TGitSettings settings;
    settings.Repository = address;
    settings.Branch =
        TrimBlanks(record.BRANCH).empty() ? TDPublish::DefaultBranch : TrimBlanks(record.BRANCH);
    settings.Folder = record.FOLDER;
    settings.AuthorName = record.AUTHOR_NAME;
    settings.AuthorEmail = record.AUTHOR_EMAIL;
    settings.User = TrimBlanks(record.USER_NAME).empty() ? parts.User : record.USER_NAME;
    settings.Trusted = record.TRUSTED;
    settings.ProjectId = record.PROJECT_ID;
    return settings;
}

TKeyringKey GitKeyringKeyOf(const TDPublish& record) {
    TGitAddress parts;
    try {
        parts = ParseGitAddress(TrimBlanks(record.REPOSITORY));
    } catch (const std::exception&) {
    }
    // A token is sent over HTTP(S) alone: no user to ask one for elsewhere.
    if (parts.Scheme != "https" && parts.Scheme != "http")
        return {GitProtocol, parts.Host, parts.Port, ""};
    return {GitProtocol, parts.Host, parts.Port,
            TrimBlanks(record.USER_NAME).empty() ? parts.User : record.USER_NAME};
}
