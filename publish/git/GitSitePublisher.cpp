#include "publish/git/GitSitePublisher.h"

#include "platform/Error.h"
#include "platform/Text.h"
#include "publish/git/GitRecord.h"

namespace {

TGitSettings SettingsOf(const TDPublish& record, const TTransportSettings& transport) {
    if (TrimBlanks(record.REPOSITORY).empty())
        throw TError("Need a repository.");
    TGitSettings settings = GitSettingsOf(record);
    settings.Token = transport.Password;
    settings.Trusted = transport.Trusted;
    settings.KnownHostsFile = transport.KnownHostsFile;
    settings.IdentityFile = transport.IdentityFile;
    return settings;
}

TSiteChanges ChangesOf(const TGitResult& result) {
    TSiteChanges changes;
    for (const TGitChange& change : result.Changes)
        changes.Changes.push_back({change.Name, GitChangeKindText(change.Kind), change.Size});
    changes.Summary = result.Message;
    changes.Note = result.ManifestNote;
    if (const std::string kept = result.KeptNote(); !kept.empty())
        changes.Note.append(changes.Note.empty() ? kept + "." : " " + kept + ".");
    return changes;
}

} // namespace

TGitSitePublisher::TGitSitePublisher(const TDPublish& record, const TTransportSettings& transport)
    : FSettings(SettingsOf(record, transport)), FPublisher(FSettings) {
    FPublisher.ReadTimeout = transport.ReadTimeout;
    FPublisher.OnLog = [this](const std::string& line) {
        if (OnLog)
            OnLog(line);
    };
}

TConnectionReport TGitSitePublisher::Test() {
    TConnectionReport report;
    // Built by appending: one line per step.
    std::string connect = "Connect to ";
    connect.append(ControlCharactersShown(FSettings.Repository));
    try {
        const std::vector<std::string> branches = FPublisher.Branches();
        report.Lines.push_back(connect + ": works.");
        std::string list = "Branches: ";
        bool found = false;
        for (std::size_t i = 0; i < branches.size(); ++i) {
            if (i > 0)
                list.append(", ");
            list.append(ControlCharactersShown(branches[i]));
            found = found || branches[i] == FSettings.Branch;
        }
        if (branches.empty())
            list.append("none (an empty repository)");
        report.Lines.push_back(list);
        std::string branch = "The branch ";
        branch.append(ControlCharactersShown(FSettings.Branch));
        branch.append(found ? " is there." : " is not there yet; the first publish starts it.");
        report.Lines.push_back(branch);
        report.Works = true;
    } catch (const TTransportError& e) {
        report.Lines.push_back(connect + ": fails. " + e.Reason());
        report.Failure = e.Kind();
        report.Reason = e.Reason();
        report.Detail = e.what();
        report.Fingerprint = e.Fingerprint();
    }
    return report;
}

TPublisherTotals TGitSitePublisher::Publish(const std::string& siteFolder,
                                            const std::function<void(const std::string&)>& status,
                                            const std::function<void(int)>& progress) {
    FPublisher.OnProgress = [&](int percent, const std::string& step) {
        if (status)
            status(step);
        if (progress)
            progress(percent);
    };
    TPublisherTotals totals;
    FPublisher.Selected = Selected;
    try {
        const TGitResult result = FPublisher.Publish(siteFolder);
        if (OnLog && !result.ManifestNote.empty())
            OnLog(result.ManifestNote);
        totals.Summary = result.Message;
        if (!result.Commit.empty()) {
            totals.Summary.append(" (commit ");
            totals.Summary.append(result.Commit.substr(0, 12));
            totals.Summary.append(" on ");
            totals.Summary.append(ControlCharactersShown(FSettings.Branch));
            totals.Summary.append(")");
        }
        if (const std::string kept = result.KeptNote(); !kept.empty()) {
            totals.Summary.append("; ");
            totals.Summary.append(kept);
        }
        totals.Succeeded = true;
        totals.Uploaded = result.Changed;
        totals.Deleted = result.Removed;
    } catch (const TTransportError& e) {
        totals.Cancelled = e.Kind() == TTransportFailure::Cancelled;
        totals.Error = e.Reason();
        totals.Detail = e.what();
    }
    FPublisher.OnProgress = nullptr;
    return totals;
}

std::optional<TSiteChanges> TGitSitePublisher::Compare(const std::string& siteFolder) {
    return ChangesOf(FPublisher.Compare(siteFolder));
}

void TGitSitePublisher::Cancel() noexcept {
    FPublisher.Cancel();
}
