// A branch of a Git repository as a publishing target: the whole site as one commit, pushed.

#include "publish/PublishTarget.h"
#include "publish/git/GitRecord.h"
#include "publish/git/GitSitePublisher.h"

namespace {

std::unique_ptr<TSitePublisher> MakeGitPublisher(const TDPublish& record,
                                                 const TTransportSettings& settings) {
    return std::make_unique<TGitSitePublisher>(record, settings);
}

} // namespace

const TPublishTarget& GitTarget() {
    // The user and the token (its password) are for an HTTPS address that asks for them.
    static const TPublishTarget target{
        GitProtocol,
        "Git repository",
        "a branch of a Git repository; FOLDER is inside it",
        50,
        0,
        TTargetSetting::User | TTargetSetting::Password | TTargetSetting::Repository,
        "Folder in the branch:",
        nullptr,
        MakeGitPublisher,
        nullptr,
        GitKeyringKeyOf,
        {.PublishNote = "A project whose protocol is Git pushes one commit of the site to its "
                        "repository's\nbranch, keeping every file of the branch that the "
                        "program did not make.\n",
         .ConnectNote = "For Git: lists the repository's branches.\n",
         .Branches = {"gh-pages", "pages", "main"}}};
    return target;
}
