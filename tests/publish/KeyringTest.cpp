// The publishing password in the keyring: a real GNOME keyring in a private session bus
// (tests/publish/with-keyring.sh starts it), the answers without one (run as a process of
// its own, ctest's keyring_no_bus_tests and keyring_silent_bus_tests), and the order in which
// corvane-cli takes the password from its sources, the terminal read on a pseudo terminal.

#include "publish/Keyring.h"
#include "publish/PublishPassword.h"

#include "TestSupport.h"
#include "publish/RequireServers.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <optional>
#include <poll.h>
#include <pty.h>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

using ::testing::HasSubstr;

namespace {

using TClock = std::chrono::steady_clock;

// Sets an environment variable (or unsets it, for none) until the object goes.
class TScopedVariable {
  public:
    TScopedVariable(const char* name, const std::optional<std::string>& value) : FName(name) {
        if (const char* before = std::getenv(name))
            FBefore = before;
        if (value)
            ::setenv(name, value->c_str(), 1);
        else
            ::unsetenv(name);
    }
    ~TScopedVariable() {
        if (FBefore)
            ::setenv(FName, FBefore->c_str(), 1);
        else
            ::unsetenv(FName);
    }
    TScopedVariable(const TScopedVariable&) = delete;
    TScopedVariable& operator=(const TScopedVariable&) = delete;

  private:
    const char* FName;
    std::optional<std::string> FBefore;
};

class KeyringTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (const char* missing = std::getenv("CORVANE_KEYRING_MISSING"))
            SKIP_WITHOUT_SERVER(std::string("no test keyring: ") + missing);
        if (!std::getenv("CORVANE_TEST_KEYRING"))
            SKIP_WITHOUT_SERVER("no test keyring: run through tests/publish/with-keyring.sh "
                                "(ctest keyring_tests), which starts one in a private bus");
    }
    TKeyring Keyring;
};

TEST_F(KeyringTest, StoresFindsReplacesAndDeletesAPassword) {
    const TKeyringKey key{"SFTP", "www.example.org", 22, "site"};
    // Nothing stored yet.
    EXPECT_EQ(Keyring.Find(key).Status, TKeyringStatus::NotFound);
    EXPECT_EQ(Keyring.Delete(key).Status, TKeyringStatus::NotFound);

    const std::string first = "pa55 w\xC3\xB6rd with blanks ";
    TKeyringAnswer stored = Keyring.Store(key, first);
    ASSERT_EQ(stored.Status, TKeyringStatus::Done) << stored.Reason;
    TKeyringAnswer found = Keyring.Find(key);
    EXPECT_EQ(found.Status, TKeyringStatus::Done) << found.Reason;
    EXPECT_EQ(found.Password, first);

    // A second store replaces the first: one item per key.
    ASSERT_EQ(Keyring.Store(key, "second").Status, TKeyringStatus::Done);
    EXPECT_EQ(Keyring.Find(key).Password, "second");
    EXPECT_EQ(Keyring.Delete(key).Status, TKeyringStatus::Done);
    EXPECT_EQ(Keyring.Find(key).Status, TKeyringStatus::NotFound);
    EXPECT_EQ(Keyring.Delete(key).Status, TKeyringStatus::NotFound);
}

TEST_F(KeyringTest, EachOfProtocolHostPortAndUserMakesAKeyOfItsOwn) {
    const TKeyringKey key{"FTP", "ftp.example.org", 21, "site"};
    const std::vector<TKeyringKey> others = {
        {"FTPS", "ftp.example.org", 21, "site"},
        {"FTP", "ftp.example.com", 21, "site"},
        {"FTP", "ftp.example.org", 2121, "site"},
        {"FTP", "ftp.example.org", 21, "other"},
    };
    ASSERT_EQ(Keyring.Store(key, "the one").Status, TKeyringStatus::Done);
    for (const TKeyringKey& other : others) {
        EXPECT_EQ(Keyring.Find(other).Status, TKeyringStatus::NotFound)
            << other.Protocol << " " << other.Host << " " << other.Port << " " << other.User;
        ASSERT_EQ(Keyring.Store(other, "another").Status, TKeyringStatus::Done);
    }
    EXPECT_EQ(Keyring.Find(key).Password, "the one");
    for (const TKeyringKey& other : others) {
        EXPECT_EQ(Keyring.Find(other).Password, "another");
        EXPECT_EQ(Keyring.Delete(other).Status, TKeyringStatus::Done);
    }
    EXPECT_EQ(Keyring.Find(key).Password, "the one");
    EXPECT_EQ(Keyring.Delete(key).Status, TKeyringStatus::Done);
}

