#include "publish/PublishRun.h"

#include "model/Values.h"
#include "platform/FileSystem.h"
#include "platform/Locale.h"
#include "platform/Text.h"

#include <exception>
#include <optional>

std::string PublishSizeText(std::int64_t bytes) {
    // Whole KiB, halves rounded away from zero: 511 bytes are 0K, 512 bytes 1K.
    const std::int64_t kib = bytes >= 0 ? (bytes + 512) / 1024 : -((-bytes + 512) / 1024);
    return FormatThousands(kib) + "K";
}

namespace {

// A name as it goes into a message: each control character shown as "?".
std::string ShownName(const std::string& name) {
    std::string shown = name;
    for (char& c : shown)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            c = '?';
    return shown;
}

} // namespace

TPublishRun::TPublishRun(TDProject& project, TPublishView& view) : FProject(project), FView(view) {}

void TPublishRun::SetStatus(const std::string& text) {
    LabelPublish = text;
    FView.StatusChanged(text);
}

void TPublishRun::SetProgress(int value) {
    ProgressBar = value;
    FView.ProgressChanged(value);
}

void TPublishRun::SetButtons(bool publish, bool ok, bool cancel) {
    ButtonPublishEnabled = publish;
    ButtonOKEnabled = ok;
    ButtonCancelEnabled = cancel;
    FView.ButtonsChanged();
}

void TPublishRun::Tell(const std::string& message, TPublishControl focus) {
    FView.Message(message);
    FView.FocusControl(focus);
}

void TPublishRun::Show() {
    const TDPublish& record = FProject.PUBLISH;
    Edits.EditFTP = record.FTP_SERVER;
    Edits.EditFTPPort = IntegerToText(record.FTP_PORT);
    Edits.EditUser = record.USER_NAME;
    Edits.EditPassword = record.PASSWORD;
    Edits.CheckBoxProxy = record.USE_PROXY;
    Edits.EditProxy = record.PROXY_SERVER;
    Edits.EditProxyPort = IntegerToText(record.PROXY_PORT);
    Edits.EditFolder = record.FOLDER;

    // Ordinary files directly in the HTML folder; hidden files and sub-folders stay out.
    Rows.clear();
    for (const TFileEntry& entry : ListFolder(FProject.HTMLPath())) {
        if (!entry.IsRegular || entry.Name.empty() || entry.Name[0] == '.')
            continue;
        Rows.push_back(TPublishRow{entry.Name, PublishSizeText(entry.Size), "", true});
    }

    LastError.clear();
    SetButtons(true, true, true);
    SetStatus("");
    SetProgress(0);
}

bool TPublishRun::Store() {
    std::optional<std::int32_t> ftpPort = TryStrictInteger(Edits.EditFTPPort);
    if (!ftpPort) {
        Tell("FTP Port is wrong!", TPublishControl::EditFTPPort);
        return false;
    }
    std::optional<std::int32_t> proxyPort;
    if (Edits.CheckBoxProxy) {
        proxyPort = TryStrictInteger(Edits.EditProxyPort);
        if (!proxyPort) {
            Tell("Proxy Port is wrong!", TPublishControl::EditProxyPort);
            return false;
        }
    }

    TDPublish& record = FProject.PUBLISH;
    record.FTP_SERVER = Edits.EditFTP;
    record.FTP_PORT = *ftpPort;
    record.USER_NAME = Edits.EditUser;
    record.PASSWORD = Edits.EditPassword;
    record.USE_PROXY = Edits.CheckBoxProxy;
    record.PROXY_SERVER = Edits.CheckBoxProxy ? Edits.EditProxy : std::string();
    record.PROXY_PORT = Edits.CheckBoxProxy ? *proxyPort : 0;
    record.FOLDER = Edits.EditFolder;
    FProject.Save();
    return true;
}

TPublishOutcome TPublishRun::FailureEnding(const std::string& message, bool disconnect) {
    FView.Message(message);
    if (disconnect)
        IdFTP.Disconnect();
    SetStatus("");
    SetProgress(0);
    SetButtons(true, true, true);
    return TPublishOutcome::Failed;
}

