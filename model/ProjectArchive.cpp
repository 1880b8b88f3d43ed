#include "model/ProjectArchive.h"

#include "model/CColumn.h"
#include "model/CProject.h"
#include "model/ProjectDocuments.h"
#include "platform/Error.h"
#include "platform/FileDescriptor.h"
#include "platform/FileFaults.h"
#include "platform/FileSystem.h"
#include "platform/Sha256.h"
#include "platform/Text.h"
#include "platform/XmlDocument.h"

#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <clocale>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <memory>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <utility>

const char* const ProjectArchiveExtension = ".corvane";
const char* const ProjectArchiveList = "corvane-archive.txt";

namespace {

constexpr const char* ArchiveHeader = "corvane-archive 1";
constexpr const char* Folders[] = {"Images", "Downloads"};
constexpr std::size_t BlockSize = 64 * 1024;
constexpr std::size_t MaxListedSizeDigits = 18;

// Whether text is well-formed UTF-8 (no overlong forms, surrogates or code points past
// U+10FFFF): the names in the archive are UTF-8, as its entries say.
bool IsUtf8(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto byte = static_cast<unsigned char>(text[i]);
        std::size_t length = 0;
        unsigned code = 0;
        if (byte < 0x80) {
            ++i;
            continue;
        }
        if (byte >= 0xc2 && byte <= 0xdf) {
            length = 2;
            code = byte & 0x1fu;
        } else if (byte >= 0xe0 && byte <= 0xef) {
            length = 3;
            code = byte & 0x0fu;
        } else if (byte >= 0xf0 && byte <= 0xf4) {
            length = 4;
            code = byte & 0x07u;
        } else {
            return false;
        }
        if (i + length > text.size())
            return false;
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xc0u) != 0x80u)
                return false;
            code = (code << 6) | (next & 0x3fu);
        }
        if ((length == 3 && (code < 0x800 || (code >= 0xd800 && code <= 0xdfff))) ||
            (length == 4 && (code < 0x10000 || code > 0x10ffff)))
            return false;
        i += length;
    }
    return true;
}

// A name as an error shows it: C0 and C1 controls and bytes that are no UTF-8 as "?", so
// that a hostile entry's name reaches no terminal as an escape sequence, and cut short, so
// that a list's line of megabytes makes no error of megabytes.
std::string Quoted(const std::string& name) {
    constexpr std::size_t Longest = 300;
    return "\"" + ControlCharactersShown(name, Longest) + "\"";
}

std::string SystemText(int error) {
    return std::generic_category().message(error);
}

// What keeps a name out of an archive, or empty for a name it may hold: the project's
// documents at the top, plain files directly in Images and Downloads, nothing else.
std::string NameProblem(const std::string& name) {
    if (name.empty())
        return "it has no name";
    if (name[0] == '/')
        return "its name is absolute";
    if (name.find('\\') != std::string::npos)
        return "its name holds a backslash";
    for (char c : name)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            return "its name holds a control character";
    if (!IsUtf8(name))
        return "its name is not UTF-8";
    // C1 controls (U+0080 to U+009F), which some terminals take for the start of an escape.
    for (std::size_t i = 0; i + 1 < name.size(); ++i)
        if (name[i] == '\xc2' && static_cast<unsigned char>(name[i + 1]) < 0xa0)
            return "its name holds a control character";
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (true) {
        const std::size_t slash = name.find('/', start);
        parts.push_back(name.substr(start, slash - start));
        if (slash == std::string::npos)
            break;
        start = slash + 1;
    }
    for (const std::string& part : parts) {
        if (part == "..")
            return "its name leads out of the project";
        if (part.empty() || part == ".")
            return "its name is not a plain path";
    }
    if (parts.size() == 1) {
        if (name == ProjectDocument || IsColumnDocumentName(name))
            return {};
        return "it is no document of a project (Default.Pro or a column document)";
    }
    if (parts[0] != Folders[0] && parts[0] != Folders[1])
        return "it lies outside Images and Downloads";
    if (parts.size() > 2)
        return "it lies in a sub-folder";
    if (parts[1][0] == '.')
        return "it is a hidden file";
    return {};
}

// One line of the list.
struct TListed {
    std::int64_t Size = 0;
    std::string Digest;
    bool Seen = false;
};

