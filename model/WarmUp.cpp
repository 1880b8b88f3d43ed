#include "model/WarmUp.h"

#include <utility>

namespace {

bool Warm(TDocumentCache& cache, TEarlierVersions& versions, const std::string& folder,
          const std::vector<std::string>& names) {
    try {
        versions.Prime(cache.Read(folder, names));
        return true;
    } catch (...) {
        // Dropped: the next reading on the caller's thread reads what is missing, and shows
        // the error if there is one.
        return false;
    }
}

} // namespace

void TWarmUp::Start(TDocumentCache& cache, TEarlierVersions& versions, std::string folder,
                    std::vector<std::string> names) {
    Wait();
    FResult = std::async(std::launch::async,
                         [&cache, &versions, folder = std::move(folder), names = std::move(names)] {
                             return Warm(cache, versions, folder, names);
                         });
}

bool TWarmUp::Wait() {
    if (!FResult.valid())
        return false;
    return FResult.get();
}