TPublishOutcome TPublishRun::Publish() {
    LastError.clear();
    IdFTP.ResetCancel();
    if (!Store())
        return TPublishOutcome::Stopped;
    const TDPublish& record = FProject.PUBLISH;
    if (TrimBlanks(record.FTP_SERVER).empty()) {
        Tell("Need FTP server.", TPublishControl::EditFTP);
        return TPublishOutcome::Stopped;
    }
    if (TrimBlanks(record.USER_NAME).empty()) {
        Tell("Need user name.", TPublishControl::EditUser);
        return TPublishOutcome::Stopped;
    }
    // A CR, LF or NUL would end the command it is sent in and start another on the server.
    auto breaksALine = [](const std::string& text) {
        return text.find_first_of(std::string("\r\n\0", 3)) != std::string::npos;
    };
    const char* const unsendable =
        " holds a line break or a NUL character and cannot be sent to the FTP server.";
    if (breaksALine(record.USER_NAME)) {
        Tell(std::string("The user name") + unsendable, TPublishControl::EditUser);
        return TPublishOutcome::Stopped;
    }
    const std::string& password = Password ? *Password : record.PASSWORD;
    if (breaksALine(password)) {
        Tell(std::string("The password") + unsendable, TPublishControl::EditPassword);
        return TPublishOutcome::Stopped;
    }
    if (breaksALine(record.FOLDER)) {
        Tell(std::string("The folder") + unsendable, TPublishControl::EditFolder);
        return TPublishOutcome::Stopped;
    }
    for (const TPublishRow& row : Rows)
        if (row.Ticked && breaksALine(row.Name)) {
            Tell("The file name \"" + ShownName(row.Name) + "\"" + unsendable,
                 TPublishControl::ButtonOK);
            return TPublishOutcome::Stopped;
        }
    if (!FView.Confirm("Publish your website?"))
        return TPublishOutcome::Cancelled;

    SetButtons(false, false, false);
    // Only a status: the site was built before the files were listed.
    SetStatus("Building Project...");
    SetProgress(10);

    IdFTP.ProxySettings.Host = record.USE_PROXY ? record.PROXY_SERVER : std::string();
    IdFTP.ProxySettings.Port = record.USE_PROXY ? record.PROXY_PORT : 0;
    IdFTP.Host = record.FTP_SERVER;
    IdFTP.Port = record.FTP_PORT;
    IdFTP.ReadTimeout = ReadTimeout;
    IdFTP.Username = record.USER_NAME;
    IdFTP.Password = password;

    SetStatus("Connect FTP Server...");
    try {
        IdFTP.Connect();
    } catch (const std::exception& e) {
        LastError = e.what();
        return FailureEnding(IdFTP.Cancelled() ? CancelledMessage : "FTP cannot connect!", false);
    }
    SetProgress(20);

    if (!TrimBlanks(record.FOLDER).empty()) {
        SetStatus("Change Folder...");
        try {
            IdFTP.ChangeFolder(record.FOLDER);
        } catch (const std::exception& e) {
            LastError = e.what();
            return FailureEnding(IdFTP.Cancelled() ? CancelledMessage : "FTP upload timeout!",
                                 true);
        }
    }

    auto pending = [](const TPublishRow& row) { return row.Ticked && row.Status.empty(); };
    int total = 0;
    for (const TPublishRow& row : Rows)
        if (pending(row))
            ++total;
    int uploaded = 0;
    for (std::size_t i = 0; i < Rows.size(); ++i) {
        TPublishRow& row = Rows[i];
        if (!pending(row))
            continue;
        SetStatus("Upload " + row.Name + " (" + row.Size + ") ...");
        try {
            IdFTP.Upload(FProject.HTMLPath() + row.Name, row.Name);
        } catch (const std::exception& e) {
            LastError = e.what();
            // The server was sent a reset for the file in transfer, never its end.
            return FailureEnding(IdFTP.Cancelled() ? std::string(CancelledMessage) + " " +
                                                         ShownName(row.Name) + " was not uploaded."
                                                   : "FTP upload timeout!",
                                 true);
        }
        row.Status = SuccessStatus;
        FView.RowChanged(static_cast<int>(i));
        ++uploaded;
        SetProgress(20 + (70 * uploaded) / total);
    }

    SetStatus("Disconnect FTP Server...");
    IdFTP.Disconnect();
    SetStatus("Finish!");
    SetProgress(100);
    SetButtons(false, true, true);
    FView.FocusControl(TPublishControl::ButtonOK);
    return TPublishOutcome::Finished;
}
