// The FTP client against a scripted server: the exchange on the wire, the reply rules and
// every way an operation can fail.

#include "publish/ftp/IdFTP.h"

#include "TestSupport.h"
#include "publish/FakeFtpServer.h"
#include "publish/FtpFailure.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

namespace {

using TStrings = std::vector<std::string>;

void Prepare(TIdFTP& ftp, int port, int readTimeout = 5000) {
    ftp.Host = "127.0.0.1";
    ftp.Port = port;
    ftp.Username = "bob";
    ftp.Password = "s3cret-pw";
    ftp.ReadTimeout = readTimeout;
}

// Sends the greeting, then answers each command by its verb from the table (raw replies,
// line ends included) until the client goes; a verb not in the table gets 502.
TFakeFtpServer::TScript ByVerb(const std::string& greeting,
                               const std::map<std::string, std::string>& replies) {
    return [greeting, replies](TFakeFtpSession& s) {
        s.Send(greeting);
        for (;;) {
            std::string command = s.Command();
            auto it = replies.find(command.substr(0, command.find(' ')));
            s.Send(it == replies.end() ? "502 Not implemented\r\n" : it->second);
        }
    };
}

const std::map<std::string, std::string> GoodLogin = {{"USER", "331 Password required\r\n"},
                                                      {"PASS", "230 Logged in\r\n"},
                                                      {"TYPE", "200 Type set to I\r\n"},
                                                      {"SYST", "215 UNIX Type: L8\r\n"}};

std::map<std::string, std::string> With(std::map<std::string, std::string> replies,
                                        const std::string& verb, const std::string& reply) {
    replies[verb] = reply;
    return replies;
}

std::string AllBytes() {
    std::string data;
    for (int round = 0; round < 3; ++round)
        for (int b = 0; b < 256; ++b)
            data += static_cast<char>(b);
    return data + "\r\nline\nend\r";
}

long ElapsedMs(std::chrono::steady_clock::time_point since) {
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                 std::chrono::steady_clock::now() - since)
                                 .count());
}

} // namespace

// ---- Connect and Disconnect

TEST(IdFTPConnect, LogsInWithUserAndPassAndClosesWithoutQuit) {
    bool closed = false;
    TFakeFtpServer server([&](TFakeFtpSession& s) {
        s.Login();
        closed = s.WaitClosed();
    });
    TIdFTP ftp;
    Prepare(ftp, server.Port());
    ftp.Connect();
    EXPECT_TRUE(ftp.Connected());
    EXPECT_EQ(ftp.LastReplyCode(), 215);
    EXPECT_THAT(ftp.LastReplyLines(), ElementsAre("215 UNIX Type: L8"));
    ftp.Disconnect();
    EXPECT_FALSE(ftp.Connected());
    server.Finish();
    EXPECT_TRUE(closed);
    EXPECT_THAT(server.Commands(), ElementsAre("USER bob", "PASS s3cret-pw", "TYPE I", "SYST"));
}

