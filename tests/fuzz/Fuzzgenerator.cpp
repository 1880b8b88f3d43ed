// Any bytes as a project: the input split at the first NUL byte into the project document
// and the document of its first column (Column1.Clm), built into the project's HTML folder.
// A build gives pages or a TError, never a crash, and writes nothing outside the project.
#include "generator/Generator.h"
#include "model/CProject.h"
#include "platform/Error.h"
#include "platform/XmlDocument.h"

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

void WriteBytes(const std::filesystem::path& file, const std::string& data) {
    std::ofstream out(file, std::ios::binary);
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::size_t nul = input.find('\0');
    TScratch scratch;
    const std::filesystem::path project = scratch.Path / "Site";
    std::filesystem::create_directories(project / "HTML");
    WriteBytes(project / "Default.Pro", input.substr(0, nul));
    if (nul != std::string::npos)
        WriteBytes(project / "Column1.Clm", input.substr(nul + 1));

    TXmlDocument document;
    try {
        TDProject site(project.string(), document);
        Build(site, "HTML");
    } catch (const TError&) {
    }
    // Whatever the names in the documents, nothing was written beside the project.
    for (const auto& entry : std::filesystem::directory_iterator(scratch.Path))
        if (entry.path().filename() != "Site")
            std::abort();
    return 0;
}
