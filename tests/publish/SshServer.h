#pragma once

// A real SSH server for the tests: OpenSSH's sshd on 127.0.0.1, on a free port, from a
// configuration of its own in a temporary folder (generated host key, the test's client key
// authorised, SFTP inside sshd). It logs in the user that runs the test. It ends by itself
// after its lifetime (coreutils' timeout runs it), whatever happens to the test, and is
// stopped by its process id when the object goes.

#include "TestSupport.h"
#include "publish/ChildProcess.h"
#include "publish/RequireServers.h"

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <netinet/in.h>
#include <pwd.h>
#include <string>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace sshserver {

constexpr const char* Sshd = "/usr/sbin/sshd";
// The server ends by itself after this many seconds.
constexpr int LifetimeSeconds = 180;

// A port on 127.0.0.1 that nothing listens at just now.
inline int FreePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    ::close(fd);
    return port;
}

inline std::string UserName() {
    const passwd* user = ::getpwuid(::geteuid());
    return user ? user->pw_name : "root";
}

// Makes an ed25519 key pair without a passphrase: path and path + ".pub".
inline bool MakeKey(const std::string& path) {
    TProcessResult r = RunProcess(
        {"ssh-keygen", "-q", "-t", "ed25519", "-N", "", "-C", "corvane-test", "-f", path}, "",
        20000);
    return r.ExitCode == 0;
}

inline std::string Trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    return text;
}

// The SHA-256 fingerprint of a public key file as ssh-keygen reports it ("SHA256:" and
// unpadded base64), converted to upper-case hexadecimal pairs joined by colons.
inline std::string KeygenFingerprint(const std::string& publicKeyFile) {
    TProcessResult r =
        RunProcess({"ssh-keygen", "-l", "-E", "sha256", "-f", publicKeyFile}, "", 20000);
    const std::size_t start = r.Out.find("SHA256:");
    if (r.ExitCode != 0 || start == std::string::npos)
        return {};
    const std::size_t end = r.Out.find(' ', start);
    const std::string base64 = r.Out.substr(start + 7, end - start - 7);
    static const std::string alphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string bytes;
    unsigned bits = 0, count = 0;
    for (char c : base64) {
        const std::size_t value = alphabet.find(c);
        if (value == std::string::npos)
            break;
        bits = (bits << 6) | static_cast<unsigned>(value);
        count += 6;
        if (count >= 8) {
            count -= 8;
            bytes += static_cast<char>((bits >> count) & 0xFF);
        }
    }
    static const char digits[] = "0123456789ABCDEF";
    std::string hex;
    for (unsigned char b : bytes) {
        if (!hex.empty())
            hex += ':';
        hex += digits[b >> 4];
        hex += digits[b & 0x0F];
    }
    return hex;
}

} // namespace sshserver

// Why the SSH tests cannot run here, or empty when they can.
inline std::string SshServerMissing() {
    if (::access(sshserver::Sshd, X_OK) != 0)
        return std::string(sshserver::Sshd) + " is not installed (openssh-server)";
    TProcessResult keygen = RunProcess({"ssh-keygen", "-?"}, "", 20000);
    if (keygen.ExitCode == 127)
        return "ssh-keygen is not installed (openssh-client)";
    TProcessResult timeout = RunProcess({"timeout", "--version"}, "", 20000);
    if (timeout.ExitCode != 0)
        return "timeout (coreutils) is not installed";
    return {};
}

