#include "model/PageId.h"

#include "platform/Error.h"

#include <cerrno>
#include <cstring>
#include <sys/random.h>

namespace {

constexpr std::size_t IdLength = 8;
// 32 characters, so that each random byte's low five bits choose one without bias.
constexpr char IdCharacters[] = "abcdefghijkmnpqrstuvwxyz23456789";

} // namespace

std::string NewPageId() {
    unsigned char bytes[IdLength];
    std::size_t got = 0;
    while (got < sizeof bytes) {
        const ssize_t n = ::getrandom(bytes + got, sizeof bytes - got, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw TError(std::string("No random numbers for a page's id: ") + std::strerror(errno));
        got += static_cast<std::size_t>(n);
    }
    std::string id;
    for (unsigned char byte : bytes)
        id.push_back(IdCharacters[byte & 31U]);
    return id;
}

bool IsPageId(const std::string& id) {
    return id.size() == IdLength && id.find_first_not_of(IdCharacters) == std::string::npos;
}

const std::string& EnsurePageId(TDPage& page) {
    if (page.ID.empty())
        page.ID = NewPageId();
    return page.ID;
}