TEST(IdFTPConnect, RepliesDecideEachStep) {
    struct TCase {
        const char* Name;
        std::string Greeting;
        std::map<std::string, std::string> Replies;
        TIdFTPTransferType Type;
        int FailCode; // 0: Connect succeeds
        TStrings Commands;
    };
    const TStrings all = {"USER bob", "PASS s3cret-pw", "TYPE I", "SYST"};
    const TCase cases[] = {
        {"plain login", "220 Hi\r\n", GoodLogin, ftBinary, 0, all},
        {"USER 230 sends no PASS",
         "220 Hi\r\n",
         With(GoodLogin, "USER", "230 Welcome\r\n"),
         ftBinary,
         0,
         {"USER bob", "TYPE I", "SYST"}},
        {"SYST 500 is accepted", "220 Hi\r\n", With(GoodLogin, "SYST", "500 What?\r\n"), ftBinary,
         0, all},
        {"SYST 200 is accepted", "220 Hi\r\n", With(GoodLogin, "SYST", "200 Fine\r\n"), ftBinary, 0,
         all},
        {"ASCII type",
         "220 Hi\r\n",
         GoodLogin,
         ftASCII,
         0,
         {"USER bob", "PASS s3cret-pw", "TYPE A", "SYST"}},
        {"SYST 502 fails", "220 Hi\r\n", With(GoodLogin, "SYST", "502 No\r\n"), ftBinary, 502, all},
        {"TYPE refused",
         "220 Hi\r\n",
         With(GoodLogin, "TYPE", "504 Not that type\r\n"),
         ftBinary,
         504,
         {"USER bob", "PASS s3cret-pw", "TYPE I"}},
        {"TYPE answered 250",
         "220 Hi\r\n",
         With(GoodLogin, "TYPE", "250 Ok\r\n"),
         ftBinary,
         250,
         {"USER bob", "PASS s3cret-pw", "TYPE I"}},
        {"greeting 421", "421 Too many users\r\n", GoodLogin, ftBinary, 421, {}},
        {"greeting 120", "120 Ready in 5 minutes\r\n", GoodLogin, ftBinary, 120, {}},
        {"USER refused",
         "220 Hi\r\n",
         With(GoodLogin, "USER", "530 Not you\r\n"),
         ftBinary,
         530,
         {"USER bob"}},
        {"USER answered 332",
         "220 Hi\r\n",
         With(GoodLogin, "USER", "332 Need account\r\n"),
         ftBinary,
         332,
         {"USER bob"}},
        {"PASS refused",
         "220 Hi\r\n",
         With(GoodLogin, "PASS", "530 Login incorrect\r\n"),
         ftBinary,
         530,
         {"USER bob", "PASS s3cret-pw"}},
        {"PASS answered 202",
         "220 Hi\r\n",
         With(GoodLogin, "PASS", "202 Superfluous\r\n"),
         ftBinary,
         202,
         {"USER bob", "PASS s3cret-pw"}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TFakeFtpServer server(ByVerb(c.Greeting, c.Replies));
        TIdFTP ftp;
        Prepare(ftp, server.Port());
        ftp.TransferType = c.Type;
        if (c.FailCode == 0) {
            EXPECT_NO_THROW(ftp.Connect());
            EXPECT_TRUE(ftp.Connected());
        } else {
            TTransportError e = Failure([&] { ftp.Connect(); });
            EXPECT_EQ(e.ReplyCode(), c.FailCode);
            EXPECT_THAT(e.what(), HasSubstr("127.0.0.1:" + std::to_string(server.Port())));
            EXPECT_THAT(e.what(), HasSubstr(std::to_string(c.FailCode)));
            EXPECT_FALSE(ftp.Connected());
        }
        ftp.Disconnect();
        server.Finish();
        EXPECT_EQ(server.Commands(), c.Commands);
    }
}

TEST(IdFTPConnect, FailedStepsNameTheStepAndTheReply) {
    TFakeFtpServer server(ByVerb("220 Hi\r\n", With(GoodLogin, "TYPE", "504 Type I refused\r\n")));
    TIdFTP ftp;
    Prepare(ftp, server.Port());
    TTransportError e = Failure([&] { ftp.Connect(); });
    EXPECT_EQ(std::string(e.what()), "FTP server 127.0.0.1:" + std::to_string(server.Port()) +
                                         ", TYPE I: the server replied \"504 Type I refused\"");
}

TEST(IdFTPConnect, ThePasswordStaysOutOfLogsAndMessages) {
    TFakeFtpServer server(ByVerb("220 Hi\r\n", With(GoodLogin, "PASS", "530 Login incorrect\r\n")));
    TIdFTP ftp;
    Prepare(ftp, server.Port());
    std::string log;
    ftp.OnLog = [&](const std::string& line) { log += line + "\n"; };
    TTransportError e = Failure([&] { ftp.Connect(); });
    server.Finish();
    EXPECT_THAT(server.Commands(), ElementsAre("USER bob", "PASS s3cret-pw"));
    EXPECT_EQ(log, "< 220 Hi\n> USER bob\n< 331 Password required\n> PASS ****\n"
                   "< 530 Login incorrect\n");
    EXPECT_THAT(e.what(), Not(HasSubstr("s3cret")));
    EXPECT_THAT(e.what(), HasSubstr("530 Login incorrect"));
}

TEST(IdFTPConnect, BytesInTheClearAfterTheReplyToAuthTlsFailTheConnection) {
    // A forged reply to USER behind the 234. In the same write it must never be read as a
    // reply that came through TLS; a moment later the handshake has begun and reads it as TLS.
    for (const bool sameWrite : {true, false}) {
        SCOPED_TRACE(sameWrite ? "in the same write" : "a moment later");
        bool closed = false;
        TFakeFtpServer server([&](TFakeFtpSession& s) {
            s.Reply("220 Hi");
            s.Command();
            if (sameWrite) {
                s.Send("234 Go ahead\r\n230 forged\r\n");
            } else {
                s.Reply("234 Go ahead");
                s.Pause(100);
                s.Reply("230 forged");
            }
            closed = s.WaitClosed(3000);
        });
        TIdFTP ftp;
        Prepare(ftp, server.Port(), 2000);
        ftp.UseTls = true;
        const auto start = std::chrono::steady_clock::now();
        TTransportError e = Failure([&] { ftp.Connect(); });
        EXPECT_LT(ElapsedMs(start), 1000);
        server.Finish();
        EXPECT_FALSE(ftp.Connected());
        if (!sameWrite) {
            EXPECT_THAT(e.Reason(), HasSubstr("The TLS handshake with 127.0.0.1:"));
            EXPECT_THAT(server.Commands(), Not(::testing::Contains(::testing::StartsWith("USER"))));
            continue;
        }
        EXPECT_THAT(e.what(), HasSubstr("AUTH TLS: 12 bytes came in the clear after the reply"));
        EXPECT_THAT(e.Reason(), HasSubstr("sent more than its reply to AUTH TLS before TLS began"));
        EXPECT_TRUE(closed);
        // Not a byte of a TLS handshake went out after AUTH TLS.
        EXPECT_THAT(server.Commands(), ElementsAre("AUTH TLS"));
    }
}

// ---- Reading replies

TEST(IdFTPReplies, MultiLineRepliesTrimmingAndLineEnds) {
    struct TCase {
        const char* Name;
        std::string Greeting;
        TStrings Lines; // the greeting as the client reads it
    };
    const TCase cases[] = {
        {"one line", "220 Ready\r\n", {"220 Ready"}},
        {"LF alone ends a line", "220 Ready\n", {"220 Ready"}},
        {"blanks and control characters trimmed", "  \t220 Ready \x01\r\n", {"220 Ready"}},
        {"empty lines skipped", "\r\n \r\n\n220 Ready\r\n", {"220 Ready"}},
        {"code alone", "220\r\n", {"220"}},
        {"multi-line to the same code and a blank",
         "220-Welcome\r\n220-second\r\nsome text\r\n221 other code\r\n\r\n220 Ready\r\n",
         {"220-Welcome", "220-second", "some text", "221 other code", "220 Ready"}},
        {"multi-line end found after trimming",
         "220-Welcome\r\n   220 Ready   \r\n",
         {"220-Welcome", "220 Ready"}},
        {"multi-line ended by a short line",
         "220-Welcome\r\nmore\r\nok\r\n",
         {"220-Welcome", "more", "ok"}},
        {"multi-line ended by a bare code", "220-Welcome\r\n220\r\n", {"220-Welcome", "220"}},
        {"hyphen line is not an end",
         "220-Welcome\r\n220-Still\r\n220 End\r\n",
         {"220-Welcome", "220-Still", "220 End"}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        // The USER reply is multi-line as well, so a reply read too far or too short
        // would put every later reply out of step.
        TFakeFtpServer server(ByVerb(
            c.Greeting, With(GoodLogin, "USER", "331-Password\r\n331-please\r\n331 now\r\n")));
        TIdFTP ftp;
        Prepare(ftp, server.Port());
        TStrings received;
        ftp.OnLog = [&](const std::string& line) {
            if (line.rfind("< ", 0) == 0)
                received.push_back(line.substr(2));
        };
        EXPECT_NO_THROW(ftp.Connect());
        ftp.Disconnect();
        server.Finish();
        TStrings expected = c.Lines;
        for (const char* line : {"331-Password", "331-please", "331 now", "230 Logged in",
                                 "200 Type set to I", "215 UNIX Type: L8"})
            expected.push_back(line);
        EXPECT_EQ(received, expected);
        EXPECT_EQ(server.Commands().size(), 4u);
    }
}

TEST(IdFTPReplies, TheLastReplyKeepsAllItsLines) {
    TFakeFtpServer server(ByVerb(
        "220 Hi\r\n", With(GoodLogin, "SYST", "215-UNIX\r\n  emulated \r\n215 Type: L8\r\n")));
    TIdFTP ftp;
    Prepare(ftp, server.Port());
    ftp.Connect();
    EXPECT_EQ(ftp.LastReplyCode(), 215);
    EXPECT_THAT(ftp.LastReplyLines(), ElementsAre("215-UNIX", "emulated", "215 Type: L8"));
}

TEST(IdFTPReplies, RepliesWithoutACodeFail) {
    for (const char* greeting : {"Hello there\r\n", "22\r\n", "2x0 Hi\r\n"}) {
        SCOPED_TRACE(greeting);
        TFakeFtpServer server(ByVerb(greeting, GoodLogin));
        TIdFTP ftp;
        Prepare(ftp, server.Port());
        TTransportError e = Failure([&] { ftp.Connect(); });
        EXPECT_EQ(e.ReplyCode(), 0);
        EXPECT_THAT(e.what(), HasSubstr("greeting"));
        EXPECT_THAT(e.what(), HasSubstr("has no reply code"));
        EXPECT_FALSE(ftp.Connected());
    }
}

TEST(IdFTPReplies, LinesUpTo16384CharactersAreRead) {
    struct TCase {
        const char* Name;
        std::string Greeting;
        bool Accepted;
    };
    const std::string longest = "220 " + std::string(16380, 'x'); // 16384 characters
    const TCase cases[] = {
        {"16384 with CR LF", longest + "\r\n", true},
        {"16384 with LF", longest + "\n", true},
        {"16385 with CR LF", longest + "y\r\n", false},
        {"16385 with LF", longest + "y\n", false},
        {"over-long continuation line", "220-Hi\r\n" + longest + "yy\r\n220 Ok\r\n", false},
        {"no line end at all", std::string(40000, 'z'), false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TFakeFtpServer server(ByVerb(c.Greeting, GoodLogin));
        TIdFTP ftp;
        Prepare(ftp, server.Port());
        if (c.Accepted) {
            EXPECT_NO_THROW(ftp.Connect());
        } else {
            TTransportError e = Failure([&] { ftp.Connect(); });
            EXPECT_THAT(e.what(), HasSubstr("longer than 16384 characters"));
            EXPECT_FALSE(ftp.Connected());
        }
        ftp.Disconnect();
    }
}

TEST(IdFTPReplies, AReplyIsBoundedInLinesAndCharacters) {
    struct TCase {
        const char* Name;
        std::size_t Lines;      // continuation lines before the end line
        std::size_t LineLength; // characters of each continuation line
        bool Endless;           // the server never ends the reply
        bool Accepted;
    };
    const TCase cases[] = {
        {"1000 lines in all", 998, 10, false, true},
        {"1001 lines in all", 999, 10, false, false},
        {"65520 characters in four lines", 4, 16380, false, true},
        {"five long lines", 5, 16380, false, false},
        {"an endless reply of short lines", 0, 10, true, false},
        {"an endless reply of empty lines", 0, 0, true, false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TFakeFtpServer server([&c](TFakeFtpSession& s) {
            s.Send("220-Hi\r\n");
            const std::string line = std::string(c.LineLength, 'x') + "\r\n";
            // "Endless": far past any bound, then the server hangs up (so that a client
            // without bounds fails the test in bounded time too).
            if (c.Endless) {
                for (int i = 0; i < 25000; ++i)
                    s.Send(line + line + line + line);
                return;
            }
            for (std::size_t i = 0; i < c.Lines; ++i)
                s.Send(line);
            s.Send("220 Ready\r\n");
            for (int i = 0; i < 4; ++i)
                s.Answer(i == 0 ? "331 Pw" : i == 1 ? "230 In" : i == 2 ? "200 I" : "215 UNIX");
            s.WaitClosed();
        });
        TIdFTP ftp;
        Prepare(ftp, server.Port());
        if (c.Accepted) {
            EXPECT_NO_THROW(ftp.Connect());
        } else {
            TTransportError e = Failure([&] { ftp.Connect(); });
            EXPECT_THAT(e.what(),
                        HasSubstr("greeting: the server's reply is longer than 1000 lines or "
                                  "65536 characters"));
            EXPECT_FALSE(ftp.Connected());
        }
        ftp.Disconnect();
        server.Finish();
    }
}

TEST(IdFTPReplies, ASilentServerFailsAfterReadTimeout) {
    TFakeFtpServer server([](TFakeFtpSession& s) {
        s.Reply("220 Hi");
        s.Command(); // USER, never answered
        s.WaitClosed(3000);
    });
    TIdFTP ftp;
    Prepare(ftp, server.Port(), 300);
    auto start = std::chrono::steady_clock::now();
    TTransportError e = Failure([&] { ftp.Connect(); });
    long elapsed = ElapsedMs(start);
    EXPECT_GE(elapsed, 250);
    EXPECT_LT(elapsed, 2500);
    EXPECT_THAT(e.what(), HasSubstr("USER bob: no reply within 300 ms"));
    EXPECT_FALSE(ftp.Connected());
}

TEST(IdFTPReplies, AWholeReplyMustComeWithinReadTimeout) {
    struct TCase {
        const char* Name;
        int PartGapMs; // between the parts of the greeting
        int Parts;
        bool Accepted;
    };
    const TCase cases[] = {
        {"four parts within the time-out", 50, 4, true},
        {"parts each within it, the whole reply not", 150, 5, false},
        {"one byte every 60 ms", 60, 30, false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TFakeFtpServer server([&c](TFakeFtpSession& s) {
            if (c.Parts == 30) {
                // "220 Ready, slowly, very slow\r\n" a byte at a time.
                const std::string greeting = "220 Ready, slowly, very slow\r\n";
                for (char b : greeting) {
                    s.Send(std::string(1, b));
                    s.Pause(c.PartGapMs);
                }
            } else {
                s.Send("220-Hi\r\n");
                for (int i = 1; i < c.Parts; ++i) {
                    s.Pause(c.PartGapMs);
                    s.Send("220-still here\r\n");
                }
                s.Send("220 Ready\r\n");
            }
            for (int i = 0; i < 4; ++i)
                s.Answer(i == 0 ? "331 Pw" : i == 1 ? "230 In" : i == 2 ? "200 I" : "215 UNIX");
            s.WaitClosed();
        });
        TIdFTP ftp;
        Prepare(ftp, server.Port(), 400);
        auto start = std::chrono::steady_clock::now();
        if (c.Accepted) {
            EXPECT_NO_THROW(ftp.Connect());
        } else {
            TTransportError e = Failure([&] { ftp.Connect(); });
            EXPECT_THAT(e.what(), HasSubstr("greeting: no reply within 400 ms"));
            EXPECT_LT(ElapsedMs(start), 1200);
        }
        ftp.Disconnect();
        server.Finish();
    }
}

TEST(IdFTPReplies, NoReadTimeoutWaitsAsLongAsItTakes) {
    for (int timeout : {0, 300}) {
        SCOPED_TRACE(timeout);
        TFakeFtpServer server([](TFakeFtpSession& s) {
            s.Reply("220 Hi");
            s.Command();
            s.Pause(800);
            s.Reply("230 Late but logged in");
            s.Answer("200 I");
            s.Answer("215 UNIX");
            s.WaitClosed(3000);
        });
        TIdFTP ftp;
        Prepare(ftp, server.Port(), timeout);
        if (timeout == 0)
            EXPECT_NO_THROW(ftp.Connect());
        else
            EXPECT_THAT(Failure([&] { ftp.Connect(); }).what(), HasSubstr("no reply within"));
    }
}

TEST(IdFTPReplies, AServerThatHangsUpFailsTheStep) {
    TFakeFtpServer server([](TFakeFtpSession& s) {
        s.Reply("220 Hi");
        s.Command();
        s.Send("331-Half a rep");
    });
    TIdFTP ftp;
    Prepare(ftp, server.Port());
    TTransportError e = Failure([&] { ftp.Connect(); });
    EXPECT_THAT(e.what(), HasSubstr("USER bob: the server closed the connection"));
    EXPECT_FALSE(ftp.Connected());
}

// ---- Reaching the server

TEST(IdFTPConnect, ARefusedConnectionNamesTheServer) {
    // A port that was just free: nothing listens there.
    int port;
    {
        TFakeFtpServer probe([](TFakeFtpSession&) {});
        port = probe.Port();
        TIdFTP ftp;
        Prepare(ftp, port);
        EXPECT_ANY_THROW(ftp.Connect()); // the probe closes at once
    }
    TIdFTP ftp;
    Prepare(ftp, port);
    TTransportError e = Failure([&] { ftp.Connect(); });
    EXPECT_THAT(e.what(),
                HasSubstr("127.0.0.1:" + std::to_string(port) + ", connect: cannot connect"));
    EXPECT_FALSE(ftp.Connected());
}

TEST(IdFTPConnect, AHostThatDoesNotResolveIsNamed) {
    // A label longer than 63 characters cannot be put into a query, so the resolver fails
    // without asking any name server.
    const std::string host = std::string(70, 'q') + ".invalid";
    TIdFTP ftp;
    Prepare(ftp, 21);
    ftp.Host = host;
    TTransportError e = Failure([&] { ftp.Connect(); });
    EXPECT_THAT(e.what(), HasSubstr("the host name \"" + host + "\" does not resolve"));
    EXPECT_FALSE(ftp.Connected());
}

TEST(IdFTPConnect, BadHostOrPortSettingsFail) {
    struct TCase {
        std::string Host;
        int Port;
        const char* Message;
    };
    const TCase cases[] = {{"", 21, "no host name given"},
                           {"127.0.0.1", 0, "0 is not a valid TCP port"},
                           {"127.0.0.1", 65536, "65536 is not a valid TCP port"},
                           {"127.0.0.1", -21, "-21 is not a valid TCP port"}};
    for (const TCase& c : cases) {
        TIdFTP ftp;
        Prepare(ftp, c.Port);
        ftp.Host = c.Host;
        EXPECT_THAT(Failure([&] { ftp.Connect(); }).what(), HasSubstr(c.Message));
    }
}

TEST(IdFTPConnect, TheTcpConnectIsBoundedByReadTimeout) {
    // A listener whose queue is full takes no further connections: the attempt hangs.
    int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener, 0), 0);
    ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
    std::vector<int> fillers;
    for (int i = 0; i < 3; ++i) {
        int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        // Non-blocking: the connection is still on its way when connect returns.
        (void)::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        fillers.push_back(fd);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    TIdFTP ftp;
    Prepare(ftp, ntohs(address.sin_port), 300);
    auto start = std::chrono::steady_clock::now();
    TTransportError e = Failure([&] { ftp.Connect(); });
    EXPECT_LT(ElapsedMs(start), 2500);
    EXPECT_THAT(e.what(), HasSubstr("no connection within 300 ms"));
    for (int fd : fillers)
        ::close(fd);
    ::close(listener);
}

// ---- ChangeFolder

TEST(IdFTPChangeFolder, SendsTheFolderUnchangedAndChecksTheReply) {
    struct TCase {
        std::string Folder;
        std::string Reply;
        int FailCode;
    };
    const TCase cases[] = {{"www", "250 Okay\r\n", 0},
                           {"/home/site/public html", "200 Fine\r\n", 0},
                           {"  spaced out  ", "250 Okay\r\n", 0},
                           {"missing", "550 No such folder\r\n", 550},
                           {"weird", "257 Created\r\n", 257}};
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Folder);
        TFakeFtpServer server(ByVerb("220 Hi\r\n", With(GoodLogin, "CWD", c.Reply)));
        TIdFTP ftp;
        Prepare(ftp, server.Port());
        ftp.Connect();
        if (c.FailCode == 0) {
            EXPECT_NO_THROW(ftp.ChangeFolder(c.Folder));
        } else {
            TTransportError e = Failure([&] { ftp.ChangeFolder(c.Folder); });
            EXPECT_EQ(e.ReplyCode(), c.FailCode);
            EXPECT_THAT(e.what(), HasSubstr("CWD " + c.Folder + ": the server replied"));
        }
        EXPECT_TRUE(ftp.Connected());
        ftp.Disconnect();
        server.Finish();
        EXPECT_EQ(server.Commands().back(), "CWD " + c.Folder);
    }
}

// ---- Upload

class IdFTPUpload : public ::testing::Test {
  protected:
    std::string Local(const std::string& name, const std::string& data) {
        WriteFileBytes(Dir / name, data);
        return Dir / name;
    }
    TTempFolder Dir;
};

TEST_F(IdFTPUpload, SendsPortStorAndTheBytesUnchanged) {
    const std::string data = AllBytes();
    TFakeFtpServer server([](TFakeFtpSession& s) {
        s.Login();
        s.Store();
        s.WaitClosed();
    });
    TIdFTP ftp;
    Prepare(ftp, server.Port());
    ftp.Connect();
    ftp.Upload(Local("page.htm", data), "index.htm");
    EXPECT_EQ(ftp.LastReplyCode(), 226);
    ftp.Disconnect();
    server.Finish();
    EXPECT_EQ(server.ScriptEnd(), "");
    EXPECT_EQ(server.Files().at("index.htm"), data);
    TStrings commands = server.Commands();
    ASSERT_EQ(commands.size(), 6u);
    EXPECT_EQ(commands[5], "STOR index.htm");
    // PORT 127,0,0,1,p1,p2: the control connection's address and a port of the system's.
    unsigned a, b, c, d, p1, p2;
    ASSERT_EQ(std::sscanf(commands[4].c_str(), "PORT %u,%u,%u,%u,%u,%u", &a, &b, &c, &d, &p1, &p2),
              6);
    EXPECT_EQ(commands[4], "PORT 127,0,0,1," + std::to_string(p1) + "," + std::to_string(p2));
    EXPECT_GT(p1 * 256 + p2, 0u);
}

TEST_F(IdFTPUpload, EmptyAndLargeFilesAndSeveralInARow) {
    std::string large;
    for (unsigned i = 0; i < 300000; ++i)
        large += static_cast<char>((i * 7919u) >> 3);
    TFakeFtpServer server([](TFakeFtpSession& s) {
        s.Login();
        for (int i = 0; i < 3; ++i)
            s.Store();
        s.WaitClosed();
    });
    TIdFTP ftp;
    Prepare(ftp, server.Port());
    ftp.Connect();
    ftp.Upload(Local("empty.htm", ""), "empty.htm");
    ftp.Upload(Local("large.jpg", large), "large.jpg");
    ftp.Upload(Local("small.css", "body{}"), "small.css");
    ftp.Disconnect();
    server.Finish();
    EXPECT_EQ(server.ScriptEnd(), "");
    const std::map<std::string, std::string> expected = {
        {"empty.htm", ""}, {"large.jpg", large}, {"small.css", "body{}"}};
    EXPECT_EQ(server.Files(), expected);
}

TEST_F(IdFTPUpload, FinalRepliesDecideTheOutcome) {
    struct TCase {
        const char* Name;
        std::string StorReply;
        TStrings Final;
        int FailCode;
    };
    const TCase cases[] = {
        {"226", "150 Go", {"226 Done"}, 0},
        {"225", "150 Go", {"225 Done"}, 0},
        {"250", "150 Go", {"250 Done"}, 0},
        {"125 then 226", "125 Already open", {"226 Done"}, 0},
        {"426 then 226", "150 Go", {"426 Aborted", "226 Closing"}, 0},
        {"450 then 225", "150 Go", {"450 Busy", "225 Closing"}, 0},
        {"multi-line 426 then 226", "150 Go", {"426-Broken\r\n426 really", "226 Closing"}, 0},
        {"426 then 550", "150 Go", {"426 Aborted", "550 Gone"}, 550},
        {"426 then 250", "150 Go", {"426 Aborted", "250 Odd"}, 250},
        {"451", "150 Go", {"451 Local error"}, 451},
        {"550", "150 Go", {"550 Denied"}, 550},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TFakeFtpServer server([&c](TFakeFtpSession& s) {
            s.Login();
            s.Answer("200 PORT ok");
            s.Answer(c.StorReply);
            s.ReceiveAll(s.ConnectBack());
            for (const std::string& reply : c.Final)
                s.Reply(reply);
            s.WaitClosed();
        });
        TIdFTP ftp;
        Prepare(ftp, server.Port());
        ftp.Connect();
        std::string local = Local("a.htm", "<html>");
        if (c.FailCode == 0) {
            EXPECT_NO_THROW(ftp.Upload(local, "a.htm"));
        } else {
            TTransportError e = Failure([&] { ftp.Upload(local, "a.htm"); });
            EXPECT_EQ(e.ReplyCode(), c.FailCode);
            EXPECT_THAT(e.what(), HasSubstr("STOR a.htm: the server replied"));
        }
        EXPECT_TRUE(ftp.Connected());
    }
}

TEST_F(IdFTPUpload, RefusedPortOrStorClosesTheListenerAndKeepsTheControlConnection) {
    struct TCase {
        const char* Name;
        std::string PortReply;
        std::string StorReply;
        int FailCode;
        std::string Step;
    };
    const TCase cases[] = {
        {"PORT refused", "500 No PORT here", "", 500, "PORT 127,0,0,1,"},
        {"STOR refused", "200 PORT ok", "553 Not allowed", 553, "STOR a.htm"},
        {"STOR answered 226", "200 PORT ok", "226 Too soon", 226, "STOR a.htm"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        bool listenerClosed = false;
        TFakeFtpServer server([&](TFakeFtpSession& s) {
            s.Login();
            s.Answer(c.PortReply);
            if (!c.StorReply.empty())
                s.Answer(c.StorReply);
            // The client closed its listening socket before it reported the failure.
            s.Command(); // the NOOP-like probe below
            try {
                ::close(s.ConnectBack());
            } catch (const TScriptEnd&) {
                listenerClosed = true;
            }
            s.Reply("200 Still here");
            s.WaitClosed();
        });
        TIdFTP ftp;
        Prepare(ftp, server.Port());
        ftp.Connect();
        TTransportError e = Failure([&] { ftp.Upload(Local("a.htm", "x"), "a.htm"); });
        EXPECT_EQ(e.ReplyCode(), c.FailCode);
        EXPECT_THAT(e.what(), HasSubstr(c.Step));
        EXPECT_TRUE(ftp.Connected());
        // The control connection is still in step: the next command gets its own reply.
        EXPECT_NO_THROW(ftp.ChangeFolder("after"));
        ftp.Disconnect();
        server.Finish();
        EXPECT_TRUE(listenerClosed);
        EXPECT_EQ(server.Commands().back(), "CWD after");
    }
}

TEST_F(IdFTPUpload, AServerThatNeverConnectsBackFailsAfterReadTimeout) {
    bool listenerClosed = false;
    TFakeFtpServer server([&](TFakeFtpSession& s) {
        s.Login();
        s.Answer("200 PORT ok");
        s.Answer("150 Go");
        try {
            s.Command(); // the CWD below, once the client has given up
        } catch (const TScriptEnd&) {
            ::close(s.ConnectBack()); // a client still waiting is let go
            throw;
        }
        try {
            ::close(s.ConnectBack());
        } catch (const TScriptEnd&) {
            listenerClosed = true;
        }
        s.Reply("250 Ok");
        s.WaitClosed();
    });
    TIdFTP ftp;
    Prepare(ftp, server.Port(), 300);
    ftp.Connect();
    auto start = std::chrono::steady_clock::now();
    TTransportError e = Failure([&] { ftp.Upload(Local("a.htm", "x"), "a.htm"); });
    EXPECT_LT(ElapsedMs(start), 2500);
    EXPECT_THAT(e.what(), HasSubstr("STOR a.htm: no data connection came (the server did not "
                                    "open it within 300 ms)"));
    EXPECT_TRUE(ftp.Connected());
    ftp.ChangeFolder("x");
    ftp.Disconnect();
    server.Finish();
    EXPECT_TRUE(listenerClosed);
}

TEST_F(IdFTPUpload, AReplyBeforeTheDataConnectionIsTheFinalReply) {
    struct TCase {
        const char* Name;
        std::string Early; // sent on the control connection before connecting back
        int FailCode;      // 0: the upload counts as done
    };
    const TCase cases[] = {
        {"226 early", "226 Done already\r\n", 0},
        {"426 then 226 early", "426 Aborted\r\n226 Closing\r\n", 0},
        {"550 early", "550 Denied\r\n", 550},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TFakeFtpServer server([&c](TFakeFtpSession& s) {
            s.Login();
            s.Answer("200 PORT ok");
            s.Answer("150 Go");
            s.Send(c.Early);
            s.Pause(200);
            s.ReceiveAll(s.ConnectBack());
            s.WaitClosed();
        });
        TIdFTP ftp;
        Prepare(ftp, server.Port());
        ftp.Connect();
        if (c.FailCode == 0) {
            EXPECT_NO_THROW(ftp.Upload(Local("a.htm", "x"), "a.htm"));
        } else {
            EXPECT_EQ(Failure([&] { ftp.Upload(Local("a.htm", "x"), "a.htm"); }).ReplyCode(),
                      c.FailCode);
        }
        EXPECT_TRUE(ftp.Connected());
        ftp.Disconnect();
        server.Finish();
        EXPECT_EQ(server.ScriptEnd(), "");
    }
}

TEST_F(IdFTPUpload, AServerThatHangsUpInsteadOfConnectingFailsTheUpload) {
    bool listenerClosed = false;
    TFakeFtpServer server([&](TFakeFtpSession& s) {
        s.Login();
        s.Answer("200 PORT ok");
        s.Answer("150 Go");
        s.HangUp();
        s.WaitClosed(); // the client gives up and closes its side
        try {
            ::close(s.ConnectBack());
        } catch (const TScriptEnd&) {
            listenerClosed = true;
        }
    });
    TIdFTP ftp;
    Prepare(ftp, server.Port(), 0);
    ftp.Connect();
    TTransportError e = Failure([&] { ftp.Upload(Local("a.htm", "x"), "a.htm"); });
    EXPECT_THAT(e.what(), HasSubstr("STOR a.htm: no data connection came (the server closed the "
                                    "connection)"));
    EXPECT_TRUE(ftp.Connected()); // the caller decides what to do with the control connection
    ftp.Disconnect();
    server.Finish();
    EXPECT_TRUE(listenerClosed);
}

TEST_F(IdFTPUpload, AMissingFinalReplyFailsAfterReadTimeout) {
    TFakeFtpServer server([](TFakeFtpSession& s) {
        s.Login();
        s.Answer("200 PORT ok");
        s.Answer("150 Go");
        s.ReceiveAll(s.ConnectBack());
        s.WaitClosed(3000);
    });
    TIdFTP ftp;
    Prepare(ftp, server.Port(), 300);
    ftp.Connect();
    EXPECT_THAT(Failure([&] { ftp.Upload(Local("a.htm", "x"), "a.htm"); }).what(),
                HasSubstr("STOR a.htm: no reply within 300 ms"));
}

TEST_F(IdFTPUpload, AnUnreadableLocalFileFailsBeforeAnythingIsSent) {
    std::filesystem::create_directory(Dir / "folder.htm");
    for (const std::string& path : {Dir / "missing.htm", Dir / "folder.htm"}) {
        SCOPED_TRACE(path);
        TFakeFtpServer server([](TFakeFtpSession& s) {
            s.Login();
            s.WaitClosed();
        });
        TIdFTP ftp;
        Prepare(ftp, server.Port());
        ftp.Connect();
        TTransportError e = Failure([&] { ftp.Upload(path, "x.htm"); });
        EXPECT_EQ(e.FileName(), path);
        EXPECT_THAT(e.what(), HasSubstr(path));
        EXPECT_TRUE(ftp.Connected());
        ftp.Disconnect();
        server.Finish();
        EXPECT_THAT(server.Commands(), ElementsAre("USER bob", "PASS s3cret-pw", "TYPE I", "SYST"));
    }
}

TEST_F(IdFTPUpload, AFileThatShrinksWhileSentFailsAndIsNotTakenForWhole) {
    const std::string path = Local("shrinking.htm", std::string(100000, 'a'));
    bool dataEndedBadly = false;
    TFakeFtpServer server([&](TFakeFtpSession& s) {
        s.Login();
        s.Answer("200 PORT ok");
        s.Command(); // STOR: the file is cut short before the data flows
        std::filesystem::resize_file(path, 10);
        s.Reply("150 Go");
        try {
            std::string data = s.ReceiveAll(s.ConnectBack());
            dataEndedBadly = data.size() != 100000;
        } catch (const TScriptEnd&) {
            dataEndedBadly = true; // reset by the client
        }
        s.WaitClosed();
    });
    TIdFTP ftp;
    Prepare(ftp, server.Port());
    ftp.Connect();
    TTransportError e = Failure([&] { ftp.Upload(path, "shrinking.htm"); });
    EXPECT_THAT(e.what(), HasSubstr("shrank while it was sent (10 of 100000 bytes)"));
    EXPECT_EQ(e.FileName(), path);
    EXPECT_TRUE(ftp.Connected());
    ftp.Disconnect();
    server.Finish();
    EXPECT_TRUE(dataEndedBadly);
}

TEST_F(IdFTPUpload, UploadWithoutAConnectionFails) {
    TIdFTP ftp;
    Prepare(ftp, 21);
    EXPECT_THAT(Failure([&] { ftp.Upload(Local("a.htm", "x"), "a.htm"); }).what(),
                HasSubstr("not connected"));
    EXPECT_THAT(Failure([&] { ftp.ChangeFolder("x"); }).what(), HasSubstr("not connected"));
}

// ---- Texts that would break a command line

TEST_F(IdFTPUpload, ALineBreakOrNulInAnyTextSentIsRefusedAndNothingOfItIsSent) {
    struct TCase {
        const char* Name;
        std::string User, Password, Folder, Remote;
        const char* Message;
        bool Connects; // false: refused before the connection is opened
    };
    const std::string dele = "DELE important.htm";
    const TCase cases[] = {
        {"CR LF in the user name", "bob\r\n" + dele, "pw", "www", "a.htm",
         "connect: the user name holds a line break", false},
        {"LF in the password", "bob", "pw\n" + dele, "www", "a.htm",
         "connect: the password holds a line break", false},
        {"NUL in the password", "bob", std::string("pw\0x", 4), "www", "a.htm",
         "connect: the password holds a line break or a NUL character", false},
        {"CR LF in the folder", "bob", "pw", "www\r\n" + dele, "a.htm",
         "change folder: the folder name holds a line break", true},
        {"CR alone in the folder", "bob", "pw", "www\r" + dele, "a.htm",
         "change folder: the folder name holds a line break", true},
        {"CR LF in the file name", "bob", "pw", "www", "index\r\n" + dele,
         "the remote file name holds a line break", true},
        {"NUL in the file name", "bob", "pw", "www", std::string("a\0.htm", 6),
         "the remote file name holds a line break or a NUL character", true},
    };
    const std::string local = Local("page.htm", "data");
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TFakeFtpServer server(ByVerb(
            "220 Hi\r\n", With(With(GoodLogin, "CWD", "250 Ok\r\n"), "DELE", "250 Deleted\r\n")));
        TIdFTP ftp;
        Prepare(ftp, server.Port());
        ftp.Username = c.User;
        ftp.Password = c.Password;
        std::string message;
        try {
            ftp.Connect();
            ftp.ChangeFolder(c.Folder);
            ftp.Upload(local, c.Remote);
        } catch (const TTransportError& e) {
            message = e.what();
        }
        EXPECT_THAT(message, HasSubstr(c.Message));
        EXPECT_EQ(ftp.Connected(), c.Connects);
        if (!c.Connects) {
            // Nothing was opened: connect once more, so that the server ends at once.
            Prepare(ftp, server.Port());
            ftp.Connect();
        }
        ftp.Disconnect();
        server.Finish();
        for (const std::string& command : server.Commands()) {
            EXPECT_THAT(command, Not(HasSubstr("DELE")));
            EXPECT_THAT(command, Not(HasSubstr("PORT")));
        }
    }
}

// ---- Who may connect to an active transfer

TEST_F(IdFTPUpload, OnlyTheServersAddressMayOpenTheDataConnection) {
    const std::string data = AllBytes();
    std::string strangerGot = "(not connected)";
    TFakeFtpServer server([&](TFakeFtpSession& s) {
        s.Login();
        s.Answer("200 PORT ok");
        s.Answer("150 Go");
        // A stranger on the same machine is first: it offers bytes and waits for the file.
        int stranger = s.ConnectBack("127.0.0.2");
        const std::string offer = "not the file";
        (void)::send(stranger, offer.data(), offer.size(), MSG_NOSIGNAL);
        strangerGot.clear();
        char buffer[4096];
        for (;;) {
            ssize_t n = TFakeFtpSession::ReadSome(stranger, buffer, sizeof buffer, 2000);
            if (n <= 0)
                break; // closed or reset by the client, or nothing within the wait
            strangerGot.append(buffer, static_cast<std::size_t>(n));
        }
        ::close(stranger);
        std::string received = s.ReceiveAll(s.ConnectBack());
        s.Reply("226 Done");
        s.Answer(received == data ? "250 Got it whole" : "550 Got something else");
        s.WaitClosed();
    });
    TIdFTP ftp;
    Prepare(ftp, server.Port());
    ftp.Connect();
    EXPECT_NO_THROW(ftp.Upload(Local("page.htm", data), "index.htm"));
    EXPECT_NO_THROW(ftp.ChangeFolder("check"));
    ftp.Disconnect();
    server.Finish();
    EXPECT_EQ(server.ScriptEnd(), "");
    EXPECT_EQ(strangerGot, "");
}

// ---- A server's text as people see it

TEST(IdFTPReplies, ServerTextIsShownWithoutControlCharactersAndAtMost200Characters) {
    struct TCase {
        const char* Name;
        std::string Text;  // after "421 "
        std::string Shown; // after "421 ", in the log and the message
    };
    const std::string x195(195, 'x');
    const TCase cases[] = {
        {"plain", "Too many users", "Too many users"},
        {"an ANSI escape", "red \x1b[31mALERT\x1b[0m", "red ?[31mALERT?[0m"},
        {"a NUL inside", std::string("cut\0here", 8), "cut?here"},
        {"tab, bell, backspace and DEL",
         "a\tb\x07"
         "c\x08"
         "d\x7f"
         "e",
         "a?b?c?d?e"},
        {"a C1 control character",
         "csi \xc2\x9b"
         "31m",
         "csi ?31m"},
        {"UTF-8 kept", "Caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x99\x82",
         "Caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x99\x82"},
        {"bytes that are not UTF-8",
         "a\xff"
         "b\xc3"
         "c\xc0\xaf"
         "d\xed\xa0\x80",
         "a?b?c??d???"},
        // 200 characters with the code: the last one a two-byte character.
        {"200 characters", x195 + "\xc3\xa9", x195 + "\xc3\xa9"},
        {"201 characters", x195 + "\xc3\xa9z", x195 + "\xc3\xa9..."},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TFakeFtpServer server(ByVerb("421 " + c.Text + "\r\n", GoodLogin));
        TIdFTP ftp;
        Prepare(ftp, server.Port());
        std::string log;
        ftp.OnLog = [&](const std::string& line) { log += line; };
        TTransportError e = Failure([&] { ftp.Connect(); });
        server.Finish();
        const std::string shown = "421 " + c.Shown;
        EXPECT_EQ(std::string(e.what()), "FTP server 127.0.0.1:" + std::to_string(server.Port()) +
                                             ", greeting: the server replied \"" + shown + "\"");
        EXPECT_EQ(log, "< " + shown);
    }
}

// ---- Cancelling

TEST_F(IdFTPUpload, CancelEndsAnyWaitWithinASecond) {
    enum TWhere { InAReply, ForTheDataConnection, InTheTransfer };
    struct TCase {
        const char* Name;
        TWhere Where;
        const char* Step;
    };
    const TCase cases[] = {
        {"a reply that never comes", InAReply, "USER bob: cancelled"},
        {"a data connection that never comes", ForTheDataConnection, "STOR big.bin: cancelled"},
        {"a transfer that the server stops taking", InTheTransfer, "STOR big.bin: cancelled"},
    };
    // Far more than the socket buffers hold, so that the transfer blocks.
    const std::string local = Local("big.bin", std::string(64 << 20, 'b'));
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TFakeFtpServer server([&c](TFakeFtpSession& s) {
            if (c.Where == InAReply) {
                s.Reply("220 Hi");
                s.Command();
                s.WaitClosed();
                return;
            }
            s.Login();
            s.Answer("200 PORT ok");
            s.Answer("150 Go");
            int data = c.Where == InTheTransfer ? s.ConnectBack() : -1;
            s.WaitClosed();
            if (data >= 0)
                ::close(data);
        });
        TIdFTP ftp;
        Prepare(ftp, server.Port(), 0); // no time-out: only the cancel ends the wait
        std::atomic<bool> cancelled{false};
        std::chrono::steady_clock::time_point cancelledAt;
        std::thread canceller([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(400));
            cancelledAt = std::chrono::steady_clock::now();
            ftp.Cancel();
            cancelled = true;
        });
        TTransportError e = Failure([&] {
            ftp.Connect();
            ftp.Upload(local, "big.bin");
        });
        canceller.join();
        EXPECT_TRUE(cancelled);
        EXPECT_LT(ElapsedMs(cancelledAt), 1000);
        EXPECT_THAT(e.what(), HasSubstr(c.Step));
        EXPECT_TRUE(ftp.Cancelled());
        // Everything after it is cancelled too, until the flag is reset.
        if (ftp.Connected()) {
            EXPECT_THAT(Failure([&] { ftp.ChangeFolder("x"); }).what(), HasSubstr("cancelled"));
        }
        ftp.ResetCancel();
        EXPECT_FALSE(ftp.Cancelled());
        ftp.Disconnect();
        server.Finish();
    }
}

