#include "model/CPublish.h"

#include "model/Values.h"

#include <algorithm>

TDPublish::TDPublish(TXmlElement element) {
    if (!element)
        return;
    ReadText(element, "FTP_SERVER", FTP_SERVER);
    ReadText(element, "USER_NAME", USER_NAME);
    ReadText(element, "PASSWORD", PASSWORD);
    ReadText(element, "PROXY_SERVER", PROXY_SERVER);
    ReadText(element, "FOLDER", FOLDER);
    ReadInteger(element, "FTP_PORT", FTP_PORT);
    ReadInteger(element, "PROXY_PORT", PROXY_PORT);
    ReadFlag(element, "USE_PROXY", USE_PROXY);
    ReadText(element, "PROTOCOL", PROTOCOL);
    ReadFlag(element, "PASSIVE", PASSIVE);
    ReadText(element, "TRUSTED", TRUSTED);
    ReadFlag(element, "SYNC", SYNC);
    ReadInteger(element, "JOBS", JOBS);
    ReadText(element, "PROJECT_ID", PROJECT_ID);
    ReadText(element, "LAST_PUBLISHED", LAST_PUBLISHED);
    ReadText(element, "REPOSITORY", REPOSITORY);
    ReadText(element, "BRANCH", BRANCH);
    ReadText(element, "AUTHOR_NAME", AUTHOR_NAME);
    ReadText(element, "AUTHOR_EMAIL", AUTHOR_EMAIL);
    JOBS = std::clamp(JOBS, MinJobs, MaxJobs);
}

void TDPublish::Save(TXmlElement element) const {
    if (!element)
        return;
    RemoveAllChildren(element);
    WriteText(element, "FTP_SERVER", FTP_SERVER);
    WriteInteger(element, "FTP_PORT", FTP_PORT);
    WriteText(element, "USER_NAME", USER_NAME);
    WriteText(element, "PASSWORD", PASSWORD);
    WriteText(element, "PROXY_SERVER", PROXY_SERVER);
    WriteInteger(element, "PROXY_PORT", PROXY_PORT);
    WriteFlag(element, "USE_PROXY", USE_PROXY);
    WriteText(element, "FOLDER", FOLDER);
    WriteText(element, "PROTOCOL", PROTOCOL);
    WriteFlag(element, "PASSIVE", PASSIVE);
    WriteText(element, "TRUSTED", TRUSTED);
    WriteFlag(element, "SYNC", SYNC);
    WriteInteger(element, "JOBS", JOBS);
    // Only once there is something to say, so that a project that never published with a
    // manifest keeps the document it had.
    if (!PROJECT_ID.empty())
        WriteText(element, "PROJECT_ID", PROJECT_ID);
    if (!LAST_PUBLISHED.empty())
        WriteText(element, "LAST_PUBLISHED", LAST_PUBLISHED);
    if (!REPOSITORY.empty())
        WriteText(element, "REPOSITORY", REPOSITORY);
    if (BRANCH != DefaultBranch)
        WriteText(element, "BRANCH", BRANCH);
    if (!AUTHOR_NAME.empty())
        WriteText(element, "AUTHOR_NAME", AUTHOR_NAME);
    if (!AUTHOR_EMAIL.empty())
        WriteText(element, "AUTHOR_EMAIL", AUTHOR_EMAIL);
}
