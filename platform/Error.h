#pragma once

#include <stdexcept>
#include <string>

// The one error type of the core. Message is the text the user is meant to read exactly
// (for example "'42 ' is not a valid integer value"); FileName, when known, names the file
// that the failing operation was working on and is added to what().
class TError : public std::runtime_error {
  public:
    explicit TError(const std::string& message, const std::string& fileName = "");

    const std::string& Message() const { return FMessage; }
    const std::string& FileName() const { return FFileName; }

    // The same error, now known to concern the given file (kept when one is already named).
    TError InFile(const std::string& fileName) const;

  private:
    std::string FMessage;
    std::string FFileName;
};
