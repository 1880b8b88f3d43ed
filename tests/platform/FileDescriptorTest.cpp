#include "platform/FileDescriptor.h"
#include "platform/FileFaults.h"

#include <cerrno>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <type_traits>
#include <unistd.h>
#include <utility>

namespace {

static_assert(!std::is_copy_constructible_v<TFileDescriptor>);
static_assert(!std::is_copy_assignable_v<TFileDescriptor>);
static_assert(std::is_nothrow_move_constructible_v<TFileDescriptor>);
static_assert(std::is_nothrow_move_assignable_v<TFileDescriptor>);

bool IsOpen(int fd) {
    return ::fcntl(fd, F_GETFD) != -1;
}

// Both ends of a new pipe.
std::pair<int, int> Pipe() {
    int ends[2] = {-1, -1};
    if (::pipe2(ends, O_CLOEXEC) != 0)
        ADD_FAILURE() << "pipe2 failed";
    return {ends[0], ends[1]};
}

// The moved-from holders are what these two tests look at.
// NOLINTBEGIN(bugprone-use-after-move)
TEST(FileDescriptor, AMovedDescriptorIsClosedOnceByItsLastOwner) {
    auto [in, out] = Pipe();
    {
        TFileDescriptor first(in);
        TFileDescriptor second(std::move(first));
        EXPECT_FALSE(first.IsOpen());
        EXPECT_EQ(first.Get(), -1);
        EXPECT_EQ(second.Get(), in);
        {
            TFileDescriptor moved = std::move(second);
            EXPECT_FALSE(second);
        } // closed here, once
        EXPECT_FALSE(IsOpen(in));
        // The emptied holders close nothing: a descriptor that reuses the number stays open.
        int reused = ::dup(out);
        EXPECT_EQ(reused, in);
        TFileDescriptor keeper(reused);
        first = TFileDescriptor();
        second.Reset();
        EXPECT_TRUE(IsOpen(reused));
    }
    EXPECT_FALSE(IsOpen(in));
    EXPECT_TRUE(IsOpen(out));
    ::close(out);
}

TEST(FileDescriptor, MoveAssignmentClosesWhatWasHeldBefore) {
    auto [in, out] = Pipe();
    TFileDescriptor a(in), b(out);
    a = std::move(b);
    EXPECT_FALSE(IsOpen(in));
    EXPECT_TRUE(IsOpen(out));
    EXPECT_EQ(a.Get(), out);
    EXPECT_FALSE(b);
    auto& self = a;
    a = std::move(self);
    EXPECT_EQ(a.Get(), out);
    EXPECT_TRUE(IsOpen(out));
}
// NOLINTEND(bugprone-use-after-move)

TEST(FileDescriptor, ReleaseHandsTheDescriptorOver) {
    auto [in, out] = Pipe();
    int released = -1;
    {
        TFileDescriptor holder(in);
        released = holder.Release();
        EXPECT_FALSE(holder);
        EXPECT_EQ(holder.Release(), -1);
    }
    EXPECT_EQ(released, in);
    EXPECT_TRUE(IsOpen(in));
    ::close(in);
    ::close(out);
}

TEST(FileDescriptor, CloseReportsTheErrorAndEmptiesTheHolder) {
    auto [in, out] = Pipe();
    TFileDescriptor good(in);
    EXPECT_EQ(good.Close(), 0);
    EXPECT_FALSE(good);
    EXPECT_FALSE(IsOpen(in));
    EXPECT_EQ(good.Close(), 0); // nothing held, nothing to report

    // A number that is no open descriptor: the system's own close error comes back.
    TFileDescriptor stale(1 << 20);
    EXPECT_EQ(stale.Close(), EBADF);
    EXPECT_FALSE(stale);

    // A close that fails as a full disk makes it fail still closes the descriptor.
    TFileDescriptor failing(out);
    {
        TScopedFileFaults faults({.FailClose = 1, .Error = ENOSPC});
        EXPECT_EQ(failing.Close(), ENOSPC);
        EXPECT_EQ(faults.Faults().Closes, 1);
    }
    EXPECT_FALSE(failing);
    EXPECT_FALSE(IsOpen(out));
}

TEST(FileFaults, TheNthCallFailsOnceAndTheFaultsBeforeComeBack) {
    auto [in, out] = Pipe();
    TFileDescriptor read(in), write(out);
    {
        TScopedFileFaults outer({.FailWrite = 3, .Error = EIO});
        {
            TScopedFileFaults inner({.FailWrite = 2, .Error = ENOSPC});
            EXPECT_EQ(FileCalls::Write(write.Get(), "a", 1), 1);
            errno = 0;
            EXPECT_EQ(FileCalls::Write(write.Get(), "b", 1), -1);
            EXPECT_EQ(errno, ENOSPC);
            EXPECT_EQ(FileCalls::Write(write.Get(), "c", 1), 1);
            EXPECT_EQ(inner.Faults().Writes, 3);
            EXPECT_EQ(outer.Faults().Writes, 0);
        }
        EXPECT_EQ(FileCalls::Write(write.Get(), "d", 1), 1);
        EXPECT_EQ(FileCalls::Write(write.Get(), "e", 1), 1);
        errno = 0;
        EXPECT_EQ(FileCalls::Write(write.Get(), "f", 1), -1);
        EXPECT_EQ(errno, EIO);
    }
    EXPECT_EQ(FileCalls::Write(write.Get(), "g", 1), 1);
    char got[8] = {};
    ASSERT_EQ(FileCalls::Read(read.Get(), got, sizeof got), 5);
    EXPECT_EQ(std::string(got, 5), "acdeg"); // the failed writes wrote nothing
}

} // namespace
