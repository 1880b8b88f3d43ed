#include "publish/PublishRun.h"

#include "model/Values.h"
#include "platform/FileSystem.h"
#include "platform/Locale.h"
#include "platform/Text.h"
#include "publish/PublishPassword.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <exception>
#include <map>
#include <optional>
#include <set>
#include <sys/random.h>

std::string PublishSizeText(std::int64_t bytes) {
    // Whole KiB, halves rounded away from zero: 511 bytes are 0K, 512 bytes 1K.
    const std::int64_t kib = bytes >= 0 ? (bytes + 512) / 1024 : -((-bytes + 512) / 1024);
    return FormatThousands(kib) + "K";
}

namespace {

// The message of a failure followed by its reason in plain words.
std::string WithReason(const std::string& message, const std::exception& e) {
    std::string text = message;
    if (const auto* failure = dynamic_cast<const TTransportError*>(&e);
        failure && !failure->Reason().empty()) {
        text.push_back('\n');
        text.append(failure->Reason());
    }
    return text;
}

// Where a record publishes to, as TDPublish::LAST_PUBLISHED names it.
std::string PlaceOf(const TDPublish& record) {
    return record.PROTOCOL + "://" + record.USER_NAME + "@" + TrimBlanks(record.FTP_SERVER) + ":" +
           std::to_string(record.FTP_PORT) + "/" + TrimBlanks(record.FOLDER);
}

// LAST_PUBLISHED's lines, each a time and a place.
std::vector<std::string> LinesOf(const std::string& list) {
    std::vector<std::string> lines;
    std::size_t at = 0;
    while (at < list.size()) {
        std::size_t end = list.find('\n', at);
        if (end == std::string::npos)
            end = list.size();
        lines.push_back(list.substr(at, end - at));
        at = end + 1;
    }
    return lines;
}

// The time this copy last wrote the manifest at place, from LAST_PUBLISHED's lines.
std::optional<std::int64_t> LastPublishedAt(const std::string& list, const std::string& place) {
    for (const std::string& line : LinesOf(list)) {
        const std::size_t blank = line.find(' ');
        std::int64_t seconds = 0;
        if (blank != std::string::npos && line.substr(blank + 1) == place &&
            TManifest::ParseTime(line.substr(0, blank), seconds))
            return seconds;
    }
    return std::nullopt;
}

// LAST_PUBLISHED with place's time set to seconds: its line first, the places of the last
// few others after it.
std::string WithLastPublished(const std::string& list, const std::string& place,
                              std::int64_t seconds) {
    constexpr int MaxPlaces = 16;
    std::string result = TManifest::TimeText(seconds) + " " + place;
    int places = 1;
    for (const std::string& line : LinesOf(list)) {
        const std::size_t blank = line.find(' ');
        if (places == MaxPlaces)
            break;
        if (blank == std::string::npos || line.substr(blank + 1) == place)
            continue;
        result.append("\n").append(line);
        ++places;
    }
    return result;
}

// A project id as TDPublish::PROJECT_ID keeps it: 16 to 64 lower-case hexadecimal digits.
bool IsProjectId(const std::string& id) {
    return id.size() >= 16 && id.size() <= 64 &&
           id.find_first_not_of("0123456789abcdef") == std::string::npos;
}

// 16 hexadecimal digits from the system's random source.
std::string NewProjectId() {
    unsigned char bytes[8];
    std::size_t got = 0;
    while (got < sizeof bytes) {
        const ssize_t n = ::getrandom(bytes + got, sizeof bytes - got, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw TError(std::string("No random numbers for the project's id: ") +
                         std::strerror(errno));
        got += static_cast<std::size_t>(n);
    }
    static const char digits[] = "0123456789abcdef";
    std::string id;
    for (unsigned char byte : bytes) {
        id.push_back(digits[byte >> 4]);
        id.push_back(digits[byte & 15]);
    }
    return id;
}

} // namespace

TTransportSettings
TransportSettingsOf(const TDPublish& record, std::int32_t readTimeout,
                    const std::function<const TPublishTarget*(const std::string&)>& targetOf) {
    const TPublishTarget* target = targetOf(record.PROTOCOL);
    if (!target)
        throw TError("The protocol \"" + ControlCharactersShown(record.PROTOCOL) +
                     "\" is not one of " + PublishTargetNames(" and ") + ".");
    TTransportSettings settings;
    settings.Protocol = target->Name;
    settings.Host = record.FTP_SERVER;
    settings.Port = record.FTP_PORT == 0 ? target->DefaultPort : record.FTP_PORT;
    settings.User = record.USER_NAME;
    settings.Password = record.PASSWORD;
    settings.Passive = record.PASSIVE;
    settings.Trusted = record.TRUSTED;
    settings.ReadTimeout = readTimeout;
    settings.ProxyHost = record.USE_PROXY ? record.PROXY_SERVER : std::string();
    settings.ProxyPort = record.USE_PROXY ? record.PROXY_PORT : 0;
    return settings;
}

std::string TrustQuestion(const TTransportError& error) {
    std::string question = error.Reason();
    question.append("\n\nTrust exactly this certificate or host key for this project?\n"
                    "SHA-256 fingerprint: ");
    question.append(error.Fingerprint());
    return question;
}

TPublishRun::TPublishRun(TDProject& project, TPublishView& view) : FProject(project), FView(view) {}

void TPublishRun::SetStatus(const std::string& text) {
    FStep = text;
    StatusLine = text;
    if (!text.empty() && !FNotice.empty()) {
        StatusLine.append(" (");
        StatusLine.append(FNotice);
        StatusLine.push_back(')');
    }
    FView.StatusChanged(StatusLine);
}

void TPublishRun::Cancel() noexcept {
    FCancelled = true;
    if (TSyncRun* sync = FActiveSync.load())
        sync->Cancel();
    if (TTransport* transport = FActive.load())
        transport->Cancel();
    if (TConnectionTest* test = FActiveTest.load())
        test->Cancel();
    if (TSitePublisher* publisher = FActivePublisher.load())
        publisher->Cancel();
}

bool TPublishRun::TestConnection() {
    FCancelled = false;
    LastReport = TConnectionReport();
    std::optional<std::int32_t> ftpPort = TryStrictInteger(Typed.Port);
    if (!ftpPort) {
        Tell("FTP Port is wrong!", TPublishField::Port);
        return false;
    }
    TDPublish typed = FProject.PUBLISH;
    typed.FTP_SERVER = Typed.Server;
    typed.FTP_PORT = *ftpPort;
    typed.USER_NAME = Typed.User;
    typed.PASSWORD = Typed.Password;
    typed.USE_PROXY = false;
    typed.FOLDER = Typed.Folder;
    typed.PROTOCOL = Typed.Protocol;
    typed.PASSIVE = Typed.Passive;
    typed.TRUSTED = Typed.Trusted;
    typed.REPOSITORY = Typed.Repository;
    typed.BRANCH = Typed.Branch;
    typed.AUTHOR_NAME = Typed.AuthorName;
    typed.AUTHOR_EMAIL = Typed.AuthorEmail;
    const TPublishTarget* target = TargetOf(typed.PROTOCOL);
    const bool usesHost = !target || target->UsesSetting(TTargetSetting::Host);
    const bool usesRepository = target && target->UsesSetting(TTargetSetting::Repository);
    if (usesHost && TrimBlanks(typed.FTP_SERVER).empty()) {
        Tell("Need FTP server.", TPublishField::Server);
        return false;
    }
    if (usesRepository && TrimBlanks(typed.REPOSITORY).empty()) {
        Tell(NeedRepositoryMessage, TPublishField::Repository);
        return false;
    }
    if (!usesHost && !usesRepository && TrimBlanks(typed.FOLDER).empty()) {
        Tell(NeedFolderMessage, TPublishField::Folder);
        return false;
    }
    TTransportSettings settings;
    try {
        settings = TransportSettingsOf(typed, ReadTimeout, TargetOf);
    } catch (const TError& e) {
        Tell(e.Message(), TPublishField::Protocol);
        return false;
    }
    settings.CaFile = CaFile;
    settings.KnownHostsFile = KnownHostsFile;
    settings.IdentityFile = IdentityFile;

    const bool publish = CanPublish, ok = CanClose, cancel = CanCancel;
    SetButtons(false, false, true);
    SetStatus("Test Connection...");
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (target && target->MakePublisher) {
            typed.TRUSTED = settings.Trusted;
            LastReport = TestPublisher(*target, typed, settings);
        } else {
            TConnectionTest test(settings, typed.FOLDER);
            test.TransportMaker = TransportMaker;
            test.OnLog = [this](const std::string& line) {
                if (OnLog)
                    OnLog(line);
            };
            FActiveTest = &test;
            if (FCancelled)
                test.Cancel();
            LastReport = test.Run();
            FActiveTest = nullptr;
        }
        if (attempt > 0 || LastReport.Failure != TTransportFailure::NotTrusted ||
            LastReport.Fingerprint.empty() || FCancelled)
            break;
        const TTransportError offered(LastReport.Detail, LastReport.Failure, LastReport.Reason,
                                      LastReport.Fingerprint);
        if (!FView.Trust(TrustQuestion(offered), LastReport.Fingerprint))
            break;
        Typed.Trusted = LastReport.Fingerprint;
        settings.Trusted = LastReport.Fingerprint;
    }
    SetStatus("");
    std::string text;
    for (const std::string& line : LastReport.Lines) {
        if (!text.empty())
            text.push_back('\n');
        text.append(line);
    }
    if (LastReport.Works)
        text.append("\nEverything works.");
    FView.Message(text);
    SetButtons(publish, ok, cancel);
    return true;
}