class TSshServer {
  public:
    // Starts sshd with a new host key; the client key in ClientKey() may log in. With
    // fileSizeLimit, no file the server writes grows past that many bytes (the write fails
    // as on a full disk).
    explicit TSshServer(const std::string& hostKeyName = "host_ed25519", rlim_t fileSizeLimit = 0) {
        std::error_code ignored;
        // The folder is the server's: sshd reads it as the user it runs as.
        std::filesystem::permissions(
            Dir.Path(),
            std::filesystem::perms::owner_all | std::filesystem::perms::group_read |
                std::filesystem::perms::group_exec | std::filesystem::perms::others_read |
                std::filesystem::perms::others_exec,
            ignored);
        if (!sshserver::MakeKey(Dir / hostKeyName) || !sshserver::MakeKey(ClientKey()) ||
            !sshserver::MakeKey(OtherKey()))
            return;
        WriteFileBytes(Dir / "authorized_keys", ReadFileBytes(ClientKey() + ".pub"));
        HostKeyFile = Dir / hostKeyName;
        // As root, sshd insists on its privilege separation folder, which the package's
        // service makes at boot; a container that never ran the service lacks it.
        if (::geteuid() == 0)
            std::filesystem::create_directories("/run/sshd", ignored);
        // Another program may take the free port before sshd does: then sshd ends, and it
        // starts again on another.
        for (int attempt = 0; attempt < 3 && !FStarted; ++attempt) {
            FPort = sshserver::FreePort();
            const std::string config = "Port " + std::to_string(FPort) +
                                       "\n"
                                       "ListenAddress 127.0.0.1\n"
                                       "HostKey " +
                                       HostKeyFile + "\nPidFile " + PidFile() +
                                       "\n"
                                       "AuthorizedKeysFile " +
                                       (Dir / "authorized_keys") +
                                       "\n"
                                       "StrictModes no\n"
                                       "UsePAM no\n"
                                       "PermitRootLogin yes\n"
                                       "PubkeyAuthentication yes\n"
                                       "PasswordAuthentication yes\n"
                                       "KbdInteractiveAuthentication no\n"
                                       "MaxAuthTries 10\n"
                                       "LoginGraceTime 30\n"
                                       "Subsystem sftp internal-sftp\n"
                                       "LogLevel VERBOSE\n";
            WriteFileBytes(Dir / "sshd_config", config);
            // Everything the child needs is made before fork: it only execs.
            const std::vector<std::string> argv = {"timeout",
                                                   std::to_string(sshserver::LifetimeSeconds),
                                                   sshserver::Sshd,
                                                   "-D",
                                                   "-e",
                                                   "-f",
                                                   Dir / "sshd_config"};
            std::vector<char*> args = childprocess::Arguments(argv);
            const int log =
                ::open((Dir / "sshd.log").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
            const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
            FPid = ::fork();
            if (FPid == 0) {
                if (fileSizeLimit > 0) {
                    // The write past the limit fails (EFBIG) instead of ending the process.
                    ::signal(SIGXFSZ, SIG_IGN);
                    const rlimit limit{fileSizeLimit, fileSizeLimit};
                    ::setrlimit(RLIMIT_FSIZE, &limit);
                }
                ::dup2(null, 0);
                ::dup2(null, 1);
                ::dup2(log, 2);
                ::execvp(args[0], args.data());
                ::_exit(127);
            }
            ::close(log);
            ::close(null);
            // sshd writes its process id file once it listens.
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
            while (std::chrono::steady_clock::now() < deadline) {
                int status = 0;
                if (::waitpid(FPid, &status, WNOHANG) == FPid) {
                    FPid = -1;
                    break;
                }
                if (PathExists(PidFile()) && !ReadFileBytes(PidFile()).empty()) {
                    FStarted = true;
                    break;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
            if (!FStarted && FPid > 0) {
                childprocess::Stop(FPid);
                FPid = -1;
            }
        }
    }
    ~TSshServer() {
        if (FPid > 0)
            childprocess::Stop(FPid);
    }
    TSshServer(const TSshServer&) = delete;
    TSshServer& operator=(const TSshServer&) = delete;

    bool Started() const { return FStarted; }
    int Port() const { return FPort; }
    // What sshd wrote, for a failing test's account.
    std::string Log() const { return ReadFileBytes(Dir / "sshd.log"); }

    std::string ClientKey() const { return Dir / "client_key"; }
    // A key the server does not know.
    std::string OtherKey() const { return Dir / "other_key"; }
    std::string HostPublicKey() const { return HostKeyFile + ".pub"; }
    std::string HostFingerprint() const { return sshserver::KeygenFingerprint(HostPublicKey()); }

    // A known_hosts line naming this server with the given public key file's key.
    std::string KnownHostsLine(const std::string& publicKeyFile) const {
        const std::string key = sshserver::Trimmed(ReadFileBytes(publicKeyFile));
        // "TYPE BASE64 COMMENT": the comment is left out.
        const std::size_t second = key.find(' ', key.find(' ') + 1);
        return "[127.0.0.1]:" + std::to_string(FPort) + " " + key.substr(0, second) + "\n";
    }

    TTempFolder Dir;

  private:
    std::string PidFile() const { return Dir / "sshd.pid"; }

    std::string HostKeyFile;
    pid_t FPid = -1;
    int FPort = 0;
    bool FStarted = false;
};

// Sets an environment variable (or, with no value, unsets it) for as long as it lives, then
// puts back what was there.
class TScopedEnvironment {
  public:
    TScopedEnvironment(std::string name, const char* value) : FName(std::move(name)) {
        if (const char* before = std::getenv(FName.c_str())) {
            FHad = true;
            FBefore = before;
        }
        if (value)
            ::setenv(FName.c_str(), value, 1);
        else
            ::unsetenv(FName.c_str());
    }
    ~TScopedEnvironment() {
        if (FHad)
            ::setenv(FName.c_str(), FBefore.c_str(), 1);
        else
            ::unsetenv(FName.c_str());
    }
    TScopedEnvironment(const TScopedEnvironment&) = delete;
    TScopedEnvironment& operator=(const TScopedEnvironment&) = delete;

  private:
    std::string FName;
    bool FHad = false;
    std::string FBefore;
};

// An ssh-agent of the test's own, listening at a socket in its folder: it ends by itself
// after its lifetime (coreutils' timeout runs it) and is stopped by its process id when the
// object goes. Keys are added with ssh-add.
class TSshAgent {
  public:
    TSshAgent() {
        // -D: in the foreground, telling its socket on the first line.
        FProcess = std::make_unique<TServerProcess>(
            std::vector<std::string>{"timeout", std::to_string(sshserver::LifetimeSeconds),
                                     "ssh-agent", "-D", "-a", Socket()},
            10000);
        FStarted = FProcess->FirstLine().find("SSH_AUTH_SOCK=" + Socket()) != std::string::npos;
    }

    bool Started() const { return FStarted; }
    std::string Socket() const { return Dir / "agent.sock"; }
    // Adds the private key file to the agent; the error output when it fails.
    std::string Add(const std::string& keyFile) const {
        TProcessResult r =
            RunProcess({"env", "SSH_AUTH_SOCK=" + Socket(), "ssh-add", keyFile}, "", 20000);
        return r.ExitCode == 0 ? std::string()
                               : r.Err + " (exit " + std::to_string(r.ExitCode) + ")";
    }

    TTempFolder Dir;

  private:
    std::unique_ptr<TServerProcess> FProcess;
    bool FStarted = false;
};
