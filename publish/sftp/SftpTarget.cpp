// SFTP as a publishing target: libssh behind the transport interface.

#include "publish/PublishTarget.h"
#include "publish/sftp/SftpTransport.h"

namespace {

std::unique_ptr<TTransport> MakeSftp(const TTransportSettings& settings) {
    return std::make_unique<TSftpTransport>(settings);
}

} // namespace

const TPublishTarget& SftpTarget() {
    static const TPublishTarget target{"SFTP",
                                       "SFTP",
                                       "an SSH server's SFTP, its host key checked in known_hosts",
                                       30,
                                       22,
                                       TTargetSetting::Host | TTargetSetting::Port |
                                           TTargetSetting::User | TTargetSetting::Password |
                                           TTargetSetting::Jobs,
                                       "Sub Folder:",
                                       MakeSftp,
                                       nullptr,
                                       TSftpTransport::IsTransientStatus,
                                       nullptr,
                                       {}};
    return target;
}
