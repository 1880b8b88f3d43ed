// Any bytes as what an FTP server sends: the client logs in and changes folder against a
// loopback peer that sends the input and hangs up. Every step succeeds or fails with a
// TTransportError, never a crash, a hang or unbounded memory.
#include "publish/ftp/IdFTP.h"

#include <arpa/inet.h>
#include <cstdint>
#include <cstdlib>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

// The listening socket on 127.0.0.1, for the whole run.
int Listener(int& port) {
    static int fd = -1;
    static int bound = 0;
    if (fd < 0) {
        fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(fd, 4) != 0 ||
            ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            std::abort();
        bound = ntohs(address.sin_port);
    }
    port = bound;
    return fd;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    int port = 0;
    const int listener = Listener(port);
    const std::string input(reinterpret_cast<const char*>(data), size);

    // The peer: takes the connection, sends the input whole and hangs up.
    std::thread peer([listener, &input] {
        int fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            return;
        std::size_t done = 0;
        while (done < input.size()) {
            ssize_t n = ::send(fd, input.data() + done, input.size() - done, MSG_NOSIGNAL);
            if (n <= 0)
                break;
            done += static_cast<std::size_t>(n);
        }
        ::shutdown(fd, SHUT_WR);
        // Whatever the client still sends is read until it goes, so that it is never reset.
        char buffer[4096];
        while (::recv(fd, buffer, sizeof buffer, 0) > 0) {
        }
        ::close(fd);
    });

    TIdFTP ftp;
    ftp.Host = "127.0.0.1";
    ftp.Port = port;
    ftp.Username = "user";
    ftp.Password = "pw";
    ftp.ReadTimeout = 2000;
    try {
        ftp.Connect();
        ftp.ChangeFolder("www");
        (void)ftp.LastReplyCode();
    } catch (const TTransportError&) {
    }
    ftp.Disconnect();
    peer.join();
    return 0;
}
