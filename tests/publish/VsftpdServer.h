#pragma once

// vsftpd for the tests, a server that requires each data connection to resume the control
// connection's TLS session (require_ssl_reuse=YES): started as root from a configuration of
// the test on a free port of 127.0.0.1, ending by itself after two minutes. It logs in root
// with the test's password, which only this test's PAM service (pam_userdb with a database
// of the test) accepts; the user's folder is Home(), with a folder www in it.

#include "TestSupport.h"
#include "publish/ChildProcess.h"
#include "publish/TestCertificates.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace vsftpd {

inline const char* const Vsftpd = "/usr/sbin/vsftpd";
inline const char* const PamFolder = "/etc/pam.d";
inline const char* const PamPrefix = "corvane-test-";

// A free port of 127.0.0.1 (taken by the system, then let go).
inline int FreePort() {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    if (fd >= 0)
        ::close(fd);
    return port;
}

// True once something accepts connections on 127.0.0.1:port, within waitMs.
inline bool Listening(int port, int waitMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    while (std::chrono::steady_clock::now() < end) {
        int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        const bool up =
            fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        if (fd >= 0)
            ::close(fd);
        if (up)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

// Removes the PAM services that earlier runs of the test left behind (their process gone).
inline void RemoveStalePamServices() {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(PamFolder, error)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(PamPrefix, 0) != 0)
            continue;
        const pid_t pid = static_cast<pid_t>(std::atol(name.c_str() + std::strlen(PamPrefix)));
        if (pid > 0 && ::kill(pid, 0) != 0 && errno == ESRCH)
            std::filesystem::remove(entry.path(), error);
    }
}

} // namespace vsftpd

class TVsftpdServer {
  public:
    // Why the server cannot run here (a package missing, not root), or empty.
    static std::string Missing() {
        if (::access(vsftpd::Vsftpd, X_OK) != 0)
            return "vsftpd is not installed";
        if (::geteuid() != 0)
            return "vsftpd is started as root (as in CI)";
        return {};
    }

    TVsftpdServer() = default;
    ~TVsftpdServer() {
        Server.reset();
        if (!Service.empty())
            std::filesystem::remove(std::string(vsftpd::PamFolder) + "/" + Service);
    }
    TVsftpdServer(const TVsftpdServer&) = delete;
    TVsftpdServer& operator=(const TVsftpdServer&) = delete;

    // Starts the server; why it did not start, or empty.
    std::string Start() {
        using namespace vsftpd;
        std::filesystem::create_directories(Dir / "certs");
        Certificates = std::make_unique<TTestCertificates>(Dir / "certs");
        if (!Certificates->Error().empty())
            return "the openssl program cannot make the test certificates";

        // The empty folder is vsftpd's secure chroot, root's only.
        ::chmod(Dir.Path().c_str(), 0755);
        std::filesystem::create_directories(Home() + "/www");
        std::filesystem::create_directories(Dir / "empty");
        ::chmod(Home().c_str(), 0777);
        ::chmod((Home() + "/www").c_str(), 0777);
        ::chmod((Dir / "empty").c_str(), 0755);

        // The test's password, in a Berkeley DB that the PAM service of this test only reads.
        const std::string users = Dir / "users";
        TProcessResult made =
            RunProcess({"/usr/bin/python3", "-c",
                        "import dbm.ndbm, sys\nd = dbm.ndbm.open(sys.argv[1], 'c', 0o600)\n"
                        "d[b'root'] = b'pa55 word'\nd.close()\n",
                        users},
                       "", 20000);
        if (made.ExitCode != 0)
            return "python3 cannot write a Berkeley DB for pam_userdb: " + made.Err;
        RemoveStalePamServices();
        // One service for each server of this process (the process's id first).
        static int servers = 0;
        Service =
            std::string(PamPrefix) + std::to_string(::getpid()) + "-" + std::to_string(++servers);
        WriteFileBytes(std::string(PamFolder) + "/" + Service,
                       "auth required pam_userdb.so db=" + users +
                           "\naccount required pam_permit.so\nsession required pam_permit.so\n");

        Port = FreePort();
        if (Port <= 0)
            return "no free port";
        const std::string config = Dir / "vsftpd.conf";
        WriteFileBytes(config, "listen=YES\nlisten_ipv6=NO\nlisten_address=127.0.0.1\n"
                               "listen_port=" +
                                   std::to_string(Port) +
                                   "\nbackground=NO\n"
                                   "anonymous_enable=NO\nlocal_enable=YES\nwrite_enable=YES\n"
                                   "local_root=" +
                                   Home() +
                                   "\nchroot_local_user=NO\n"
                                   "pam_service_name=" +
                                   Service + "\nsecure_chroot_dir=" + (Dir / "empty") +
                                   "\nseccomp_sandbox=NO\nisolate=NO\nisolate_network=NO\n"
                                   "ssl_enable=YES\nrsa_cert_file=" +
                                   Certificates->ServerCertificate() +
                                   "\nrsa_private_key_file=" + Certificates->ServerKey() +
                                   (RequireTls ? "\nforce_local_logins_ssl=YES\n"
                                                 "force_local_data_ssl=YES\n"
                                               : "\nforce_local_logins_ssl=NO\n"
                                                 "force_local_data_ssl=NO\n") +
                                   "require_ssl_reuse=YES\nssl_ciphers=HIGH\n"
                                   "pasv_enable=YES\nport_enable=YES\n"
                                   "connect_from_port_20=NO\nxferlog_enable=NO\n"
                                   "local_umask=022\nfile_open_mode=0666\n");
        ::chmod(config.c_str(), 0600);
        // Ends by itself after two minutes, whatever happens to the test.
        Server = std::make_unique<TServerProcess>(
            std::vector<std::string>{"timeout", "120", Vsftpd, config}, 200);
        if (!Listening(Port, 10000))
            return "vsftpd did not start";
        return {};
    }

    std::string Home() { return Dir / "home"; }

    // Whether logins and data connections must use TLS (set before Start); plain FTP is
    // allowed besides FTPS otherwise.
    bool RequireTls = true;
    TTempFolder Dir;
    std::unique_ptr<TTestCertificates> Certificates;
    std::unique_ptr<TServerProcess> Server;
    std::string Service;
    int Port = 0;
};
