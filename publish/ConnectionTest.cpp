#include "publish/ConnectionTest.h"

#include "platform/Text.h"

#include <utility>

namespace {

std::string Describe(const TTransportSettings& settings) {
    std::string text = "Connect to ";
    // The report goes to a terminal too (corvane-cli connect): no escape reaches it.
    text.append(ControlCharactersShown(settings.Host));
    text.push_back(':');
    text.append(std::to_string(settings.Port));
    text.append(" (");
    text.append(settings.Protocol);
    const TPublishTarget* target = FindPublishTarget(settings.Protocol);
    if (target && target->UsesSetting(TTargetSetting::Passive))
        text.append(settings.Passive ? ", passive" : ", active");
    text.push_back(')');
    return text;
}

} // namespace

TConnectionTest::TConnectionTest(TTransportSettings settings, std::string folder)
    : FSettings(std::move(settings)), FFolder(std::move(folder)) {}

void TConnectionTest::Cancel() noexcept {
    FCancelled = true;
    if (TTransport* transport = FActive.load())
        transport->Cancel();
}

TConnectionReport TConnectionTest::Run() {
    TConnectionReport report;
    const std::string connect = Describe(FSettings);
    const std::string login = "Log in as " + ControlCharactersShown(FSettings.User);
    const bool hasFolder = !TrimBlanks(FFolder).empty();
    const std::string folder = "Change to the folder \"" + ControlCharactersShown(FFolder) + "\"";
    auto failed = [&](const std::exception& e) {
        const auto* failure = dynamic_cast<const TTransportError*>(&e);
        report.Failure = failure ? failure->Kind() : TTransportFailure::Other;
        report.Reason = failure && !failure->Reason().empty() ? failure->Reason() : e.what();
        report.Detail = e.what();
        report.Fingerprint = failure ? failure->Fingerprint() : std::string();
    };

    try {
        FTransport = TransportMaker(FSettings);
    } catch (const std::exception& e) {
        failed(e);
        report.Lines.push_back(connect + ": fails. " + report.Reason);
        return report;
    }
    FTransport->OnLog = [this](const std::string& line) {
        if (OnLog)
            OnLog(line);
    };
    FActive = FTransport.get();
    if (FCancelled)
        FTransport->Cancel();

    // A target without a server (a folder on this machine) has one step: opening the folder.
    const TPublishTarget* target = FindPublishTarget(FSettings.Protocol);
    if (target && !target->UsesSetting(TTargetSetting::Host)) {
        const std::string open = "Open the folder \"" + ControlCharactersShown(FFolder) + "\"";
        try {
            FTransport->Connect();
            FTransport->ChangeFolder(FFolder);
            report.Lines.push_back(open + ": works.");
            report.Works = true;
        } catch (const std::exception& e) {
            failed(e);
            report.Lines.push_back(open + ": fails. " + report.Reason);
        }
        FTransport->Disconnect();
        return report;
    }

    try {
        FTransport->Connect();
        report.Lines.push_back(connect + ": works.");
        report.Lines.push_back(login + ": works.");
    } catch (const std::exception& e) {
        failed(e);
        // Refused at the login: the server was reached.
        const bool reached = report.Failure == TTransportFailure::LoginRefused ||
                             report.Failure == TTransportFailure::TlsRequired;
        if (reached) {
            report.Lines.push_back(connect + ": works.");
            report.Lines.push_back(login + ": fails. " + report.Reason);
        } else {
            report.Lines.push_back(connect + ": fails. " + report.Reason);
            report.Lines.push_back(login + ": not tried.");
        }
        report.Lines.push_back(hasFolder ? folder + ": not tried."
                                         : "No folder set: the files go into the login folder.");
        FTransport->Disconnect();
        return report;
    }

    if (hasFolder) {
        try {
            FTransport->ChangeFolder(FFolder);
            report.Lines.push_back(folder + ": works.");
        } catch (const std::exception& e) {
            failed(e);
            report.Lines.push_back(folder + ": fails. " + report.Reason);
            FTransport->Disconnect();
            return report;
        }
    } else {
        report.Lines.push_back("No folder set: the files go into the login folder.");
    }
    FTransport->Disconnect();
    report.Works = true;
    return report;
}