bool TPublishRun::Cancelled(const std::exception& e) const {
    const auto* failure = dynamic_cast<const TTransportError*>(&e);
    return FCancelled || (failure && failure->Kind() == TTransportFailure::Cancelled);
}

TTransport& TPublishRun::NewTransport() {
    FTransports.push_back(TransportMaker(Settings));
    TTransport& transport = *FTransports.back();
    transport.OnLog = [this](const std::string& line) {
        if (OnLog)
            OnLog(line);
    };
    transport.OnStatus = [this](const std::string& notice) {
        FNotice = notice;
        SetStatus(FStep);
    };
    FActive = &transport;
    // A Cancel that came while there was no transport yet.
    if (FCancelled)
        transport.Cancel();
    return transport;
}

void TPublishRun::ConnectTrusting(TTransport*& transport) {
    transport = &NewTransport();
    try {
        transport->Connect();
        return;
    } catch (const TTransportError& e) {
        if (e.Kind() != TTransportFailure::NotTrusted || e.Fingerprint().empty() || FCancelled ||
            !FView.Trust(TrustQuestion(e), e.Fingerprint()))
            throw;
        // Exactly this certificate, from now on, for this project.
        Typed.Trusted = e.Fingerprint();
        FProject.PUBLISH.TRUSTED = e.Fingerprint();
        FProject.Save();
        Settings.Trusted = e.Fingerprint();
    }
    transport = &NewTransport();
    transport->Connect();
}

