// The memory that reading the largest manifest a server may hand over takes: counted through
// the program's own operator new, so this test is a program of its own.

#include "publish/Manifest.h"

#include "TestSupport.h"
#include "publish/MemoryTransport.h"
#include "publish/SyncRun.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <malloc.h>
#include <new>
#include <string>

namespace {

std::atomic<std::size_t> Live{0};
std::atomic<std::size_t> Peak{0};

void* Counted(std::size_t size) {
    void* p = std::malloc(size == 0 ? 1 : size);
    if (!p)
        throw std::bad_alloc();
    const std::size_t now = Live += malloc_usable_size(p);
    for (std::size_t peak = Peak; now > peak && !Peak.compare_exchange_weak(peak, now);) {
    }
    return p;
}

void Uncounted(void* p) noexcept {
    if (!p)
        return;
    Live -= malloc_usable_size(p);
    std::free(p);
}

} // namespace

void* operator new(std::size_t size) {
    return Counted(size);
}
void* operator new[](std::size_t size) {
    return Counted(size);
}
void operator delete(void* p) noexcept {
    Uncounted(p);
}
void operator delete[](void* p) noexcept {
    Uncounted(p);
}
void operator delete(void* p, std::size_t) noexcept {
    Uncounted(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    Uncounted(p);
}
// The nothrow forms too (std::stable_sort's buffer), so that every delete frees what this
// file's new allocated.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return Counted(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return Counted(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    Uncounted(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    Uncounted(p);
}

namespace {

// A manifest of MaxBytes at most, of the shortest lines: as many files as it can name.
std::string LargestManifest(std::size_t& files) {
    std::string text = TManifest::Header;
    text += '\n';
    const std::string hash(64, 'a');
    files = 0;
    char name[16];
    for (;;) {
        std::snprintf(name, sizeof name, "%07zu", files);
        const std::size_t line = hash.size() + 3 + 1 + 7 + 1;
        if (text.size() + line > TManifest::MaxBytes)
            break;
        text.append(hash).append(" 1 ").append(name).append("\n");
        ++files;
    }
    return text;
}

} // namespace

TEST(ManifestMemory, TheLargestManifestIsReadInLessThan64MiB) {
    std::size_t files = 0;
    const std::string text = LargestManifest(files);
    ASSERT_GT(text.size(), TManifest::MaxBytes - 100);
    // What is there before the reading (the text itself among it) counts as well.
    Peak = Live.load();
    std::size_t entries = 0;
    {
        const TManifest manifest = TManifest::Parse(text);
        entries = manifest.Files.size();
    }
    const std::size_t peak = Peak;
    std::printf("%zu files, peak %.1f MiB\n", files, static_cast<double>(peak) / (1 << 20));
    EXPECT_EQ(entries, files);
    EXPECT_LT(peak, std::size_t{64} << 20);
}

TEST(ManifestMemory, ARunReadsAndComparesTheLargestManifestInLessThan64MiB) {
    TTempFolder dir;
    std::filesystem::create_directory(dir / "HTML");
    WriteFileBytes(dir / "HTML/index.htm", "home");
    std::size_t files = 0;
    TMemoryServer server;
    server.Files[TManifest::FileName] = LargestManifest(files);
    TTransportSettings settings;
    settings.Host = "memory";
    TSyncRun run(settings, "www", dir / "HTML", MemoryTransportMaker(server));
    Peak = Live.load();
    const std::size_t before = Live;
    run.Prepare();
    const std::size_t peak = Peak;
    std::printf("%zu files, %.1f MiB more at the peak\n", files,
                static_cast<double>(peak - before) / (1 << 20));
    EXPECT_TRUE(run.ManifestFound);
    EXPECT_EQ(run.Plan.Deletes(), static_cast<int>(files));
    // The server's own copy aside: the text read, the manifest, the plan of every file
    // listed and its state.
    EXPECT_LT(peak - before, std::size_t{64} << 20);
}
