// A folder on this machine as a publishing target: FOLDER names it, nothing else is used.

#include "publish/PublishTarget.h"
#include "publish/folder/FolderTransport.h"

namespace {

std::unique_ptr<TTransport> MakeFolderTransport(const TTransportSettings& settings) {
    return std::make_unique<TFolderTransport>(settings);
}

} // namespace

const TPublishTarget& FolderTarget() {
    static const TPublishTarget target{TFolderTransport::TargetName,
                                       "Folder on this computer",
                                       "a folder on this machine; FOLDER is its full path",
                                       40,
                                       0,
                                       static_cast<unsigned>(TTargetSetting::Jobs),
                                       "Folder:",
                                       MakeFolderTransport,
                                       nullptr,
                                       nullptr,
                                       nullptr,
                                       {.Failed = "Publishing into the folder failed!",
                                        .Closing = "Closing the folder...",
                                        .ConnectNote = "For a folder on this machine: opens it.\n",
                                        .Branches = {}}};
    return target;
}