void TPublishRun::SetProgress(int value) {
    Progress = value;
    FView.ProgressChanged(value);
}

void TPublishRun::SetButtons(bool publish, bool ok, bool cancel) {
    CanPublish = publish;
    CanClose = ok;
    CanCancel = cancel;
    FView.ButtonsChanged();
}

void TPublishRun::Tell(const std::string& message, TPublishField focus) {
    FView.Message(message);
    FView.FocusControl(focus);
}

TKeyringKey KeyringKeyOf(const TDPublish& record) {
    if (const TPublishTarget* target = FindPublishTarget(record.PROTOCOL);
        target && target->KeyringKey)
        return target->KeyringKey(record);
    return {record.PROTOCOL, record.FTP_SERVER, record.FTP_PORT, record.USER_NAME};
}

void TPublishRun::Show() {
    const TDPublish& record = FProject.PUBLISH;
    Typed.Server = record.FTP_SERVER;
    Typed.Port = IntegerToText(record.FTP_PORT);
    Typed.User = record.USER_NAME;
    Typed.Password = record.PASSWORD;
    KeyringNote.clear();
    FKeyringKnown = false;
    if (Keyring) {
        const TKeyringAnswer found = Keyring->Find(KeyringKeyOf(record));
        FKeyringKnown =
            found.Status == TKeyringStatus::Done || found.Status == TKeyringStatus::NotFound;
        if (found.Status == TKeyringStatus::Done)
            Typed.Password = found.Password;
        else if (found.Status != TKeyringStatus::NotFound && !record.PASSWORD.empty())
            KeyringNote = "The password is kept in the project: " + found.Reason + ".";
    }
    Typed.UseProxy = record.USE_PROXY;
    Typed.ProxyServer = record.PROXY_SERVER;
    Typed.ProxyPort = IntegerToText(record.PROXY_PORT);
    Typed.Folder = record.FOLDER;
    Typed.Protocol = record.PROTOCOL;
    Typed.Passive = record.PASSIVE;
    Typed.Sync = record.SYNC;
    Typed.Jobs = record.JOBS;
    Typed.Trusted = record.TRUSTED;
    Typed.Repository = record.REPOSITORY;
    Typed.Branch = record.BRANCH;
    Typed.AuthorName = record.AUTHOR_NAME;
    Typed.AuthorEmail = record.AUTHOR_EMAIL;
    // A new showing compares anew.
    if (FSync)
        FOldSyncs.push_back(std::move(FSync));
    FCompared = false;
    PlanSummary.clear();
    Failures = 0;
    LastTotals = TSyncTotals();

    ListRows({});

    LastError.clear();
    SetButtons(true, true, true);
    SetStatus("");
    SetProgress(0);
}

void TPublishRun::ListRows(const std::vector<std::string>& unticked) {
    // Ordinary files directly in the HTML folder; hidden files and sub-folders stay out.
    Rows.clear();
    for (const TFileEntry& entry : ListFolder(FProject.HTMLPath())) {
        if (!entry.IsRegular || entry.Name.empty() || entry.Name[0] == '.')
            continue;
        const bool ticked =
            std::find(unticked.begin(), unticked.end(), entry.Name) == unticked.end();
        Rows.push_back(TPublishRow{entry.Name, PublishSizeText(entry.Size), "", ticked, ""});
    }
}

void TPublishRun::ForgetComparison() {
    std::vector<std::string> unticked;
    for (const TPublishRow& row : Rows)
        // Unchanged rows were unticked by the comparison, not by the owner.
        if (!row.Ticked && row.Kind != SyncKindText(TSyncKind::Delete) &&
            row.Kind != SyncKindText(TSyncKind::Unchanged))
            unticked.push_back(row.Name);
    if (FSync)
        FOldSyncs.push_back(std::move(FSync));
    FCompared = false;
    PlanSummary.clear();
    Failures = 0;
    ListRows(unticked);
    FView.RowsChanged();
}