// A send must get some bytes through in each period of the read time-out: a server that
// takes part of the file and then stops reading ends the upload soon after, with the bytes
// it took counted as "too little" or "nothing", however long the file; the control
// connection stays usable.
TEST_F(IdFTPUpload, ATransferThatStopsMakingProgressFailsWithinReadTimeout) {
    struct TCase {
        const char* Name;
        std::size_t TakenFirst; // bytes the server reads before it stops
    };
    const TCase cases[] = {{"taking nothing", 0}, {"taking a megabyte first", 1 << 20}};
    // Far more than the socket buffers hold, so that the transfer blocks.
    const std::string local = Local("big.bin", std::string(64 << 20, 'b'));
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TFakeFtpServer server([&c](TFakeFtpSession& s) {
            s.Login();
            s.Answer("200 PORT ok");
            s.Answer("150 Go");
            const int data = s.ConnectBack();
            // A small receive buffer, so that the stop is felt at once.
            const int small = 4096;
            ::setsockopt(data, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
            std::vector<char> buffer(65536);
            std::size_t taken = 0;
            while (taken < c.TakenFirst) {
                const ssize_t n = ::read(data, buffer.data(), buffer.size());
                if (n <= 0)
                    break;
                taken += static_cast<std::size_t>(n);
            }
            s.Command(); // the CWD below: the client gave up the transfer
            s.Reply("250 Ok");
            s.WaitClosed();
            ::close(data);
        });
        TIdFTP ftp;
        Prepare(ftp, server.Port(), 300);
        ftp.Connect();
        const auto start = std::chrono::steady_clock::now();
        TTransportError e = Failure([&] { ftp.Upload(local, "big.bin"); });
        EXPECT_LT(ElapsedMs(start), 5000);
        EXPECT_THAT(e.what(), HasSubstr("STOR big.bin: the data connection broke ("));
        EXPECT_THAT(e.what(), HasSubstr("could be sent within 300 ms"));
        EXPECT_TRUE(ftp.Connected());
        EXPECT_NO_THROW(ftp.ChangeFolder("x"));
        ftp.Disconnect();
        server.Finish();
    }
}