// UTF-8 as this thread's character set while it lives. libarchive converts an entry's name
// between UTF-8 and the character set of the locale; in the "C" locale that corvane-cli runs
// in, every name beyond ASCII failed ("an entry without a name"). Under C.UTF-8 the names
// pass as they are.
class TUtf8Names {
  public:
    TUtf8Names() : FLocale(::newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t{})) {
        if (FLocale)
            FBefore = ::uselocale(FLocale);
    }
    ~TUtf8Names() {
        if (!FLocale)
            return;
        ::uselocale(FBefore);
        ::freelocale(FLocale);
    }
    TUtf8Names(const TUtf8Names&) = delete;
    TUtf8Names& operator=(const TUtf8Names&) = delete;

  private:
    locale_t FLocale;
    locale_t FBefore = locale_t{};
};

// A temporary file or folder that is removed unless it was kept.
class TLeftover {
  public:
    explicit TLeftover(std::string path, bool folder) : FPath(std::move(path)), FFolder(folder) {}
    ~TLeftover() {
        if (FPath.empty())
            return;
        std::error_code ignored;
        if (FFolder)
            std::filesystem::remove_all(FPath, ignored);
        else
            ::unlink(FPath.c_str());
    }
    TLeftover(const TLeftover&) = delete;
    TLeftover& operator=(const TLeftover&) = delete;
    void Keep() { FPath.clear(); }

  private:
    std::string FPath;
    bool FFolder;
};

std::string WithoutSeparator(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

// A name beside path for a temporary file or folder, not taken yet when asked. A long name
// is cut short (at a character's start) so that the additions keep within NAME_MAX.
std::string NameBeside(const std::string& path, const char* kind) {
    static std::atomic<unsigned> counter{0};
    constexpr std::size_t Longest = 200;
    const std::string folder = FolderPart(path);
    std::string name = path.substr(folder.size());
    if (name.size() > Longest) {
        std::size_t cut = Longest;
        while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xc0u) == 0x80u)
            --cut;
        name.resize(cut);
    }
    return folder + "." + name + "." + kind + "-" + std::to_string(::getpid()) + "-" +
           std::to_string(++counter);
}

// The first column document that the project in folder names and has(name) denies, or empty.
// Only the file-name part of a menu item's column is read (TDProject::ColumnFile).
template <class F> std::string MissingColumn(const std::string& folder, F has) {
    TXmlDocument document;
    const TDProject project(folder, document, "", TDProject::TOpening::Inspect);
    for (int i = 0; i < project.MenuCount; ++i)
        if (const TDMenuItem& item = project.MenuItem(i); item.IsColumn()) {
            std::string name = FileNamePart(project.ColumnFile(i));
            // Default.Pro as a column would be written over as one.
            if (!IsColumnDocumentName(name) || !has(name))
                return name;
        }
    return {};
}

// Throws when the work was cancelled (Ctrl+C in corvane-cli): the temporary file or folder
// goes as for any other failure.
void CheckCancel(const std::atomic<bool>* cancel, const char* work, const std::string& file) {
    if (cancel && cancel->load())
        throw TError(std::string("The ") + work + " was cancelled", file);
}

// ------------------------------------------------------------------------------------------
// Export

// The project document as archived: the same bytes without the publishing password. The
// model reads the first PUBLISH/PASSWORD; a hand-edited document may hold more, and none of
// them travels.
std::string WithoutPassword(const std::string& bytes) {
    TXmlDocument document;
    document.LoadFromBytes(bytes, ProjectDocument);
    bool changed = false;
    for (TXmlElement publish : document.Root().children("PUBLISH"))
        for (TXmlElement password : publish.children("PASSWORD"))
            if (password.first_child()) {
                RemoveAllChildren(password);
                changed = true;
            }
    return changed ? document.ToString() : bytes;
}

// Whether a file's content is packed already (JPEG, GIF, PNG, zip and the like).
bool IsPacked(const std::string& name) {
    static const char* const packed[] = {".jpg", ".jpeg", ".gif", ".png",    ".webp",
                                         ".zip", ".gz",   ".bz2", ".xz",     ".7z",
                                         ".mp3", ".mp4",  ".pdf", ".corvane"};
    std::string extension = FileExtension(name);
    for (char& c : extension)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return std::find(std::begin(packed), std::end(packed), extension) != std::end(packed);
}

struct TExportEntry {
    std::string Name;
    std::string Path;  // a file read while writing; empty for a document held in Bytes
    std::string Bytes; // a document
    std::int64_t Size = 0;
    std::string Digest;
    std::int64_t Modified = 0;
};

struct TWriteTarget {
    int Fd = -1;
    int Error = 0;
};