bool TPublishRun::Store() {
    std::optional<std::int32_t> ftpPort = TryStrictInteger(Typed.Port);
    if (!ftpPort) {
        Tell("FTP Port is wrong!", TPublishField::Port);
        return false;
    }
    std::optional<std::int32_t> proxyPort;
    if (Typed.UseProxy) {
        proxyPort = TryStrictInteger(Typed.ProxyPort);
        if (!proxyPort) {
            Tell("Proxy Port is wrong!", TPublishField::ProxyPort);
            return false;
        }
    }

    // The typed settings go into a copy, which replaces the record only together with a
    // successful save: a save that fails leaves the record as it was, so that no later OK of
    // another dialog writes what this one could not.
    TDPublish record = FProject.PUBLISH;
    record.FTP_SERVER = Typed.Server;
    record.FTP_PORT = *ftpPort;
    record.USER_NAME = Typed.User;
    record.PASSWORD = Typed.Password;
    record.USE_PROXY = Typed.UseProxy;
    record.PROTOCOL = Typed.Protocol;
    record.REPOSITORY = Typed.Repository;
    record.BRANCH = Typed.Branch;
    record.AUTHOR_NAME = Typed.AuthorName;
    record.AUTHOR_EMAIL = Typed.AuthorEmail;
    const TPublishTarget* target = TargetOf(record.PROTOCOL);
    if (target && !target->UsesSetting(TTargetSetting::Password)) {
        // A target without a password (a folder on this machine) leaves the stored one and
        // the keyring as they are: the field it hides may hold the keyring's password.
        record.PASSWORD = FProject.PUBLISH.PASSWORD;
    } else if (Keyring && Typed.Password.empty() && !FKeyringKnown) {
        // The keyring could not be read when the dialog was shown, so the field is empty for
        // want of it, not because the owner emptied it: the password kept there stays.
        KeyringNote.clear();
        Password.reset();
    } else if (Keyring) {
        // Into the keyring, out of Default.Pro; the run sends what was typed.
        const TPasswordKept kept =
            KeepPublishPassword(KeyringKeyOf(record), Typed.Password, record.PASSWORD, *Keyring);
        KeyringNote = kept.Note;
        if (kept.InKeyring)
            Password = Typed.Password;
        else
            Password.reset();
        FKeyringKnown = FKeyringKnown || kept.InKeyring;
    }
    record.PROXY_SERVER = Typed.UseProxy ? Typed.ProxyServer : std::string();
    record.PROXY_PORT = Typed.UseProxy ? *proxyPort : 0;
    record.FOLDER = Typed.Folder;
    record.PASSIVE = Typed.Passive;
    record.SYNC = Typed.Sync;
    record.JOBS = std::clamp(Typed.Jobs, TDPublish::MinJobs, TDPublish::MaxJobs);
    record.TRUSTED = Typed.Trusted;
    TDPublish before = std::exchange(FProject.PUBLISH, std::move(record));
    try {
        FProject.Save();
    } catch (...) {
        FProject.PUBLISH = std::move(before);
        throw;
    }
    return true;
}

TPublishOutcome TPublishRun::FailureEnding(const std::string& message, bool disconnect) {
    FView.Message(message);
    if (disconnect && !FTransports.empty())
        FTransports.back()->Disconnect();
    SetStatus("");
    SetProgress(0);
    SetButtons(true, true, true);
    return TPublishOutcome::Failed;
}

bool TPublishRun::CheckedSettings(std::string& password) {
    LastError.clear();
    FNotice.clear();
    FCancelled = false;
    if (!Store())
        return false;
    const TDPublish& record = FProject.PUBLISH;
    // An unknown protocol is named below, after the checks every server needs.
    const TPublishTarget* target = TargetOf(record.PROTOCOL);
    const auto uses = [target](TTargetSetting setting) {
        return !target || target->UsesSetting(setting);
    };
    if (uses(TTargetSetting::Host) && TrimBlanks(record.FTP_SERVER).empty()) {
        Tell("Need FTP server.", TPublishField::Server);
        return false;
    }
    const bool usesRepository = target && target->UsesSetting(TTargetSetting::Repository);
    if (usesRepository && TrimBlanks(record.REPOSITORY).empty()) {
        Tell(NeedRepositoryMessage, TPublishField::Repository);
        return false;
    }
    if (uses(TTargetSetting::User) && !usesRepository && TrimBlanks(record.USER_NAME).empty()) {
        Tell("Need user name.", TPublishField::User);
        return false;
    }
    if (!uses(TTargetSetting::Host) && !usesRepository && TrimBlanks(record.FOLDER).empty()) {
        Tell(NeedFolderMessage, TPublishField::Folder);
        return false;
    }
    // A CR, LF or NUL would end the command it is sent in and start another on the server.
    auto breaksALine = [](const std::string& text) {
        return text.find_first_of(std::string("\r\n\0", 3)) != std::string::npos;
    };
    try {
        Settings = TransportSettingsOf(record, ReadTimeout, TargetOf);
    } catch (const TError& e) {
        Tell(e.Message(), TPublishField::Protocol);
        return false;
    }
    Settings.CaFile = CaFile;
    Settings.KnownHostsFile = KnownHostsFile;
    Settings.IdentityFile = IdentityFile;
    const char* const unsendable =
        " holds a line break or a NUL character and cannot be sent to the FTP server.";
    if (breaksALine(record.USER_NAME)) {
        Tell(std::string("The user name") + unsendable, TPublishField::User);
        return false;
    }
    password = Password ? *Password : record.PASSWORD;
    if (breaksALine(password)) {
        Tell(std::string("The password") + unsendable, TPublishField::Password);
        return false;
    }
    if (breaksALine(record.FOLDER)) {
        Tell(std::string("The folder") + unsendable, TPublishField::Folder);
        return false;
    }
    for (const TPublishRow& row : Rows)
        if (row.Ticked && breaksALine(row.Name)) {
            Tell("The file name \"" + ControlCharactersShown(row.Name) + "\"" + unsendable,
                 TPublishField::Done);
            return false;
        }
    return true;
}

