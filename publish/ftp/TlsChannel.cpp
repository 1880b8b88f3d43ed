#include "publish/ftp/TlsChannel.h"

#include "publish/Transport.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <poll.h>

namespace {

// The first error of OpenSSL's queue as text (the queue emptied), or fallback.
std::string QueuedError(const std::string& fallback) {
    unsigned long code = ERR_get_error();
    if (code == 0)
        return fallback;
    char text[256] = {};
    ERR_error_string_n(code, text, sizeof text);
    ERR_clear_error();
    return text;
}

// The sessions that the server gave, kept with the context.
struct TTickets {
    SSL_SESSION* Latest = nullptr;
    unsigned Count = 0;
};

// OpenSSL's call for each new session or ticket: the latest is kept (the reference taken).
extern "C" int KeepNewSession(SSL* ssl, SSL_SESSION* session) {
    auto* tickets = static_cast<TTickets*>(SSL_CTX_get_app_data(SSL_get_SSL_CTX(ssl)));
    if (!tickets)
        return 0;
    SSL_SESSION_free(tickets->Latest);
    tickets->Latest = session;
    ++tickets->Count;
    return 1;
}

bool IsAddress(const std::string& host) {
    unsigned char buffer[16];
    return ::inet_pton(AF_INET, host.c_str(), buffer) == 1 ||
           ::inet_pton(AF_INET6, host.c_str(), buffer) == 1;
}

} // namespace

ssl_ctx_st* TTlsChannel::NewContext(const std::string& caFile, std::string& error) {
    SSL_CTX* context = SSL_CTX_new(TLS_client_method());
    if (!context) {
        error = QueuedError("OpenSSL cannot make a TLS context");
        return nullptr;
    }
    SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION);
    // The sessions are kept so that each data connection can resume the control one's.
    SSL_CTX_set_session_cache_mode(context,
                                   SSL_SESS_CACHE_CLIENT | SSL_SESS_CACHE_NO_INTERNAL_STORE);
    SSL_CTX_set_app_data(context, new TTickets);
    SSL_CTX_sess_set_new_cb(context, KeepNewSession);
    // A server that closes a connection without the close notification has ended it.
    SSL_CTX_set_options(context, SSL_OP_IGNORE_UNEXPECTED_EOF);
    SSL_CTX_set_mode(context, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    // The handshake goes on whatever the check says; Verified() tells, and the client
    // refuses an unverified certificate unless the owner trusts exactly that one.
    SSL_CTX_set_verify(context, SSL_VERIFY_NONE, nullptr);
    if (SSL_CTX_set_default_verify_paths(context) != 1)
        ERR_clear_error();
    if (!caFile.empty() && SSL_CTX_load_verify_locations(context, caFile.c_str(), nullptr) != 1) {
        error = QueuedError("the CA file " + caFile + " cannot be read");
        FreeContext(context);
        return nullptr;
    }
    return context;
}

void TTlsChannel::FreeContext(ssl_ctx_st* context) noexcept {
    if (!context)
        return;
    if (auto* tickets = static_cast<TTickets*>(SSL_CTX_get_app_data(context))) {
        SSL_SESSION_free(tickets->Latest);
        delete tickets;
    }
    SSL_CTX_free(context);
}

TTlsChannel::~TTlsChannel() {
    Close();
}

bool TTlsChannel::Start(ssl_ctx_st* context, int fd, const std::string& host,
                        ssl_session_st* resume, std::string& error) {
    Close();
    int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0) {
        error = std::strerror(errno);
        return false;
    }
    FSsl = SSL_new(context);
    if (!FSsl || SSL_set_fd(FSsl, fd) != 1) {
        error = QueuedError("OpenSSL cannot start TLS");
        Close();
        return false;
    }
    X509_VERIFY_PARAM* param = SSL_get0_param(FSsl);
    X509_VERIFY_PARAM_set_hostflags(param, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
    const bool named = !IsAddress(host);
    if (named ? SSL_set1_host(FSsl, host.c_str()) != 1
              : X509_VERIFY_PARAM_set1_ip_asc(param, host.c_str()) != 1) {
        error = QueuedError("the host name cannot be checked");
        Close();
        return false;
    }
    if (named)
        SSL_set_tlsext_host_name(FSsl, host.c_str());
    if (resume && SSL_SESSION_is_resumable(resume))
        SSL_set_session(FSsl, resume);
    SSL_set_connect_state(FSsl);
    return true;
}

