#pragma once

#include "platform/CharsetEncoder.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <unordered_map>

// A sequential writer over one file at a time: the generator's output. Texts are written
// byte for byte, lines end in CR LF, nothing is escaped. With an encoding set, each file is
// converted from UTF-8 to it when it is closed (TCharsetEncoder); without one its bytes are
// the texts' own.
//
// A file's bytes are collected in memory and written when it is closed. The writer remembers
// what it wrote to each file: when the same bytes are written again to a file that nobody
// has touched since, the file is left as it is. The result on disk is the same, and the
// preview, which rebuilds the whole site after every change, only rewrites what changed.
class TOutputFile {
  public:
    TOutputFile() = default;
    TOutputFile(const TOutputFile&) = delete;
    TOutputFile& operator=(const TOutputFile&) = delete;

    // Starts a file, to be created empty or replaced at Close.
    void Open(const std::string& fileName);
    void Write(std::string_view text) { FBuffer.append(text); }
    void WriteLine(std::string_view text = {}) {
        FBuffer.append(text);
        FBuffer.append("\r\n", 2);
    }
    // Writes the file unless it already holds exactly these bytes. Throws TError naming the
    // file when it cannot be created or written; the file is then closed all the same.
    void Close();
    // Ends the file in progress without writing it (after an error in a page writer).
    void Abandon();
    bool IsOpen() const { return FOpen; }
    const std::string& FileName() const { return FFileName; }

    // The encoding of the files closed from now on, by its iconv name; empty for none. Throws
    // TError when the system cannot convert to it, and then keeps the one it had.
    void SetEncoding(const std::string& encoding);
    std::string Encoding() const { return FEncoder ? FEncoder->Encoding() : std::string(); }

    // Bytes of all files closed since construction, written or found unchanged, counted
    // after the conversion: the files' sizes.
    std::uint64_t TotalBytes() const { return FTotal; }
    // Files actually written, and files found unchanged and left alone.
    std::uint64_t FilesWritten() const { return FWritten; }
    std::uint64_t FilesUnchanged() const { return FUnchanged; }
    // Forgets what was written: every later file is written.
    void ForgetWrittenFiles() { FKnown.clear(); }
    // Gives what this writer remembers of the files it wrote to another writer, which
    // forgets its own; this one then remembers nothing. For a build that runs with an output
    // of its own each time and should still leave unchanged files alone.
    void HandOverWrittenFiles(TOutputFile& to) {
        to.FKnown = std::move(FKnown);
        FKnown.clear();
    }

  private:
    struct TKnownFile {
        std::uint64_t Hash = 0;
        std::uint64_t Size = 0;
        dev_t Device = 0;
        ino_t Inode = 0;
        std::int64_t ModifiedSeconds = 0;
        long ModifiedNanoseconds = 0;
    };
    void WriteToDisk(TKnownFile& known);

    bool FOpen = false;
    std::string FFileName;
    std::string FBuffer;
    std::unique_ptr<TCharsetEncoder> FEncoder;
    std::string FEncoded; // the converted bytes, kept to save its allocation
    std::uint64_t FTotal = 0;
    std::uint64_t FWritten = 0;
    std::uint64_t FUnchanged = 0;
    std::unordered_map<std::string, TKnownFile> FKnown;
};