TPublishOutcome TPublishRun::Publish() {
    std::string password;
    if (!CheckedSettings(password))
        return TPublishOutcome::Stopped;
    const TDPublish& record = FProject.PUBLISH;
    Settings.Password = password;
    if (const TPublishTarget* target = TargetOf(record.PROTOCOL); target && target->MakePublisher)
        return PublishWhole(*target);
    if (record.SYNC)
        return PublishSynchronising();
    if (!FView.Confirm("Publish your website?"))
        return TPublishOutcome::Cancelled;

    SetButtons(false, false, false);
    // Only a status: the site was built before the files were listed.
    SetStatus("Building Project...");
    SetProgress(10);

    TTransport* transport = nullptr;
    SetStatus("Connect FTP Server...");
    try {
        ConnectTrusting(transport);
    } catch (const std::exception& e) {
        LastError = e.what();
        return FailureEnding(Cancelled(e) ? std::string(CancelledMessage)
                                          : WithReason("FTP cannot connect!", e),
                             false);
    }
    SetProgress(20);

    if (!TrimBlanks(record.FOLDER).empty()) {
        SetStatus("Change Folder...");
        try {
            transport->ChangeFolder(record.FOLDER);
        } catch (const std::exception& e) {
            LastError = e.what();
            return FailureEnding(
                Cancelled(e) ? std::string(CancelledMessage) : WithReason(Words().Failed, e), true);
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
            transport->Upload(FProject.HTMLPath() + row.Name, row.Name);
        } catch (const std::exception& e) {
            LastError = e.what();
            // The server was sent a reset for the file in transfer, never its end.
            return FailureEnding(Cancelled(e)
                                     ? std::string(CancelledMessage) + " " +
                                           ControlCharactersShown(row.Name) + " was not uploaded."
                                     : WithReason(Words().Failed, e),
                                 true);
        }
        row.Status = SuccessStatus;
        FView.RowChanged(static_cast<int>(i));
        ++uploaded;
        SetProgress(20 + (70 * uploaded) / total);
    }

    SetStatus(Words().Closing);
    transport->Disconnect();
    SetStatus("Finish!");
    SetProgress(100);
    SetButtons(false, true, true);
    FView.FocusControl(TPublishField::Done);
    return TPublishOutcome::Finished;
}

TConnectionReport TPublishRun::TestPublisher(const TPublishTarget& target, const TDPublish& record,
                                             const TTransportSettings& settings) {
    TConnectionReport report;
    try {
        FPublishers.push_back(target.MakePublisher(record, settings));
        TSitePublisher& publisher = *FPublishers.back();
        publisher.OnLog = OnLog;
        FActivePublisher = &publisher;
        if (FCancelled)
            publisher.Cancel();
        report = publisher.Test();
    } catch (const std::exception& e) {
        report.Lines.push_back(std::string(target.Name) + ": fails. " + e.what());
        report.Reason = e.what();
        report.Detail = e.what();
    }
    FActivePublisher = nullptr;
    return report;
}

const TTargetWords& TPublishRun::Words() const {
    static const TTargetWords ftp;
    const TPublishTarget* target = TargetOf(FProject.PUBLISH.PROTOCOL);
    return target ? target->Words : ftp;
}