long TTlsChannel::Outcome(int result, const char* what) {
    if (result > 0)
        return result;
    const int code = SSL_get_error(FSsl, result);
    switch (code) {
    case SSL_ERROR_WANT_READ:
        FWant = POLLIN;
        return Blocked;
    case SSL_ERROR_WANT_WRITE:
        FWant = POLLOUT;
        return Blocked;
    case SSL_ERROR_ZERO_RETURN:
        return 0;
    case SSL_ERROR_SYSCALL:
        if (errno == EINTR) {
            FWant = POLLIN;
            return Blocked;
        }
        if (errno == 0 && std::strcmp(what, "read") == 0)
            return 0; // the peer closed the connection
        FError = QueuedError(errno != 0 ? std::strerror(errno)
                                        : "the connection ended in the middle of TLS");
        return Failed;
    default:
        FError = QueuedError(std::string("TLS ") + what + " failed");
        return Failed;
    }
}

long TTlsChannel::Handshake() {
    errno = 0;
    ERR_clear_error();
    const int result = SSL_do_handshake(FSsl);
    return result == 1 ? 1 : Outcome(result, "handshake");
}

long TTlsChannel::Read(char* buffer, std::size_t size) {
    errno = 0;
    ERR_clear_error();
    std::size_t got = 0;
    const int result = SSL_read_ex(FSsl, buffer, size, &got);
    return result == 1 ? static_cast<long>(got) : Outcome(0, "read");
}

long TTlsChannel::Write(const char* data, std::size_t size) {
    errno = 0;
    ERR_clear_error();
    std::size_t sent = 0;
    const int result = SSL_write_ex(FSsl, data, size, &sent);
    return result == 1 ? static_cast<long>(sent) : Outcome(-1, "write");
}

long TTlsChannel::Shutdown() noexcept {
    if (!FSsl)
        return Failed;
    errno = 0;
    ERR_clear_error();
    const int result = SSL_shutdown(FSsl);
    // 0: the notification is sent and the peer's is not awaited.
    if (result >= 0)
        return 1;
    const int code = SSL_get_error(FSsl, result);
    if (code == SSL_ERROR_WANT_READ || code == SSL_ERROR_WANT_WRITE) {
        FWant = code == SSL_ERROR_WANT_READ ? POLLIN : POLLOUT;
        return Blocked;
    }
    ERR_clear_error();
    return Failed;
}

void TTlsChannel::Close() noexcept {
    if (FSsl)
        SSL_free(FSsl);
    FSsl = nullptr;
    FWant = 0;
}

void TTlsChannel::Abandon() noexcept {
    // OpenSSL forgets a session whose connection ends without having sent its close
    // notification; this one counts as sent.
    if (FSsl)
        SSL_set_shutdown(FSsl, SSL_get_shutdown(FSsl) | SSL_SENT_SHUTDOWN);
    Close();
}

bool TTlsChannel::Pending() const {
    return FSsl && SSL_pending(FSsl) > 0;
}

bool TTlsChannel::Verified() const {
    if (!FSsl)
        return false;
    X509* certificate = SSL_get0_peer_certificate(FSsl);
    return certificate && SSL_get_verify_result(FSsl) == X509_V_OK;
}

std::string TTlsChannel::VerifyError() const {
    if (!FSsl || !SSL_get0_peer_certificate(FSsl))
        return "the server sent no certificate";
    return X509_verify_cert_error_string(SSL_get_verify_result(FSsl));
}

std::string TTlsChannel::Fingerprint() const {
    X509* certificate = FSsl ? SSL_get0_peer_certificate(FSsl) : nullptr;
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (!certificate || X509_digest(certificate, EVP_sha256(), digest, &length) != 1)
        return "";
    return FingerprintText(digest, length);
}

bool TTlsChannel::Resumed() const {
    return FSsl && SSL_session_reused(FSsl) == 1;
}

ssl_session_st* TTlsChannel::LatestSession(ssl_ctx_st* context) {
    auto* tickets = context ? static_cast<TTickets*>(SSL_CTX_get_app_data(context)) : nullptr;
    return tickets ? tickets->Latest : nullptr;
}

unsigned TTlsChannel::SessionsReceived(ssl_ctx_st* context) {
    auto* tickets = context ? static_cast<TTickets*>(SSL_CTX_get_app_data(context)) : nullptr;
    return tickets ? tickets->Count : 0;
}
