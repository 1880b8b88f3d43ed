#include "platform/Error.h"

namespace {
std::string Describe(const std::string& message, const std::string& fileName) {
    if (fileName.empty())
        return message;
    return message + " (" + fileName + ")";
}
} // namespace

TError::TError(const std::string& message, const std::string& fileName)
    : std::runtime_error(Describe(message, fileName)), FMessage(message), FFileName(fileName) {}

TError TError::InFile(const std::string& fileName) const {
    if (!FFileName.empty())
        return *this;
    return TError(FMessage, fileName);
}