bool TPublishRun::ShowChanges(TSitePublisher& publisher) {
    const std::optional<TSiteChanges> changes = publisher.Compare(FProject.HTMLPath());
    if (!changes)
        return false;
    // The ticks the owner set on an earlier comparison in this showing stay where the file
    // is still the same kind of change; a file unticked before any comparison stays so.
    std::map<std::pair<std::string, std::string>, bool> ticks;
    std::set<std::string> unticked;
    for (const TPublishRow& row : Rows) {
        if (!row.Kind.empty())
            ticks[{row.Name, row.Kind}] = row.Ticked;
        else if (!row.Ticked)
            unticked.insert(row.Name);
    }
    const auto tick = [&](const TPublishRow& row, bool fresh) {
        const auto found = ticks.find({row.Name, row.Kind});
        return found != ticks.end() ? found->second : fresh;
    };
    // Those of an earlier comparison in this showing go.
    std::erase_if(Rows, [](const TPublishRow& row) { return row.Kind == "Delete"; });
    for (TPublishRow& row : Rows) {
        row.Kind = "Unchanged";
        for (const TSiteChange& change : changes->Changes)
            if (change.Name == row.Name && change.Kind != "Removed")
                row.Kind = change.Kind;
        // A file kept as the owner changed it is shown, not sent.
        row.Ticked = tick(row, row.Kind != "Unchanged" && row.Kind != "Kept" &&
                                   unticked.count(row.Name) == 0);
    }
    for (const TSiteChange& change : changes->Changes)
        if (change.Kind == "Removed") {
            Rows.push_back({change.Name, PublishSizeText(change.Size), "", true, "Delete"});
            Rows.back().Ticked = tick(Rows.back(), true);
        }
    // The note is whole sentences; the summary follows it as one more.
    PlanSummary = changes->Note;
    if (!PlanSummary.empty())
        PlanSummary.append(PlanSummary.back() == '.' ? " " : "; ");
    PlanSummary.append(changes->Summary);
    FView.RowsChanged();
    SetStatus(PlanSummary);
    return true;
}

TPublishOutcome TPublishRun::PublishWhole(const TPublishTarget& target) {
    SetButtons(false, false, false);
    TPublisherTotals totals;
    bool confirmed = false;
    try {
        // The copy that publishes is named in what the publisher writes: an old project gets
        // its id now.
        if (!IsProjectId(FProject.PUBLISH.PROJECT_ID)) {
            FProject.PUBLISH.PROJECT_ID = NewProjectId();
            FProject.Save();
        }
        FPublishers.push_back(target.MakePublisher(FProject.PUBLISH, Settings));
        TSitePublisher& publisher = *FPublishers.back();
        publisher.OnLog = OnLog;
        FActivePublisher = &publisher;
        if (FCancelled)
            publisher.Cancel();
        // What the publish will change, in the list, before the question.
        SetStatus("Comparing...");
        const bool listed = ShowChanges(publisher);
        confirmed = FView.Confirm("Publish your website?");
        if (confirmed) {
            // The ticks say what goes: an unticked file keeps what the place has.
            if (listed) {
                publisher.Selected.emplace();
                for (const TPublishRow& row : Rows)
                    if (row.Ticked)
                        publisher.Selected->insert(row.Name);
            }
            SetProgress(10);
            totals = publisher.Publish(
                FProject.HTMLPath(), [this](const std::string& text) { SetStatus(text); },
                [this](int value) { SetProgress(value); });
        }
    } catch (const TTransportError& e) {
        totals.Succeeded = false;
        totals.Cancelled = e.Kind() == TTransportFailure::Cancelled;
        totals.Error = e.Reason();
        totals.Detail = e.what();
        confirmed = true;
    } catch (const std::exception& e) {
        totals.Succeeded = false;
        totals.Error = e.what();
        confirmed = true;
    }
    if (!confirmed) {
        FActivePublisher = nullptr;
        SetStatus(PlanSummary);
        SetButtons(true, true, true);
        return TPublishOutcome::Cancelled;
    }
    FActivePublisher = nullptr;
    // The publisher's own account, as a transport's is; its plain words are the message.
    const std::string account = totals.Detail.empty() ? totals.Error : totals.Detail;
    if (totals.Cancelled || FCancelled) {
        LastError = account;
        return FailureEnding(CancelledMessage, false);
    }
    if (!totals.Succeeded) {
        LastError = account;
        return FailureEnding("Publishing failed.\n" + totals.Error, false);
    }
    // A kept file was not written, ticked or not.
    for (std::size_t i = 0; i < Rows.size(); ++i)
        if (Rows[i].Ticked && Rows[i].Kind != "Kept") {
            Rows[i].Status = Rows[i].Kind == "Delete" ? DeletedStatus : SuccessStatus;
            FView.RowChanged(static_cast<int>(i));
        }
    LastTotals.Uploaded = totals.Uploaded;
    LastTotals.Deleted = totals.Deleted;
    PublisherSummary = totals.Summary;
    SetStatus("Finish!");
    SetProgress(100);
    SetButtons(false, true, true);
    FView.FocusControl(TPublishField::Done);
    return TPublishOutcome::Finished;
}