la_ssize_t WriteBlock(struct archive*, void* data, const void* buffer, size_t length) {
    auto* target = static_cast<TWriteTarget*>(data);
    const char* bytes = static_cast<const char*>(buffer);
    std::size_t left = length;
    while (left > 0) {
        const ssize_t written = FileCalls::Write(target->Fd, bytes, left);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            target->Error = written < 0 ? errno : EIO;
            return -1;
        }
        bytes += written;
        left -= static_cast<std::size_t>(written);
    }
    return static_cast<la_ssize_t>(length);
}

class TArchiveWriter {
  public:
    TArchiveWriter(int fd, std::string file) : FFile(std::move(file)) {
        FTarget.Fd = fd;
        FArchive.reset(archive_write_new());
        if (!FArchive)
            throw TError("The archive cannot be made: out of memory", FFile);
        Check(archive_write_set_format_zip(FArchive.get()));
        Check(archive_write_set_options(FArchive.get(), "zip:hdrcharset=UTF-8"));
        Check(archive_write_set_bytes_in_last_block(FArchive.get(), 1));
        Check(archive_write_open(FArchive.get(), &FTarget, nullptr, WriteBlock, nullptr));
    }
    TArchiveWriter(const TArchiveWriter&) = delete;
    TArchiveWriter& operator=(const TArchiveWriter&) = delete;

    void Begin(const std::string& name, std::int64_t size, std::int64_t modified) {
        // Pictures and packed files are stored as they are: deflating them again costs time
        // and gains nothing.
        Check(IsPacked(name) ? archive_write_zip_set_compression_store(FArchive.get())
                             : archive_write_zip_set_compression_deflate(FArchive.get()),
              name);
        struct archive_entry* entry = archive_entry_new();
        if (!entry)
            throw TError("The archive cannot be made: out of memory", FFile);
        archive_entry_set_pathname_utf8(entry, name.c_str());
        archive_entry_set_filetype(entry, AE_IFREG);
        archive_entry_set_perm(entry, 0644);
        archive_entry_set_size(entry, size);
        archive_entry_set_mtime(entry, modified, 0);
        const int result = archive_write_header(FArchive.get(), entry);
        archive_entry_free(entry);
        Check(result, name);
    }
    void Add(const char* bytes, std::size_t size, const std::string& name) {
        if (size > 0 &&
            archive_write_data(FArchive.get(), bytes, size) != static_cast<la_ssize_t>(size))
            Fail(name);
    }
    void End(const std::string& name) { Check(archive_write_finish_entry(FArchive.get()), name); }
    void Close() { Check(archive_write_close(FArchive.get())); }

  private:
    void Check(int result, const std::string& name = {}) {
        if (result != ARCHIVE_OK)
            Fail(name);
    }
    [[noreturn]] void Fail(const std::string& name) {
        std::string reason = FTarget.Error != 0 ? SystemText(FTarget.Error)
                             : archive_error_string(FArchive.get())
                                 ? archive_error_string(FArchive.get())
                                 : "unknown error";
        throw TError(name.empty()
                         ? "The archive cannot be written: " + reason
                         : "The archive cannot be written at " + Quoted(name) + ": " + reason,
                     FFile);
    }

    TUtf8Names FNames; // before FArchive, which converts the names while it lives
    std::string FFile;
    TWriteTarget FTarget;
    // Freed however the constructor or the writing ends.
    std::unique_ptr<struct archive, decltype(&archive_write_free)> FArchive{nullptr,
                                                                            archive_write_free};
};

std::int64_t ModifiedTime(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? static_cast<std::int64_t>(st.st_mtime) : 0;
}

