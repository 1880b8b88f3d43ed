#include "publish/PublishPassword.h"

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace {

// The signal that came while the question was asked, 0 for none.
volatile std::sig_atomic_t Interrupted = 0;

extern "C" void NoteSignal(int signal) {
    Interrupted = signal;
}

// The signals that would otherwise end or stop the program with the echo off.
constexpr int CaughtSignals[] = {SIGINT, SIGTERM, SIGQUIT, SIGHUP, SIGTSTP};
constexpr int CaughtCount = sizeof CaughtSignals / sizeof CaughtSignals[0];

// The longest line that is read; the rest of a longer one is left unread.
constexpr std::size_t MaxPasswordLength = 4096;

void WriteAll(int fd, const std::string& text) {
    const char* data = text.data();
    std::size_t left = text.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, data, left);
        if (n < 0 && errno == EINTR && !Interrupted)
            continue;
        if (n <= 0)
            return;
        data += n;
        left -= static_cast<std::size_t>(n);
    }
}

} // namespace

TPublishPassword FindPublishPassword(const TKeyringKey& key, const std::string& projectPassword,
                                     TKeyring& keyring, const TPasswordReader& ask) {
    TPublishPassword result;
    const TKeyringAnswer found = keyring.Find(key);
    if (found.Status == TKeyringStatus::Done) {
        result.Password = found.Password;
        result.Source = TPasswordSource::Keyring;
        return result;
    }
    result.KeyringReason = found.Reason;
    if (!projectPassword.empty()) {
        result.Password = projectPassword;
        result.Source = TPasswordSource::Project;
        return result;
    }
    if (const char* variable = std::getenv(PasswordVariable); variable && *variable) {
        result.Password = variable;
        result.Source = TPasswordSource::Environment;
        return result;
    }
    const std::string prompt = "Password for " + key.User + "@" + key.Host + ": ";
    std::optional<std::string> typed = ask ? ask(prompt) : AskPasswordOnTerminal(prompt);
    if (typed) {
        result.Password = std::move(*typed);
        result.Source = TPasswordSource::Terminal;
    }
    return result;
}

TPasswordKept KeepPublishPassword(const TKeyringKey& key, const std::string& typed,
                                  std::string& storedPassword, TKeyring& keyring) {
    const TKeyringAnswer answer = typed.empty() ? keyring.Delete(key) : keyring.Store(key, typed);
    TPasswordKept kept;
    if (answer.Status == TKeyringStatus::Done || answer.Status == TKeyringStatus::NotFound) {
        storedPassword.clear();
        kept.InKeyring = true;
        return kept;
    }
    storedPassword = typed;
    if (!typed.empty())
        kept.Note = "The password is kept in the project: " + answer.Reason + ".";
    return kept;
}

std::string LoadPublishPassword(const TKeyringKey& key, const std::string& storedPassword,
                                TKeyring& keyring) {
    const TKeyringAnswer found = keyring.Find(key);
    return found.Status == TKeyringStatus::Done ? found.Password : storedPassword;
}

std::optional<std::string> AskPasswordOnTerminal(const std::string& prompt) {
    const int tty = ::open("/dev/tty", O_RDWR | O_CLOEXEC | O_NOCTTY);
    if (tty < 0)
        return std::nullopt;
    termios before{};
    if (::tcgetattr(tty, &before) != 0) {
        ::close(tty);
        return std::nullopt;
    }

    // A signal ends the question; the echo is put back before the signal is passed on.
    Interrupted = 0;
    struct sigaction note {};
    note.sa_handler = NoteSignal;
    sigemptyset(&note.sa_mask);
    note.sa_flags = 0; // no SA_RESTART: the read ends at once
    struct sigaction saved[CaughtCount] = {};
    for (int i = 0; i < CaughtCount; ++i)
        ::sigaction(CaughtSignals[i], &note, &saved[i]);

    termios quiet = before;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHOE | ECHOK);
    // The line's end is still echoed, so that what follows starts on a line of its own.
    quiet.c_lflag |= ICANON | ECHONL;
    ::tcsetattr(tty, TCSAFLUSH, &quiet);
    WriteAll(tty, prompt);

    std::string line;
    bool ended = false;
    while (!Interrupted) {
        char c = 0;
        const ssize_t n = ::read(tty, &c, 1);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        if (c == '\n') {
            ended = true;
            break;
        }
        if (line.size() < MaxPasswordLength)
            line += c;
    }
    ::tcsetattr(tty, TCSAFLUSH, &before);
    if (!ended)
        WriteAll(tty, "\n");
    ::close(tty);
    for (int i = 0; i < CaughtCount; ++i)
        ::sigaction(CaughtSignals[i], &saved[i], nullptr);
    if (Interrupted) {
        line.assign(line.size(), '\0');
        const int signal = Interrupted;
        Interrupted = 0;
        ::raise(signal);
        return std::nullopt;
    }
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return line;
}