bool TPublishRun::CompareChecked() {
    if (FSync)
        FOldSyncs.push_back(std::move(FSync));
    FCompared = false;
    const TDPublish& record = FProject.PUBLISH;
    SetButtons(false, false, false);
    SetProgress(10);
    bool connected = false;
    for (int attempt = 0; attempt < 2; ++attempt) {
        FSync = std::make_unique<TSyncRun>(Settings, record.FOLDER, FProject.HTMLPath(),
                                           TransportMaker);
        TSyncRun& sync = *FSync;
        sync.Jobs = std::clamp(Jobs.value_or(record.JOBS), TDPublish::MinJobs, TDPublish::MaxJobs);
        sync.RetryPauseMs = RetryPauseMs;
        sync.OnLog = [this](const std::string& line) {
            if (OnLog)
                OnLog(line);
        };
        sync.OnNotice = [this](const std::string& notice) {
            FNotice = notice;
            SetStatus(FStep);
        };
        sync.OnStatus = [this, &connected](const std::string& text) {
            if (text != "Connect FTP Server...") {
                if (!connected)
                    SetProgress(20);
                connected = true;
            }
            SetStatus(text);
        };
        FActiveSync = &sync;
        if (FCancelled)
            sync.Cancel();
        try {
            sync.Prepare();
            sync.OnStatus = [this](const std::string& text) { SetStatus(text); };
            break;
        } catch (const std::exception& e) {
            const auto* failure = dynamic_cast<const TTransportError*>(&e);
            if (attempt == 0 && failure && failure->Kind() == TTransportFailure::NotTrusted &&
                !failure->Fingerprint().empty() && !FCancelled &&
                FView.Trust(TrustQuestion(*failure), failure->Fingerprint())) {
                // Exactly this certificate, from now on, for this project.
                Typed.Trusted = failure->Fingerprint();
                FProject.PUBLISH.TRUSTED = failure->Fingerprint();
                FProject.Save();
                Settings.Trusted = failure->Fingerprint();
                FOldSyncs.push_back(std::move(FSync));
                continue;
            }
            LastError = e.what();
            FOldSyncs.push_back(std::move(FSync));
            FailureEnding(Cancelled(e) ? std::string(CancelledMessage)
                          : !connected ? WithReason("FTP cannot connect!", e)
                                       : WithReason(Words().Failed, e),
                          false);
            return false;
        }
    }

    // The rows anew, in the plan's order; a row the owner unticked stays unticked.
    std::vector<std::string> unticked;
    for (const TPublishRow& row : Rows)
        if (!row.Ticked)
            unticked.push_back(row.Name);
    Rows.clear();
    for (TSyncItem& item : FSync->Plan.Items) {
        if (SendAll && item.Kind != TSyncKind::Delete)
            item.Ticked = true;
        if (item.Kind != TSyncKind::Delete &&
            std::find(unticked.begin(), unticked.end(), item.Name) != unticked.end())
            item.Ticked = false;
        Rows.push_back(TPublishRow{item.Name, PublishSizeText(item.Size), "", item.Ticked,
                                   SyncKindText(item.Kind)});
    }
    PlanSummary = FSync->Plan.Summary();
    // Published from another copy of the project, or by this one's id at a time it did not
    // write: a site this copy does not know.
    OtherCopyNote.clear();
    if (!FSync->RemotePublisherId.empty()) {
        const std::optional<std::int64_t> last =
            LastPublishedAt(record.LAST_PUBLISHED, PlaceOf(record));
        if (FSync->RemotePublisherId != record.PROJECT_ID || last != FSync->RemotePublishedAt)
            OtherCopyNote = "The site on the server was published from another copy of this "
                            "project on " +
                            FormatDateTime(FSync->RemotePublishedAt) + ".";
    }
    FCompared = true;
    FView.RowsChanged();
    return true;
}

TPublishOutcome TPublishRun::Compare() {
    std::string password;
    if (!CheckedSettings(password))
        return TPublishOutcome::Stopped;
    Settings.Password = password;
    if (!CompareChecked())
        return TPublishOutcome::Failed;
    SetStatus(ComparisonStatus());
    SetProgress(0);
    SetButtons(true, true, true);
    return TPublishOutcome::Finished;
}

std::string TPublishRun::ComparisonStatus() const {
    // What the comparison found, and why it found no manifest to go by when it could not
    // read the one on the server, or whose site it found there.
    std::string status;
    for (const std::string* note :
         std::initializer_list<const std::string*>{&FSync->ManifestNote, &OtherCopyNote})
        if (!note->empty())
            status.append(*note).append("; ");
    return status + PlanSummary;
}

void TPublishRun::TickPlanFromRows() {
    std::vector<TSyncItem>& items = FSync->Plan.Items;
    for (std::size_t i = 0; i < items.size() && i < Rows.size(); ++i) {
        const TPublishRow& row = Rows[i];
        // Done in this showing: not again.
        items[i].Ticked = row.Ticked && row.Status != SuccessStatus &&
                          row.Status != DeletedStatus && row.Status != UncheckedStatus;
    }
    PlanSummary = FSync->Plan.Summary();
}

bool TPublishRun::RetryFailed() {
    bool any = false;
    for (std::size_t i = 0; i < Rows.size(); ++i) {
        TPublishRow& row = Rows[i];
        const bool failed = row.Status == FailedStatus;
        any = any || failed;
        if (row.Ticked != failed) {
            row.Ticked = failed;
            FView.RowChanged(static_cast<int>(i));
        }
    }
    if (Compared())
        TickPlanFromRows();
    return any;
}