// ---- Downloads

TEST(IdFTPDownload, AFileDribbledSlowerThanItsPaceFailsNamingTheFileAndTheServer) {
    struct TCase {
        const char* Name;
        std::size_t Piece; // bytes sent at a time, each after PauseMs
        int PauseMs;
        std::size_t Size;  // the whole file
        const char* Fails; // the failure's detail, or null when the file comes whole
        const char* Reason;
    };
    const TCase cases[] = {
        {"a byte at a time", 1, 20, 200, "less than 16384 bytes came within 300 ms (",
         "came too slowly from"},
        {"nothing after the data connection", 0, 0, 100, "no data came within 300 ms",
         "Nothing of the file \".corvane-manifest\" came from"},
        {"a kilobyte now and then", 1024, 100, 64 * 1024,
         "less than 16384 bytes came within 300 ms (", "less than 16 KiB within 1 second ("},
        {"16 KiB now and then", 16 * 1024, 100, 80 * 1024, nullptr, nullptr},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TFakeFtpServer server([&c](TFakeFtpSession& s) {
            s.Login();
            s.Answer("200 PORT ok");
            s.Answer("150 Here it comes");
            const int data = s.ConnectBack();
            // Until the file is sent, the client goes or three seconds are over.
            const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
            std::size_t sent = 0;
            while (sent < c.Size && std::chrono::steady_clock::now() < end) {
                s.Pause(c.PauseMs);
                const std::string piece(std::min(c.Piece, c.Size - sent), 'm');
                // The client reset the connection: readable, at its end.
                if (piece.empty() && TFakeFtpSession::WaitReadable(data, 100))
                    break;
                if (piece.empty())
                    continue;
                if (::send(data, piece.data(), piece.size(), MSG_NOSIGNAL) <= 0)
                    break;
                sent += piece.size();
            }
            ::close(data);
            if (sent == c.Size)
                s.Reply("226 Done");
            s.WaitClosed();
        });
        TIdFTP ftp;
        Prepare(ftp, server.Port(), 300);
        ftp.Connect();
        const auto start = std::chrono::steady_clock::now();
        if (!c.Fails) {
            EXPECT_EQ(ftp.Download(".corvane-manifest", 1 << 20), std::string(c.Size, 'm'));
            ftp.Disconnect();
            server.Finish();
            continue;
        }
        TTransportError e = Failure([&] { ftp.Download(".corvane-manifest", 1 << 20); });
        EXPECT_LT(ElapsedMs(start), 1500);
        EXPECT_EQ(e.Kind(), TTransportFailure::NoAnswer);
        EXPECT_EQ(e.FileName(), ".corvane-manifest");
        EXPECT_THAT(e.what(), HasSubstr("RETR .corvane-manifest: " + std::string(c.Fails)));
        EXPECT_THAT(e.Reason(), HasSubstr(c.Reason));
        EXPECT_THAT(e.Reason(), HasSubstr("127.0.0.1:" + std::to_string(server.Port())));
        EXPECT_THAT(e.Reason(), HasSubstr("\".corvane-manifest\""));
        // The server's final reply would be out of step: the session is given up.
        EXPECT_FALSE(ftp.Connected());
        server.Finish();
    }
}
