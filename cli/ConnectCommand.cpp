// corvane-cli connect PROJECT_FOLDER [--verbose] [--trust FINGERPRINT]: the connection test
// of the publish dialog. Connects to the project's server with its stored settings, logs in
// and changes to the folder, uploads nothing and changes nothing in the project, and prints
// what works and what does not, one line per step. Exits with 0 when everything works.

#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "cli/ProjectFolder.h"
#include "cli/Usage.h"

#include "model/CProject.h"
#include "platform/Error.h"
#include "platform/Text.h"
#include "platform/XmlDocument.h"
#include "publish/ConnectionTest.h"
#include "publish/PublishPassword.h"
#include "publish/PublishRun.h"
#include "publish/PublishTarget.h"

#include <csignal>
#include <cstdio>
#include <memory>
#include <signal.h>
#include <string>
#include <vector>

namespace {

TConnectionTest* InterruptedTest = nullptr;
TSitePublisher* InterruptedTestPublisher = nullptr;

extern "C" void CancelTestOnInterrupt(int) {
    if (InterruptedTest)
        InterruptedTest->Cancel();
    if (InterruptedTestPublisher)
        InterruptedTestPublisher->Cancel();
    std::signal(SIGINT, SIG_DFL);
}

} // namespace

int RunConnect(const std::vector<std::string>& args) {
    TCommandLine line;
    int status = 0;
    const std::vector<TKnownOption> options = {{"--verbose", "-v", false}, {"--trust", "", true}};
    if (!ParseCommandLine(args, options, 1, ConnectUsage, line, status))
        return status;

    TXmlDocument document;
    // Only read: the test writes nothing in the project.
    std::unique_ptr<TDProject> project =
        OpenProject(line.Arguments[0], document, TDProject::TOpening::Inspect);
    if (!project)
        return 1;
    const TDPublish& record = project->PUBLISH;
    const TPublishTarget* target = FindPublishTarget(record.PROTOCOL);
    const auto uses = [target](TTargetSetting setting) {
        return !target || target->UsesSetting(setting);
    };
    if (uses(TTargetSetting::Host) && TrimBlanks(record.FTP_SERVER).empty()) {
        std::fputs("corvane-cli: Need FTP server.\n", stderr);
        return 1;
    }
    const bool usesRepository = target && target->UsesSetting(TTargetSetting::Repository);
    if (usesRepository && TrimBlanks(record.REPOSITORY).empty()) {
        std::fprintf(stderr, "corvane-cli: %s\n", TPublishRun::NeedRepositoryMessage);
        return 1;
    }
    if (!uses(TTargetSetting::Host) && !usesRepository && TrimBlanks(record.FOLDER).empty()) {
        std::fprintf(stderr, "corvane-cli: %s\n", TPublishRun::NeedFolderMessage);
        return 1;
    }
    TTransportSettings settings;
    try {
        settings = TransportSettingsOf(record, 30000);
    } catch (const TError& e) {
        std::fprintf(stderr, "corvane-cli: %s\n", ControlCharactersShown(e.Message()).c_str());
        return 1;
    }
    if (line.Has("--trust"))
        settings.Trusted = NormalFingerprint(line.Value("--trust"));
    // The password as publish finds it: the keyring's, else the project's, else
    // CORVANE_PASSWORD, else asked on the terminal; never shown.
    if (const TKeyringKey key = KeyringKeyOf(record);
        uses(TTargetSetting::Password) && !TrimBlanks(key.User).empty()) {
        TKeyring keyring;
        settings.Password = FindPublishPassword(key, record.PASSWORD, keyring).Password;
    }

    if (target && target->MakePublisher) {
        std::unique_ptr<TSitePublisher> publisher = target->MakePublisher(record, settings);
        if (line.Has("--verbose"))
            publisher->OnLog = [](const std::string& text) {
                std::fprintf(stderr, "%s\n", ControlCharactersShown(text).c_str());
            };
        TConnectionReport report;
        {
            InterruptedTestPublisher = publisher.get();
            struct sigaction action {
            }, before{};
            action.sa_handler = CancelTestOnInterrupt;
            sigemptyset(&action.sa_mask);
            ::sigaction(SIGINT, &action, &before);
            report = publisher->Test();
            ::sigaction(SIGINT, &before, nullptr);
            InterruptedTestPublisher = nullptr;
        }
        for (const std::string& text : report.Lines)
            std::printf("%s\n", ControlCharactersShown(text).c_str());
        if (report.Works)
            std::printf("Everything works.\n");
        else if (report.Failure == TTransportFailure::NotTrusted && !report.Fingerprint.empty())
            std::printf("To trust exactly this certificate or host key: corvane-cli connect (or "
                        "publish) with --trust %s\n",
                        report.Fingerprint.c_str());
        return report.Works ? 0 : 1;
    }
    TConnectionTest test(settings, record.FOLDER);
    if (line.Has("--verbose"))
        test.OnLog = [](const std::string& text) {
            std::fprintf(stderr, "%s\n", ControlCharactersShown(text).c_str());
        };
    TConnectionReport report;
    {
        InterruptedTest = &test;
        struct sigaction action {
        }, before{};
        action.sa_handler = CancelTestOnInterrupt;
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGINT, &action, &before);
        report = test.Run();
        ::sigaction(SIGINT, &before, nullptr);
        InterruptedTest = nullptr;
    }
    for (const std::string& text : report.Lines)
        std::printf("%s\n", ControlCharactersShown(text).c_str());
    if (report.Works) {
        std::printf("Everything works.\n");
        return 0;
    }
    if (report.Failure == TTransportFailure::NotTrusted && !report.Fingerprint.empty())
        std::printf("To trust exactly this certificate or host key: corvane-cli connect (or "
                    "publish) with --trust %s\n",
                    report.Fingerprint.c_str());
    return 1;
}
