// Any bytes as a project archive: importing them gives a project or a TError, never a crash or
// a hang, and writes nothing but the project folder, and that only when it succeeds.
#include "model/ProjectArchive.h"
#include "platform/Error.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <unistd.h>

namespace {

// A scratch folder of its own for each input, gone afterwards (libFuzzer ends the process
// without running exit handlers).
struct TScratch {
    TScratch() {
        std::string name = std::filesystem::temp_directory_path() / "corvane-fuzz-XXXXXX";
        if (!::mkdtemp(name.data()))
            std::abort();
        Path = name;
    }
    ~TScratch() {
        std::error_code ignored;
        std::filesystem::remove_all(Path, ignored);
    }
    std::filesystem::path Path;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TScratch scratch;
    const std::filesystem::path archive = scratch.Path / "In.corvane";
    {
        std::ofstream out(archive, std::ios::binary);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    const std::filesystem::path project = scratch.Path / "Project";
    // Small limits: what an archive may claim is bounded by them, not by the input.
    TArchiveLimits limits;
    limits.TotalBytes = 4 * 1024 * 1024;
    limits.ListBytes = 64 * 1024;
    limits.Entries = 1000;
    bool imported = false;
    try {
        ImportProject(archive.string(), project.string(), limits);
        imported = true;
    } catch (const TError&) {
    }
    // Beside the archive there is the project when it was imported, and nothing else.
    int entries = 0;
    for (const auto& entry : std::filesystem::directory_iterator(scratch.Path)) {
        ++entries;
        if (entry.path() != archive && !(imported && entry.path() == project))
            std::abort();
    }
    if (entries != (imported ? 2 : 1))
        std::abort();
    return 0;
}
