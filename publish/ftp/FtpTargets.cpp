// FTP and explicit FTPS as publishing targets: the FTP client behind the transport interface.

#include "publish/PublishTarget.h"
#include "publish/ftp/FtpTransport.h"

namespace {

std::unique_ptr<TTransport> MakeFtp(const TTransportSettings& settings) {
    return std::make_unique<TFtpTransport>(settings);
}

constexpr unsigned FtpSettings =
    TTargetSetting::Host | TTargetSetting::Port | TTargetSetting::User | TTargetSetting::Password |
    TTargetSetting::Passive | TTargetSetting::Proxy | TTargetSetting::Jobs;

} // namespace

const TPublishTarget& FtpTarget() {
    static const TPublishTarget target{TFtpTransport::FtpName,
                                       "FTP",
                                       "an FTP server; FOLDER is relative to the login folder",
                                       10,
                                       21,
                                       FtpSettings,
                                       "Sub Folder:",
                                       MakeFtp,
                                       nullptr,
                                       IsTransientReply,
                                       nullptr,
                                       {}};
    return target;
}

const TPublishTarget& FtpsTarget() {
    static const TPublishTarget target{TFtpTransport::FtpsName,
                                       "FTPS (TLS)",
                                       "an FTP server through TLS, its certificate checked",
                                       20,
                                       21,
                                       FtpSettings,
                                       "Sub Folder:",
                                       MakeFtp,
                                       nullptr,
                                       IsTransientReply,
                                       nullptr,
                                       {}};
    return target;
}
