#pragma once

// The pace a transfer must keep, so that a server that sends (or takes) a byte now and then
// cannot hold a run for days: something within the first period of the read time-out, then
// at least Least bytes in each period. A period that got Least bytes ends there and the next
// begins. Uploads and downloads of both transports keep to it.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

// Makes room in content for more bytes as a download grows: by doubling, but never past
// limit, so that a file near the limit is not held twice over for a moment.
inline void MakeRoom(std::string& content, std::size_t more, std::size_t limit) {
    const std::size_t wanted = content.size() + more;
    if (wanted <= content.capacity())
        return;
    std::size_t room = content.capacity() * 2;
    if (room < wanted)
        room = wanted;
    if (room > limit && wanted <= limit)
        room = limit;
    content.reserve(room);
}

class TTransferPace {
  public:
    using TClock = std::chrono::steady_clock;

    // What a send must get through in each period (or the rest, when less is left).
    static constexpr std::size_t LeastSent = 4096;
    // What a download must bring in each period after its first bytes.
    static constexpr std::size_t LeastReceived = 16 * 1024;

    // periodMs 0 or less: no bound at all.
    TTransferPace(std::int32_t periodMs, std::size_t least)
        : FPeriodMs(periodMs), FLeast(least), FPeriodEnd(Later()) {}

    // Counts bytes that went through; a period that got its Least ends now.
    void Moved(std::size_t bytes) {
        FTotal += bytes;
        FInPeriod += bytes;
        if (FInPeriod >= FLeast) {
            FInPeriod = 0;
            FPeriodEnd = Later();
        }
    }

    // The end of the period under way (the end of time without bound).
    TClock::time_point PeriodEnd() const { return FPeriodEnd; }
    // Milliseconds left in the period, at least 1 while bounded (0 is "no bound").
    std::int32_t MillisecondsLeft() const {
        if (FPeriodMs <= 0)
            return 0;
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(FPeriodEnd - TClock::now()).count();
        return left < 1 ? 1 : static_cast<std::int32_t>(left);
    }
    // The bytes of the period under way, and of the whole transfer.
    std::size_t InPeriod() const { return FInPeriod; }
    std::int64_t Total() const { return FTotal; }
    std::int32_t PeriodMs() const { return FPeriodMs; }
    std::size_t Least() const { return FLeast; }

  private:
    TClock::time_point Later() const {
        return FPeriodMs > 0 ? TClock::now() + std::chrono::milliseconds(FPeriodMs)
                             : TClock::time_point::max();
    }

    std::int32_t FPeriodMs;
    std::size_t FLeast;
    TClock::time_point FPeriodEnd;
    std::size_t FInPeriod = 0;
    std::int64_t FTotal = 0;
};