TPublishOutcome TPublishRun::PublishSynchronising() {
    const bool fresh = !Compared();
    // The Cancel of the last run is forgotten here, with this run's own (CheckedSettings):
    // one that comes from now on ends this run, wherever it finds it.
    if (!fresh)
        FSync->ResetCancel();
    if (FCancelled)
        FSync->Cancel();
    if (fresh && !CompareChecked())
        return TPublishOutcome::Failed;
    TSyncRun& sync = *FSync;
    TickPlanFromRows();
    FView.RowsChanged();
    SetStatus(ComparisonStatus());
    if ((!OtherCopyNote.empty() &&
         !FView.Confirm(OtherCopyNote + " " + std::string(OtherCopyQuestion))) ||
        !FView.Confirm("Publish your website?\n" + PlanSummary)) {
        if (fresh) {
            SetProgress(0);
            SetButtons(true, true, true);
        }
        return TPublishOutcome::Cancelled;
    }
    bool deletesConfirmed = true;
    if (const std::string question = sync.Plan.DeleteQuestion(); !question.empty())
        deletesConfirmed = FView.Confirm(question);

    SetButtons(false, false, false);
    SetProgress(20);
    int progress = 20;
    sync.OnStatus = [this](const std::string& text) {
        // The files' own steps are shown with their sizes below.
        if (text.rfind("Upload ", 0) != 0 && text.rfind("Delete ", 0) != 0)
            SetStatus(text);
    };
    sync.OnItem = [this, &sync](std::size_t index) {
        if (index >= Rows.size())
            return;
        TPublishRow& row = Rows[index];
        const TSyncItem& item = sync.Plan.Items[index];
        const TSyncItemStatus& status = sync.Status[index];
        const bool deletion = item.Kind == TSyncKind::Delete;
        switch (status.State) {
        case TSyncState::Sending:
            SetStatus(deletion ? "Delete " + row.Name + " ..."
                               : "Upload " + row.Name + " (" + row.Size + ") ...");
            return;
        case TSyncState::Done:
            row.Status = deletion ? DeletedStatus : SuccessStatus;
            break;
        case TSyncState::Unchecked:
            row.Status = UncheckedStatus;
            break;
        case TSyncState::Failed:
            row.Status = FailedStatus;
            if (LastError.empty())
                LastError = row.Name + ": " + status.Error;
            break;
        case TSyncState::Skipped:
        case TSyncState::Waiting:
            return;
        }
        FView.RowChanged(static_cast<int>(index));
    };
    sync.OnProgress = [this, &progress](std::int64_t done, std::int64_t total) {
        if (total <= 0)
            return;
        const int value = 20 + static_cast<int>((70 * done) / total);
        if (value != progress) {
            progress = value;
            SetProgress(value);
        }
    };
    sync.OnBreakLock = [this](const std::string& question) {
        return BreakLock ? *BreakLock : FView.Confirm(question);
    };
    // The copy that publishes is named in the manifest: an old project gets its id now.
    TDPublish& record = FProject.PUBLISH;
    if (!IsProjectId(record.PROJECT_ID)) {
        record.PROJECT_ID = NewProjectId();
        FProject.Save();
    }
    sync.ProjectId = record.PROJECT_ID;
    sync.Clock = Clock;
    FActiveSync = &sync;
    // A Cancel while the questions were open.
    if (FCancelled)
        return FailureEnding(CancelledMessage, false);
    LastTotals = sync.Run(deletesConfirmed);
    Failures = LastTotals.Failures;
    PlanSummary = sync.Plan.Summary();
    // The time this copy wrote there, so that the next comparison knows the site its own; or,
    // when a copy with this id had published this very site, so that nothing was written,
    // the time of that copy's manifest, which this copy now holds as its own.
    std::int64_t known = LastTotals.PublishedAt;
    if (known == 0 && LastTotals.Succeeded() && !OtherCopyNote.empty() &&
        sync.RemotePublisherId == record.PROJECT_ID)
        known = sync.RemotePublishedAt;
    if (known != 0) {
        record.LAST_PUBLISHED = WithLastPublished(record.LAST_PUBLISHED, PlaceOf(record), known);
        FProject.Save();
        OtherCopyNote.clear();
    }

    if (LastTotals.Cancelled)
        return FailureEnding(CancelledMessage, false);
    if (!LastTotals.LockError.empty()) {
        // Nothing was written; after another publish the site is to be compared anew.
        LastError = LastTotals.LockError;
        if (LastTotals.ServerChanged)
            FCompared = false;
        return FailureEnding(LastTotals.LockError, false);
    }
    if (!LastTotals.Succeeded()) {
        std::string message;
        if (Failures > 0) {
            message = FormatThousands(Failures) + (Failures == 1 ? " file" : " files") +
                      " could not be published. Retry Failed tries them again.";
        } else {
            LastError = LastTotals.ManifestError;
            message = "The list of published files cannot be written on the server: " +
                      LastTotals.ManifestError;
        }
        return FailureEnding(message, false);
    }
    SetStatus(Words().Closing);
    SetStatus("Finish!");
    SetProgress(100);
    SetButtons(false, true, true);
    FView.FocusControl(TPublishField::Done);
    return TPublishOutcome::Finished;
}
