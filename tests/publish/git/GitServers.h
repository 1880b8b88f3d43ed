#pragma once

// The Git servers of the tests, each serving the bare repositories in a folder of its own:
// the repositories as local folders (file://), git http-backend behind the tests' small HTTP
// server (git-http-server.py, with basic authentication), and the tests' sshd, whose key for
// the test runs git-shell as its forced command. All listen on 127.0.0.1 only and end by
// themselves; the test stops them by their process id when they go.

#include "TestSupport.h"
#include "publish/ChildProcess.h"
#include "publish/SshServer.h"
#include "publish/git/GitPublisher.h"

#include <memory>
#include <string>
#include <vector>

// Runs git with args; its output, or a failure of the test that says what git said.
inline std::string RunGit(const std::vector<std::string>& args, bool* failed = nullptr) {
    std::vector<std::string> argv = {"git",
                                     "-c",
                                     "user.name=Other Person",
                                     "-c",
                                     "user.email=other@example.org",
                                     "-c",
                                     "init.defaultBranch=main",
                                     "-c",
                                     "advice.detachedHead=false"};
    argv.insert(argv.end(), args.begin(), args.end());
    const TProcessResult r = RunProcess(argv, "", 60000);
    if (failed)
        *failed = r.ExitCode != 0;
    else if (r.ExitCode != 0)
        ADD_FAILURE() << "git failed: " << r.Err;
    return r.Out;
}

class TGitServer {
  public:
    virtual ~TGitServer() = default;
    // Why the server cannot run here, or empty.
    virtual std::string Missing() const = 0;
    // The address of the repository name in Root.
    virtual std::string Address(const std::string& name) const = 0;
    // The settings the server needs besides the address (keys, known hosts, token).
    virtual void Prepare(TGitSettings&) const {}
    virtual const char* Kind() const = 0;

    // A new empty bare repository in Root.
    std::string MakeRepository(const std::string& name) const {
        RunGit({"init", "-q", "--bare", Root.Path() + "/" + name});
        return Root.Path() + "/" + name;
    }

    TTempFolder Root;
};

class TFileGitServer : public TGitServer {
  public:
    std::string Missing() const override { return {}; }
    std::string Address(const std::string& name) const override {
        return "file://" + Root.Path() + "/" + name;
    }
    const char* Kind() const override { return "file"; }
};

class THttpGitServer : public TGitServer {
  public:
    static constexpr const char* User = "tester";
    static constexpr const char* Token = "secret-token";

    THttpGitServer() {
        const TProcessResult backend = RunProcess({"git", "http-backend"}, "", 20000);
        if (backend.ExitCode == 127 || backend.Out.find("Status:") == std::string::npos) {
            FMissing = "git http-backend does not run (git)";
            return;
        }
        FProcess = std::make_unique<TServerProcess>(
            std::vector<std::string>{"python3",
                                     SourceFolder() + "/tests/publish/git/git-http-server.py",
                                     Root.Path(), "180", std::string(User) + ":" + Token},
            20000);
        FPort = std::atoi(FProcess->FirstLine().c_str());
        if (FPort <= 0)
            FMissing = "the test's HTTP server did not start (python3)";
    }
    std::string Missing() const override { return FMissing; }
    std::string Address(const std::string& name) const override {
        return "http://127.0.0.1:" + std::to_string(FPort) + "/" + name;
    }
    void Prepare(TGitSettings& settings) const override {
        settings.User = User;
        settings.Token = Token;
    }
    const char* Kind() const override { return "http"; }

  private:
    std::unique_ptr<TServerProcess> FProcess;
    std::string FMissing;
    int FPort = 0;
};

class TSshGitServer : public TGitServer {
  public:
    TSshGitServer() {
        FMissing = SshServerMissing();
        if (!FMissing.empty())
            return;
        FServer = std::make_unique<TSshServer>();
        if (!FServer->Started()) {
            FMissing = "sshd did not start: " + FServer->Log();
            return;
        }
        // The test's key may only run git-shell.
        ForceCommand(GitShell);
        WriteFileBytes(KnownHosts(), FServer->KnownHostsLine(FServer->HostPublicKey()));
    }
    // What the test's key runs from its next login on, whatever the client asks for.
    void ForceCommand(const std::string& command) const {
        WriteFileBytes(FServer->Dir / "authorized_keys",
                       "command=\"" + command + "\",no-pty " +
                           ReadFileBytes(FServer->ClientKey() + ".pub"));
    }
    static constexpr const char* GitShell = "git-shell -c \\\"$SSH_ORIGINAL_COMMAND\\\"";
    std::string Missing() const override { return FMissing; }
    std::string Address(const std::string& name) const override {
        return "ssh://" + sshserver::UserName() + "@127.0.0.1:" + std::to_string(FServer->Port()) +
               Root.Path() + "/" + name;
    }
    void Prepare(TGitSettings& settings) const override {
        settings.KnownHostsFile = KnownHosts();
        settings.IdentityFile = FServer->ClientKey();
    }
    const char* Kind() const override { return "ssh"; }
    std::string KnownHosts() const { return FServer->Dir / "known_hosts"; }
    std::string HostFingerprint() const { return FServer->HostFingerprint(); }

  private:
    std::unique_ptr<TSshServer> FServer;
    std::string FMissing;
};