// Streams one file of Images or Downloads into the archive, checking that it is still what
// its digest in the list says.
void AddFile(TArchiveWriter& writer, const TExportEntry& entry, const std::atomic<bool>* cancel,
             const std::string& archive) {
    TFileDescriptor fd(::open(entry.Path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
    struct stat st {};
    if (!fd || ::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode))
        throw TError("The file cannot be read: " + SystemText(fd ? EINVAL : errno), entry.Path);
    writer.Begin(entry.Name, entry.Size, entry.Modified);
    TSha256 digest;
    std::int64_t total = 0;
    std::vector<char> buffer(BlockSize);
    while (true) {
        CheckCancel(cancel, "export", archive);
        const ssize_t got = FileCalls::Read(fd.Get(), buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            throw TError("The file cannot be read: " + SystemText(errno), entry.Path);
        if (got == 0)
            break;
        total += got;
        if (total > entry.Size)
            break;
        digest.Add(buffer.data(), static_cast<std::size_t>(got));
        writer.Add(buffer.data(), static_cast<std::size_t>(got), entry.Name);
    }
    if (total != entry.Size || digest.Finish() != entry.Digest)
        throw TError("The file changed while the archive was written", entry.Path);
    writer.End(entry.Name);
}

std::string ListText(const std::vector<TExportEntry>& entries) {
    std::string text = std::string(ArchiveHeader) + "\n";
    for (const TExportEntry& entry : entries)
        text += std::to_string(entry.Size) + " " + entry.Digest + " " + entry.Name + "\n";
    return text;
}

// ------------------------------------------------------------------------------------------
// Import

struct TReadSource {
    int Fd = -1;
    int Error = 0;
    std::vector<char> Buffer = std::vector<char>(BlockSize);
};

la_ssize_t ReadBlock(struct archive*, void* data, const void** buffer) {
    auto* source = static_cast<TReadSource*>(data);
    while (true) {
        const ssize_t got =
            FileCalls::Read(source->Fd, source->Buffer.data(), source->Buffer.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            source->Error = errno;
            return -1;
        }
        *buffer = source->Buffer.data();
        return got;
    }
}

la_int64_t SeekTo(struct archive*, void* data, la_int64_t offset, int whence) {
    auto* source = static_cast<TReadSource*>(data);
    const off_t place = ::lseek(source->Fd, static_cast<off_t>(offset), whence);
    if (place < 0) {
        source->Error = errno;
        return ARCHIVE_FATAL;
    }
    return place;
}

// Writes bytes into a new file of the unpacked project (never through anything that is there).
class TNewFile {
  public:
    TNewFile(std::string path, unsigned mode) : FPath(std::move(path)) {
        FFd = TFileDescriptor(FileCalls::Create(
            FPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, static_cast<mode_t>(mode)));
        if (!FFd)
            Fail();
    }
    void Write(const char* bytes, std::size_t size) {
        while (size > 0) {
            const ssize_t written = FileCalls::Write(FFd.Get(), bytes, size);
            if (written < 0 && errno == EINTR)
                continue;
            if (written <= 0) {
                if (written == 0)
                    errno = EIO;
                Fail();
            }
            bytes += written;
            size -= static_cast<std::size_t>(written);
        }
    }
    void Close() {
        if (FileCalls::Fsync(FFd.Get()) != 0)
            Fail();
        if (const int error = FFd.Close(); error != 0) {
            errno = error;
            Fail();
        }
    }

  private:
    [[noreturn]] void Fail() {
        throw TError("The file cannot be written: " + SystemText(errno), FPath);
    }
    std::string FPath;
    TFileDescriptor FFd;
};

class TArchiveReader {
  public:
    TArchiveReader(const std::string& file, TArchiveLimits limits, const std::atomic<bool>* cancel)
        : FFile(file), FLimits(limits), FCancel(cancel) {
        FSource.Fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        struct stat st {};
        if (FSource.Fd < 0)
            throw TError("The archive cannot be opened: " + SystemText(errno), file);
        FFd.Reset(FSource.Fd);
        if (::fstat(FSource.Fd, &st) != 0 || !S_ISREG(st.st_mode))
            throw TError("The archive is not a plain file", file);
        // Reading a plain file never waits; the flag was only there for opening a FIFO.
        ::fcntl(FSource.Fd, F_SETFL, ::fcntl(FSource.Fd, F_GETFL) & ~O_NONBLOCK);
        FArchive.reset(archive_read_new());
        if (!FArchive)
            throw TError("The archive cannot be read: out of memory", file);
        // The entries as the central directory at the end describes them (what unzip
        // programs go by, links included), each read from its place.
        archive_read_support_format_zip_seekable(FArchive.get());
        archive_read_set_callback_data(FArchive.get(), &FSource);
        archive_read_set_read_callback(FArchive.get(), ReadBlock);
        archive_read_set_seek_callback(FArchive.get(), SeekTo);
        if (archive_read_open1(FArchive.get()) != ARCHIVE_OK)
            throw TError("The file is no project archive: " + LibraryError(), file);
    }
    TArchiveReader(const TArchiveReader&) = delete;
    TArchiveReader& operator=(const TArchiveReader&) = delete;

    TArchiveSummary Unpack(const std::string& folder) {
        ReadList();
        for (const char* sub : Folders)
            if (::mkdir((folder + "/" + sub).c_str(), 0777) != 0)
                throw TError("The folder cannot be made: " + SystemText(errno), folder + "/" + sub);
        TArchiveSummary summary;
        std::string name;
        while (Next(name)) {
            ReadEntry(name, folder);
            ++summary.Files;
        }
        for (const auto& [listed, entry] : FListed)
            if (!entry.Seen)
                throw TError("The archive lacks the entry " + Quoted(listed) +
                                 " that its list names",
                             FFile);
        summary.Bytes = FTotal;
        return summary;
    }

  private:
    std::string LibraryError() const {
        if (FSource.Error != 0)
            return SystemText(FSource.Error);
        const char* text = archive_error_string(FArchive.get());
        return text ? text : "unknown error";
    }

    [[noreturn]] void Refuse(const std::string& name, const std::string& reason) const {
        throw TError("The archive entry " + Quoted(name) + " is refused: " + reason, FFile);
    }

    // The next entry's header: false at the end. The entry must be a plain file of a name the
    // archive may hold.
    bool Next(std::string& name) {
        const int result = archive_read_next_header(FArchive.get(), &FEntry);
        if (result == ARCHIVE_EOF)
            return false;
        if (result != ARCHIVE_OK && result != ARCHIVE_WARN)
            throw TError((FLast.empty()
                              ? std::string("The archive is damaged at its start: ")
                              : "The archive is damaged after the entry " + Quoted(FLast) + ": ") +
                             LibraryError(),
                         FFile);
        const char* text = archive_entry_pathname_utf8(FEntry);
        if (!text)
            text = archive_entry_pathname(FEntry);
        if (!text)
            throw TError("The archive holds an entry without a name" +
                             (FLast.empty() ? std::string() : " after " + Quoted(FLast)),
                         FFile);
        name = text;
        FLast = name;
        if (archive_entry_hardlink(FEntry))
            Refuse(name, "it is a hard link");
        switch (archive_entry_filetype(FEntry)) {
        case AE_IFREG:
            break;
        case AE_IFLNK:
            Refuse(name, "it is a symbolic link");
        case AE_IFDIR:
            Refuse(name, "it is a folder");
        default:
            Refuse(name, "it is not a plain file");
        }
        if (archive_entry_is_encrypted(FEntry))
            Refuse(name, "it is encrypted");
        return true;
    }

    // Reads the entry's bytes, each block handed to add; at most limit of them.
    template <class F> std::int64_t ReadData(const std::string& name, std::int64_t limit, F add) {
        std::vector<char> buffer(BlockSize);
        std::int64_t total = 0;
        while (true) {
            CheckCancel(FCancel, "import", FFile);
            const la_ssize_t got = archive_read_data(FArchive.get(), buffer.data(), buffer.size());
            if (got < 0)
                throw TError("The archive entry " + Quoted(name) + " is damaged: " + LibraryError(),
                             FFile);
            if (got == 0)
                return total;
            total += got;
            if (total > limit)
                return total;
            add(buffer.data(), static_cast<std::size_t>(got));
        }
    }

    void ReadList() {
        std::string name;
        if (!Next(name))
            throw TError("The archive is empty", FFile);
        if (name != ProjectArchiveList)
            throw TError("The archive does not begin with its list (" +
                             std::string(ProjectArchiveList) + ") but with " + Quoted(name),
                         FFile);
        std::string text;
        if (ReadData(name, FLimits.ListBytes, [&](const char* bytes, std::size_t size) {
                text.append(bytes, size);
            }) > FLimits.ListBytes)
            Refuse(name, "it is larger than " + std::to_string(FLimits.ListBytes) + " bytes");
        std::size_t start = 0;
        bool first = true;
        std::int64_t total = 0;
        while (start < text.size()) {
            const std::size_t end = text.find('\n', start);
            if (end == std::string::npos)
                throw TError("The archive's list does not end with a line break", FFile);
            const std::string line = text.substr(start, end - start);
            start = end + 1;
            if (first) {
                if (line != ArchiveHeader)
                    throw TError("The archive's list does not begin with \"" +
                                     std::string(ArchiveHeader) +
                                     "\": a newer program made it or "
                                     "it is damaged",
                                 FFile);
                first = false;
                continue;
            }
            const std::size_t space = line.find(' ');
            const std::size_t second =
                space == std::string::npos ? space : line.find(' ', space + 1);
            if (second == std::string::npos)
                throw TError("The archive's list holds a line that is not \"SIZE SHA-256 NAME\": " +
                                 Quoted(line),
                             FFile);
            const std::string size = line.substr(0, space);
            TListed listed;
            listed.Digest = line.substr(space + 1, second - space - 1);
            const std::string entry = line.substr(second + 1);
            if (size.empty() || size.size() > MaxListedSizeDigits ||
                !std::all_of(size.begin(), size.end(), [](char c) { return c >= '0' && c <= '9'; }))
                throw TError("The archive's list gives the entry " + Quoted(entry) +
                                 " a size that is no number: " + Quoted(size),
                             FFile);
            listed.Size = std::stoll(size);
            if (!IsSha256Text(listed.Digest))
                throw TError("The archive's list gives the entry " + Quoted(entry) +
                                 " a digest that is no SHA-256: " + Quoted(listed.Digest),
                             FFile);
            if (const std::string problem = NameProblem(entry); !problem.empty())
                throw TError("The archive's list names the entry " + Quoted(entry) +
                                 ", which is refused: " + problem,
                             FFile);
            if (FListed.count(entry) != 0)
                throw TError("The archive's list names the entry " + Quoted(entry) + " twice",
                             FFile);
            if (FListed.size() >= FLimits.Entries)
                throw TError("The archive's list names more than " +
                                 std::to_string(FLimits.Entries) + " entries",
                             FFile);
            total += listed.Size;
            if (total > FLimits.TotalBytes)
                throw TError("The archive is larger than a project archive may be (" +
                                 std::to_string(FLimits.TotalBytes) + " bytes) at the entry " +
                                 Quoted(entry),
                             FFile);
            FListed.emplace(entry, listed);
        }
        if (first)
            throw TError("The archive's list is empty", FFile);
        if (FListed.count(ProjectDocument) == 0)
            throw TError("The archive holds no project document (Default.Pro)", FFile);
    }

    void ReadEntry(const std::string& name, const std::string& folder) {
        if (const std::string problem = NameProblem(name); !problem.empty())
            Refuse(name, problem);
        const auto listed = FListed.find(name);
        if (listed == FListed.end())
            Refuse(name, "it is not in the archive's list");
        if (listed->second.Seen)
            Refuse(name, "it is in the archive twice");
        listed->second.Seen = true;
        const std::int64_t size = listed->second.Size;
        // A size the header announces is checked before a byte is read; the bytes themselves
        // are counted all the same.
        if (archive_entry_size_is_set(FEntry) && archive_entry_size(FEntry) != size)
            Refuse(name, "its header gives " + std::to_string(archive_entry_size(FEntry)) +
                             " bytes, the list " + std::to_string(size));
        TNewFile file(folder + "/" + name, name == ProjectDocument ? 0600 : 0666);
        TSha256 digest;
        const std::int64_t read = ReadData(name, size, [&](const char* bytes, std::size_t count) {
            digest.Add(bytes, count);
            file.Write(bytes, count);
        });
        if (read > size)
            Refuse(name,
                   "it holds more than the " + std::to_string(size) + " bytes its list gives");
        if (read != size)
            Refuse(name, "it holds " + std::to_string(read) + " bytes, its list gives " +
                             std::to_string(size));
        if (digest.Finish() != listed->second.Digest)
            Refuse(name, "its content does not match its SHA-256 in the list");
        file.Close();
        FTotal += read;
    }

    TUtf8Names FNames; // before FArchive, which converts the names while it lives
    std::string FFile;
    TArchiveLimits FLimits;
    const std::atomic<bool>* FCancel;
    TReadSource FSource;
    TFileDescriptor FFd;
    // Freed however the constructor or the reading ends.
    std::unique_ptr<struct archive, decltype(&archive_read_free)> FArchive{nullptr,
                                                                           archive_read_free};
    struct archive_entry* FEntry = nullptr;
    std::map<std::string, TListed> FListed;
    std::string FLast;
    std::int64_t FTotal = 0;
};

// Reads the unpacked documents with the model's readers.
void CheckDocuments(const std::string& folder, const std::string& archive) {
    TXmlDocument document;
    std::string name = ProjectDocument;
    try {
        TDProject project(folder, document, "", TDProject::TOpening::Inspect);
        for (const TFileEntry& entry : ListFolder(folder)) {
            if (!entry.IsRegular || !IsColumnDocumentName(entry.Name))
                continue;
            name = entry.Name;
            TDColumn column(folder + "/" + name, document);
        }
    } catch (const TError& e) {
        throw TError(
            "The archive entry " + Quoted(name) + " is refused: it cannot be read as " +
                (name == ProjectDocument ? "a project document: " : "a column document: ") +
                e.Message(),
            archive);
    }
    const std::string missing = MissingColumn(
        folder, [&](const std::string& column) { return IsPlainFile(folder + "/" + column); });
    if (!missing.empty())
        throw TError("The archive entry \"Default.Pro\" is refused: it names the column document " +
                         Quoted(missing) + ", which the archive lacks",
                     archive);
}

} // namespace

std::string ArchiveProjectName(const std::string& archiveFile) {
    std::string name = FileNamePart(WithoutSeparator(archiveFile));
    const std::string extension = ProjectArchiveExtension;
    if (name.size() > extension.size() &&
        name.compare(name.size() - extension.size(), extension.size(), extension) == 0)
        name.resize(name.size() - extension.size());
    return name;
}

TArchiveSummary ExportProject(const std::string& projectFolder, const std::string& archiveFile,
                              bool replace, const TArchiveLimits& limits,
                              const std::atomic<bool>* cancel) {
    const std::string folder = WithoutSeparator(projectFolder);
    const std::string target = WithoutSeparator(archiveFile);
    const std::string projectFile = folder + "/" + ProjectDocument;
    if (!IsPlainFile(projectFile))
        throw TError("The folder holds no project document (Default.Pro)", folder);

    TArchiveSummary summary;
    std::vector<TExportEntry> entries;
    auto document = [&](const std::string& name) {
        TExportEntry entry;
        entry.Name = name;
        const std::string path = folder + "/" + name;
        entry.Bytes = ReadDocumentFile(path, TXmlDocument::TLinks::Refuse);
        TXmlDocument check;
        try {
            // The archive takes only documents that its import would take.
            if (name == ProjectDocument)
                entry.Bytes = WithoutPassword(entry.Bytes);
            else
                check.LoadFromBytes(entry.Bytes, name);
        } catch (const TError& e) {
            throw e.InFile(path);
        }
        entry.Size = static_cast<std::int64_t>(entry.Bytes.size());
        entry.Digest = Sha256OfBytes(entry.Bytes);
        entry.Modified = ModifiedTime(path);
        entries.push_back(std::move(entry));
    };
    document(ProjectDocument);
    for (const TFileEntry& file : ListFolder(folder))
        if (IsColumnDocumentName(file.Name)) {
            if (!file.IsRegular)
                summary.LeftOut.push_back(file.Name + " (not a plain file)");
            else if (!NameProblem(file.Name).empty())
                summary.LeftOut.push_back(file.Name + " (a name an archive cannot hold)");
            else
                document(file.Name);
        }
    // A column the menu names must travel with the project: an archive without it would be
    // refused by the import.
    if (const std::string missing = MissingColumn(
            folder,
            [&](const std::string& name) {
                return std::any_of(entries.begin(), entries.end(),
                                   [&](const TExportEntry& entry) { return entry.Name == name; });
            });
        !missing.empty())
        throw TError("The project's column document " + Quoted(missing) +
                         " is missing or cannot go into an archive",
                     folder);
    for (const char* sub : Folders) {
        const std::string subFolder = folder + "/" + sub;
        // Images or Downloads as a link would bring files from elsewhere (all of a home
        // folder, say): it is left out as a link in them is.
        if (struct stat st{}; ::lstat(subFolder.c_str(), &st) == 0 && !S_ISDIR(st.st_mode)) {
            summary.LeftOut.push_back(std::string(sub) + (S_ISLNK(st.st_mode) ? " (a symbolic link)"
                                                                              : " (not a folder)"));
            continue;
        }
        for (const TFileEntry& file : ListFolder(subFolder)) {
            const std::string name = std::string(sub) + "/" + file.Name;
            if (file.Name[0] == '.')
                continue; // hidden, as the temporary files of a copy that was broken off
            const char* why = file.IsLink                  ? "a symbolic link"
                              : file.IsFolder              ? "a folder"
                              : !file.IsRegular            ? "not a plain file"
                              : !NameProblem(name).empty() ? "a name an archive cannot hold"
                                                           : nullptr;
            if (why) {
                summary.LeftOut.push_back(name + " (" + why + ")");
                continue;
            }
            TExportEntry entry;
            entry.Name = name;
            entry.Path = subFolder + "/" + file.Name;
            entry.Digest = Sha256OfFile(entry.Path, &entry.Size);
            entry.Modified = ModifiedTime(entry.Path);
            entries.push_back(std::move(entry));
        }
    }
    std::int64_t total = 0;
    for (const TExportEntry& entry : entries)
        total += entry.Size;
    if (total > limits.TotalBytes)
        throw TError("The project is larger than a project archive may be (" +
                         std::to_string(limits.TotalBytes) + " bytes)",
                     folder);
    // Nor more files or a longer list than an import takes.
    const std::string list = ListText(entries);
    if (entries.size() > limits.Entries ||
        static_cast<std::int64_t>(list.size()) > limits.ListBytes)
        throw TError("The project has more files than a project archive may hold (" +
                         std::to_string(limits.Entries) + ", listed in at most " +
                         std::to_string(limits.ListBytes) + " bytes)",
                     folder);

    struct stat st {};
    if (::lstat(target.c_str(), &st) == 0) {
        if (!replace)
            throw TError("The file " + target + " exists already.");
        // Replacing one of the project's own files (a slip of the command line) would lose it.
        for (const TExportEntry& entry : entries) {
            struct stat own {};
            if (::lstat((folder + "/" + entry.Name).c_str(), &own) == 0 &&
                own.st_dev == st.st_dev && own.st_ino == st.st_ino)
                throw TError("The archive would replace the project's own file " +
                                 Quoted(entry.Name),
                             target);
        }
    }
    const std::string temporary = NameBeside(target, "part");
    TFileDescriptor fd(
        FileCalls::Create(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, 0666));
    if (!fd)
        throw TError("The archive cannot be written: " + SystemText(errno), target);
    TLeftover leftover(temporary, false);
    {
        TArchiveWriter writer(fd.Get(), target);
        writer.Begin(ProjectArchiveList, static_cast<std::int64_t>(list.size()),
                     ModifiedTime(projectFile));
        writer.Add(list.data(), list.size(), ProjectArchiveList);
        writer.End(ProjectArchiveList);
        for (const TExportEntry& entry : entries) {
            if (!entry.Path.empty()) {
                AddFile(writer, entry, cancel, target);
                continue;
            }
            CheckCancel(cancel, "export", target);
            writer.Begin(entry.Name, entry.Size, entry.Modified);
            writer.Add(entry.Bytes.data(), entry.Bytes.size(), entry.Name);
            writer.End(entry.Name);
        }
        writer.Close();
    }
    if (FileCalls::Fsync(fd.Get()) != 0)
        throw TError("The archive cannot be written: " + SystemText(errno), target);
    if (const int error = fd.Close(); error != 0)
        throw TError("The archive cannot be written: " + SystemText(error), target);
    if (replace) {
        if (FileCalls::Rename(temporary.c_str(), target.c_str()) != 0)
            throw TError("The archive cannot be written: " + SystemText(errno), target);
    } else if (::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, target.c_str(),
                           RENAME_NOREPLACE) != 0) {
        if (errno == EEXIST)
            throw TError("The file " + target + " exists already.");
        throw TError("The archive cannot be written: " + SystemText(errno), target);
    }
    leftover.Keep();
    summary.Files = static_cast<int>(entries.size());
    summary.Bytes = total;
    return summary;
}

