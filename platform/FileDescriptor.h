#pragma once

// Owns one open file descriptor (a file or a socket) and closes it when it goes. Moves hand
// the descriptor over; it is never copied, so it is closed exactly once.
class TFileDescriptor {
  public:
    TFileDescriptor() noexcept = default;
    explicit TFileDescriptor(int fd) noexcept : FFd(fd) {}
    // Closes quietly: a close whose failure matters is made with Close.
    ~TFileDescriptor() { Reset(); }

    TFileDescriptor(TFileDescriptor&& other) noexcept : FFd(other.Release()) {}
    TFileDescriptor& operator=(TFileDescriptor&& other) noexcept {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }
    TFileDescriptor(const TFileDescriptor&) = delete;
    TFileDescriptor& operator=(const TFileDescriptor&) = delete;

    int Get() const noexcept { return FFd; }
    bool IsOpen() const noexcept { return FFd >= 0; }
    explicit operator bool() const noexcept { return IsOpen(); }

    // Gives up ownership: the caller closes what is returned.
    int Release() noexcept {
        int fd = FFd;
        FFd = -1;
        return fd;
    }
    // Closes the descriptor held (ignoring a failure) and takes fd instead.
    void Reset(int fd = -1) noexcept;
    // Closes now and reports how: 0, or the errno of the failed close. The descriptor counts
    // as closed either way, as it does for close(2) on this platform. 0 when none is held.
    int Close() noexcept;

  private:
    int FFd = -1;
};