TEST_F(KeyringTest, CorvaneCliTakesTheKeyringsPasswordBeforeTheProjects) {
    const TKeyringKey key{"FTP", "127.0.0.1", 2121, "site"};
    ASSERT_EQ(Keyring.Store(key, "from the keyring").Status, TKeyringStatus::Done);
    int asked = 0;
    TPublishPassword password =
        FindPublishPassword(key, "from the project", Keyring, [&asked](const std::string&) {
            ++asked;
            return std::optional<std::string>("typed");
        });
    EXPECT_EQ(password.Password, "from the keyring");
    EXPECT_EQ(password.Source, TPasswordSource::Keyring);
    EXPECT_EQ(asked, 0);
    Keyring.Delete(key);
}

TEST_F(KeyringTest, TheDialogsPasswordGoesIntoTheKeyringAndComesBack) {
    const TKeyringKey key{"FTP", "ftp.example.net", 21, "club"};
    std::string stored = "typed before the keyring";
    TPasswordKept kept = KeepPublishPassword(key, "n3w", stored, Keyring);
    EXPECT_TRUE(kept.InKeyring) << kept.Note;
    EXPECT_EQ(stored, "");
    EXPECT_EQ(LoadPublishPassword(key, stored, Keyring), "n3w");
    // Emptied in the dialog: gone from the keyring too.
    kept = KeepPublishPassword(key, "", stored, Keyring);
    EXPECT_TRUE(kept.InKeyring);
    EXPECT_EQ(Keyring.Find(key).Status, TKeyringStatus::NotFound);
}