TArchiveSummary ImportProject(const std::string& archiveFile, const std::string& projectFolder,
                              const TArchiveLimits& limits, const std::atomic<bool>* cancel) {
    const std::string target = WithoutSeparator(projectFolder);
    struct stat st {};
    if (::lstat(target.c_str(), &st) == 0)
        throw TError("The folder " + target + " exists already.");
    const std::string parent = FolderPart(target).empty() ? "." : FolderPart(target);
    if (!FolderExists(parent))
        throw TError("The folder to put the project in does not exist", parent);

    TArchiveReader reader(archiveFile, limits, cancel);
    // Everything goes into a folder beside the target, renamed into place when all is read
    // and checked: a failure leaves nothing behind.
    std::string temporary;
    for (int attempt = 0;; ++attempt) {
        temporary = NameBeside(target, "import");
        if (::mkdir(temporary.c_str(), 0777) == 0)
            break;
        if (errno != EEXIST || attempt > 100)
            throw TError("The project folder cannot be made: " + SystemText(errno), target);
    }
    TLeftover leftover(temporary, true);
    TArchiveSummary summary = reader.Unpack(temporary);
    CheckDocuments(temporary, archiveFile);
    if (::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) != 0) {
        if (errno == EEXIST || errno == ENOTEMPTY)
            throw TError("The folder " + target + " exists already.");
        throw TError("The project cannot be put in place: " + SystemText(errno), target);
    }
    leftover.Keep();
    return summary;
}
