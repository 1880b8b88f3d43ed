#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// A buffered, sequential writer over one file: the generator's output. Texts are written
// byte for byte, lines end in CR LF, nothing is escaped or converted.
class TOutputFile {
  public:
    TOutputFile() = default;
    ~TOutputFile();
    TOutputFile(const TOutputFile&) = delete;
    TOutputFile& operator=(const TOutputFile&) = delete;

    // Creates the file empty, replacing one of the same name. Throws TError naming it.
    void Open(const std::string& fileName);
    void Write(std::string_view text);
    void WriteLine(std::string_view text = {});
    // Writes what is buffered and closes; throws TError when the bytes cannot be written.
    void Close();
    bool IsOpen() const { return FFd >= 0; }
    const std::string& FileName() const { return FFileName; }

    // Bytes written through all files since construction.
    std::uint64_t TotalBytes() const { return FTotal; }

  private:
    void Flush();
    int FFd = -1;
    std::string FFileName;
    std::string FBuffer;
    std::uint64_t FTotal = 0;
};