// Without a keyring, run as a process of its own (ctest keyring_no_bus_tests): GLib keeps
// the first session bus it reaches for the life of the process.
TEST(KeyringWithoutBus, AnswersNoKeyringAtOnce) {
    TTempFolder folder;
    {
        // No address and no bus in the runtime folder: GLib is not even asked (it would try
        // to start a bus of its own).
        TScopedVariable address("DBUS_SESSION_BUS_ADDRESS", std::nullopt);
        TScopedVariable runtime("XDG_RUNTIME_DIR", folder.Path());
        TKeyringAnswer answer = TKeyring().Find({"FTP", "h", 21, "u"});
        EXPECT_EQ(answer.Status, TKeyringStatus::NoKeyring);
        EXPECT_EQ(answer.Reason,
                  "there is no keyring: no session bus (DBUS_SESSION_BUS_ADDRESS is not set)");
    }
    {
        // Switched off: not asked, whatever bus there is.
        TScopedVariable off(TKeyring::OffVariable, "1");
        TKeyringAnswer answer = TKeyring().Find({"FTP", "h", 21, "u"});
        EXPECT_EQ(answer.Status, TKeyringStatus::NoKeyring);
        EXPECT_EQ(answer.Reason, "the keyring is not used (CORVANE_NO_KEYRING=1)");
    }
    {
        // An address where nothing listens.
        TScopedVariable address("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + (folder / "none"));
        TKeyring keyring;
        for (const TKeyringAnswer& answer :
             {keyring.Find({"FTP", "h", 21, "u"}), keyring.Store({"FTP", "h", 21, "u"}, "p"),
              keyring.Delete({"FTP", "h", 21, "u"})}) {
            EXPECT_EQ(answer.Status, TKeyringStatus::NoKeyring);
            EXPECT_THAT(answer.Reason, HasSubstr("there is no keyring: the desktop's Secret "
                                                 "Service cannot be reached"));
        }
    }
}

// A bus that takes the connection and never says a word, in a process of its own too (ctest
// keyring_silent_bus_tests): GLib's connection in progress would answer the calls after it.
TEST(KeyringSilentBus, AnswersNoKeyringWithinTheTimeOut) {
    TTempFolder folder;
    {
        const std::string path = folder / "silent";
        const int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        ASSERT_LT(path.size(), sizeof address.sun_path);
        path.copy(address.sun_path, path.size());
        ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ASSERT_EQ(::listen(listener, 8), 0);
        TScopedVariable bus("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + path);
        const auto started = TClock::now();
        TKeyringAnswer answer = TKeyring(300).Find({"FTP", "h", 21, "u"});
        EXPECT_LT(TClock::now() - started, std::chrono::seconds(3));
        EXPECT_EQ(answer.Status, TKeyringStatus::NoKeyring);
        EXPECT_EQ(answer.Reason,
                  "there is no keyring: the session bus did not answer within 1 second");
        ::close(listener);
    }
}

// A keyring of the test's own, so that each answer can be chosen.
class TFakeKeyring : public TKeyring {
  public:
    TKeyringAnswer Find(const TKeyringKey& key) override {
        Asked.push_back(Name(key));
        return Answer;
    }
    TKeyringAnswer Store(const TKeyringKey& key, const std::string& password) override {
        Asked.push_back("store " + Name(key) + " " + password);
        return Answer;
    }
    TKeyringAnswer Delete(const TKeyringKey& key) override {
        Asked.push_back("delete " + Name(key));
        return Answer;
    }
    static std::string Name(const TKeyringKey& key) {
        return key.Protocol + " " + key.User + "@" + key.Host + ":" + std::to_string(key.Port);
    }
    TKeyringAnswer Answer;
    std::vector<std::string> Asked;
};

TKeyringAnswer AnswerOf(TKeyringStatus status, const std::string& password = {}) {
    TKeyringAnswer a;
    a.Status = status;
    a.Password = password;
    a.Reason = status == TKeyringStatus::NoKeyring ? "there is no keyring: none"
               : status == TKeyringStatus::Failed  ? "the keyring is locked"
                                                   : "";
    return a;
}

TEST(PasswordSources, TheDialogsPasswordGoesIntoTheKeyringWhenThereIsOne) {
    const TKeyringKey key{"FTPS", "example.org", 21, "site"};
    const struct {
        const char* What;
        TKeyringStatus Keyring;
        std::string Typed;
        std::string Asked;
        std::string Stored;
        bool InKeyring;
        std::string Note;
    } cases[] = {
        {"stored in the keyring", TKeyringStatus::Done, "secret",
         "store FTPS site@example.org:21 secret", "", true, ""},
        {"an empty one is deleted there", TKeyringStatus::Done, "",
         "delete FTPS site@example.org:21", "", true, ""},
        {"an empty one that was not there", TKeyringStatus::NotFound, "",
         "delete FTPS site@example.org:21", "", true, ""},
        {"no keyring", TKeyringStatus::NoKeyring, "secret", "store FTPS site@example.org:21 secret",
         "secret", false, "The password is kept in the project: there is no keyring: none."},
        {"a locked keyring", TKeyringStatus::Failed, "secret",
         "store FTPS site@example.org:21 secret", "secret", false,
         "The password is kept in the project: the keyring is locked."},
        {"no keyring and no password", TKeyringStatus::NoKeyring, "",
         "delete FTPS site@example.org:21", "", false, ""},
    };
    for (const auto& c : cases) {
        TFakeKeyring keyring;
        keyring.Answer = AnswerOf(c.Keyring);
        std::string stored = "old";
        TPasswordKept kept = KeepPublishPassword(key, c.Typed, stored, keyring);
        EXPECT_EQ(keyring.Asked, std::vector<std::string>{c.Asked}) << c.What;
        EXPECT_EQ(stored, c.Stored) << c.What;
        EXPECT_EQ(kept.InKeyring, c.InKeyring) << c.What;
        EXPECT_EQ(kept.Note, c.Note) << c.What;
    }

    // Shown and sent: the keyring's, else the project's.
    for (const auto& [status, expected] :
         std::vector<std::pair<TKeyringStatus, std::string>>{{TKeyringStatus::Done, "kept"},
                                                             {TKeyringStatus::NotFound, "own"},
                                                             {TKeyringStatus::NoKeyring, "own"},
                                                             {TKeyringStatus::Failed, "own"}}) {
        TFakeKeyring keyring;
        keyring.Answer = AnswerOf(status, "kept");
        EXPECT_EQ(LoadPublishPassword(key, "own", keyring), expected);
    }
}

TEST(PasswordSources, KeyringThenProjectThenEnvironmentThenTerminal) {
    const TKeyringKey key{"SFTP", "example.org", 22, "site"};
    const struct {
        const char* What;
        TKeyringAnswer Keyring;
        std::string Project;
        std::optional<std::string> Environment;
        std::optional<std::string> Typed;
        std::string Password;
        TPasswordSource Source;
        bool Asks;
    } cases[] = {
        {"all there", AnswerOf(TKeyringStatus::Done, "k"), "p", "e", "t", "k",
         TPasswordSource::Keyring, false},
        {"an empty password in the keyring counts", AnswerOf(TKeyringStatus::Done, ""), "p", "e",
         "t", "", TPasswordSource::Keyring, false},
        {"not in the keyring", AnswerOf(TKeyringStatus::NotFound), "p", "e", "t", "p",
         TPasswordSource::Project, false},
        {"no keyring", AnswerOf(TKeyringStatus::NoKeyring), "p", "e", "t", "p",
         TPasswordSource::Project, false},
        {"a locked keyring", AnswerOf(TKeyringStatus::Failed), "", "e", "t", "e",
         TPasswordSource::Environment, false},
        {"nothing but the terminal", AnswerOf(TKeyringStatus::NotFound), "", std::nullopt,
         "t y p e d", "t y p e d", TPasswordSource::Terminal, true},
        {"an empty variable does not count", AnswerOf(TKeyringStatus::NoKeyring), "", "", "t", "t",
         TPasswordSource::Terminal, true},
        {"no terminal either", AnswerOf(TKeyringStatus::NotFound), "", std::nullopt, std::nullopt,
         "", TPasswordSource::None, true},
    };
    for (const auto& c : cases) {
        TFakeKeyring keyring;
        keyring.Answer = c.Keyring;
        TScopedVariable variable(PasswordVariable, c.Environment);
        std::vector<std::string> prompts;
        TPublishPassword got =
            FindPublishPassword(key, c.Project, keyring, [&](const std::string& prompt) {
                prompts.push_back(prompt);
                return c.Typed;
            });
        EXPECT_EQ(got.Password, c.Password) << c.What;
        EXPECT_EQ(got.Source, c.Source) << c.What;
        EXPECT_EQ(keyring.Asked, std::vector<std::string>{"SFTP site@example.org:22"}) << c.What;
        EXPECT_EQ(prompts, c.Asks ? std::vector<std::string>{"Password for site@example.org: "}
                                  : std::vector<std::string>{})
            << c.What;
        if (c.Keyring.Status == TKeyringStatus::NoKeyring) {
            EXPECT_EQ(got.KeyringReason, "there is no keyring: none") << c.What;
        }
    }
}

// Runs the helper that asks for the password on a pseudo terminal: the helper's account
// (what it read, or how it ended), everything the terminal showed, and whether the
// terminal echoes again afterwards.
struct TTerminalRun {
    std::string Read;
    std::string Shown;
    int Signal = 0;
    bool EchoAfter = false;
};

TTerminalRun AskOnPseudoTerminal(const std::string& typed) {
    TTempFolder folder;
    const std::string result = folder / "result";
    const std::string helper = std::getenv("CORVANE_ASK_PASSWORD_HELPER")
                                   ? std::getenv("CORVANE_ASK_PASSWORD_HELPER")
                                   : "";
    TTerminalRun run;
    if (helper.empty()) {
        ADD_FAILURE() << "CORVANE_ASK_PASSWORD_HELPER is not set (ctest sets it)";
        return run;
    }
    std::vector<std::string> argv = {helper, result};
    std::vector<char*> args;
    for (std::string& a : argv)
        args.push_back(a.data());
    args.push_back(nullptr);
    int master = -1;
    const pid_t pid = ::forkpty(&master, nullptr, nullptr, nullptr);
    if (pid == 0) {
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    // What the terminal shows until the deadline or until it shows expected.
    auto readUntil = [&](const std::string& expected, int milliseconds) {
        const auto deadline = TClock::now() + std::chrono::milliseconds(milliseconds);
        while (expected.empty() || run.Shown.find(expected) == std::string::npos) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - TClock::now());
            pollfd p{master, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0)
                return;
            char buffer[256];
            const ssize_t n = ::read(master, buffer, sizeof buffer);
            if (n <= 0)
                return; // EIO: the helper has gone
            run.Shown.append(buffer, static_cast<std::size_t>(n));
        }
    };
    // The answer is typed only once the question is there, as a person would: typed before,
    // the terminal would still echo it.
    readUntil("Password for site@example.org: ", 10000);
    (void)!::write(master, typed.data(), typed.size());
    readUntil("", 10000);
    int status = 0;
    for (int i = 0; i < 1000 && ::waitpid(pid, &status, WNOHANG) == 0; ++i)
        ::usleep(10000);
    if (::waitpid(pid, &status, WNOHANG) == 0) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
    }
    termios after{};
    run.EchoAfter = ::tcgetattr(master, &after) == 0 && (after.c_lflag & ECHO) != 0;
    ::close(master);
    if (WIFSIGNALED(status))
        run.Signal = WTERMSIG(status);
    // A helper ended by a signal wrote nothing.
    run.Read = PathExists(result) ? ReadFileBytes(result) : std::string();
    return run;
}

TEST(PasswordSources, TheTerminalQuestionDoesNotEchoThePassword) {
    TTerminalRun run = AskOnPseudoTerminal("pa55 w\xC3\xB6rd\n");
    EXPECT_EQ(run.Read, "read: pa55 w\xC3\xB6rd");
    EXPECT_THAT(run.Shown, HasSubstr("Password for site@example.org: "));
    EXPECT_THAT(run.Shown, ::testing::Not(HasSubstr("pa55")));
    EXPECT_TRUE(run.EchoAfter);
    EXPECT_EQ(run.Signal, 0);
}

TEST(PasswordSources, AnInterruptedQuestionPutsTheEchoBackAndEndsTheProgram) {
    // Ctrl+C after part of the password.
    TTerminalRun run = AskOnPseudoTerminal("pa55\x03");
    EXPECT_EQ(run.Signal, SIGINT);
    EXPECT_EQ(run.Read, "");
    EXPECT_THAT(run.Shown, ::testing::Not(HasSubstr("pa55")));
    EXPECT_TRUE(run.EchoAfter);
}

} // namespace
