#pragma once

// Shared helpers of the tests: a temporary folder removed afterwards, whole-file reads and
// writes, and test data.

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

class TTempFolder {
  public:
    TTempFolder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "corvane-test-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            throw std::runtime_error("mkdtemp failed");
        FPath = pattern;
    }
    ~TTempFolder() {
        std::error_code ignored;
        std::filesystem::permissions(FPath, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
        std::filesystem::remove_all(FPath, ignored);
    }
    TTempFolder(const TTempFolder&) = delete;
    TTempFolder& operator=(const TTempFolder&) = delete;

    const std::string& Path() const { return FPath; }
    std::string operator/(const std::string& name) const { return FPath + "/" + name; }

  private:
    std::string FPath;
};

inline std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline void WriteFileBytes(const std::string& path, const std::string& data) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out)
        throw std::runtime_error("cannot write " + path);
    out << data;
}

// The names of the ordinary files directly in a folder.
inline std::set<std::string> RegularFilesIn(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.is_regular_file())
            names.insert(entry.path().filename().string());
    return names;
}

// Every ordinary file below folder by its path relative to it, with its bytes.
inline std::map<std::string, std::string> FilesBelow(const std::string& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
        if (entry.is_regular_file())
            files[std::filesystem::relative(entry.path(), folder).string()] =
                ReadFileBytes(entry.path().string());
    return files;
}

// The names directly in a folder, whatever they are.
inline std::set<std::string> NamesIn(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

inline bool PathExists(const std::string& path) {
    return std::filesystem::exists(path);
}

// The source tree: CORVANE_SOURCE_DIR, which the test run sets, else the tree this file is in.
inline std::string SourceFolder() {
    if (const char* source = std::getenv("CORVANE_SOURCE_DIR"); source && *source)
        return source;
    const std::string here = __FILE__; // .../tests/TestSupport.h
    const std::string tests = here.substr(0, here.rfind('/'));
    return tests.substr(0, tests.rfind('/'));
}

// The declaration every document of the program starts with.
constexpr const char* XmlDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";

// SIZE bytes of a fixed sequence that looks random, the same for the same SEED: data no
// transfer passes unharmed by chance.
inline std::string PseudoRandomBytes(std::size_t size, unsigned seed) {
    std::string data(size, '\0');
    std::uint32_t x = seed;
    for (char& c : data) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>(x >> 24);
    }
    return data;
}

// The lines, each ended with CR LF as the pages end theirs.
inline std::string CrLfLines(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& line : lines)
        out += line + "\r\n";
    return out;
}

// Longer than the time within which the document cache counts a written file as just written.
inline void WaitPastRecentWrites() {
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
}
