#include "model/UndoHistory.h"

#include "platform/Error.h"
#include "platform/FileSystem.h"

#include <set>

namespace {

void Put(const std::string& folder, const TDocumentChange& change,
         const std::optional<std::string>& bytes) {
    if (bytes)
        WriteProjectDocument(folder, change.Name, *bytes);
    else
        DeleteFileQuietly(folder + "/" + change.Name);
}

std::size_t BytesOf(const TUndoStep& step) {
    std::size_t bytes = 0;
    for (const TDocumentChange& change : step.Changes)
        bytes +=
            (change.Before ? change.Before->size() : 0) + (change.After ? change.After->size() : 0);
    return bytes;
}

const std::string& BytesIn(const std::string& bytes) {
    return bytes;
}
const std::string& BytesIn(const TSharedBytes& bytes) {
    return *bytes;
}

bool Same(const std::string& a, const std::string& b) {
    return a == b;
}
bool Same(const TSharedBytes& a, const TSharedBytes& b) {
    return a == b || *a == *b;
}

} // namespace

template <typename TDocuments>
bool TUndoHistory::RecordDocuments(const std::string& folder, const std::string& name,
                                   const TDocuments& before, const TDocuments& after) {
    std::set<std::string> names;
    for (const auto& [document, bytes] : before)
        names.insert(document);
    for (const auto& [document, bytes] : after)
        names.insert(document);
    TUndoStep step{name, folder, {}};
    for (const std::string& document : names) {
        // Compared in place: only the documents that changed are copied.
        const auto earlier = before.find(document);
        const auto later = after.find(document);
        const bool hadBefore = earlier != before.end();
        const bool hasAfter = later != after.end();
        if (hadBefore && hasAfter && Same(earlier->second, later->second))
            continue;
        TDocumentChange change{document, std::nullopt, std::nullopt};
        if (hadBefore)
            change.Before = BytesIn(earlier->second);
        if (hasAfter)
            change.After = BytesIn(later->second);
        step.Changes.push_back(std::move(change));
    }
    if (step.Changes.empty())
        return false;
    FUndo.push_back(std::move(step));
    FRedo.clear();
    Trim();
    return true;
}

bool TUndoHistory::Record(const std::string& folder, const std::string& name,
                          const TDocumentBytes& before, const TDocumentBytes& after) {
    return RecordDocuments(folder, name, before, after);
}

bool TUndoHistory::Record(const std::string& folder, const std::string& name,
                          const TSharedDocuments& before, const TSharedDocuments& after) {
    return RecordDocuments(folder, name, before, after);
}

void TUndoHistory::Trim() {
    std::size_t bytes = 0;
    for (const TUndoStep& step : FUndo)
        bytes += BytesOf(step);
    std::size_t drop = 0;
    // The newest step always stays: it is the one the user is most likely to take back.
    while (FUndo.size() - drop > 1 && (FUndo.size() - drop > MaxSteps || bytes > MaxBytes)) {
        bytes -= BytesOf(FUndo[drop]);
        ++drop;
    }
    FUndo.erase(FUndo.begin(), FUndo.begin() + static_cast<std::ptrdiff_t>(drop));
}

std::string TUndoHistory::UndoName() const {
    return FUndo.empty() ? std::string() : FUndo.back().Name;
}

std::string TUndoHistory::RedoName() const {
    return FRedo.empty() ? std::string() : FRedo.back().Name;
}

void TUndoHistory::Apply(const TUndoStep& step, bool undo) {
    std::size_t done = 0;
    try {
        for (; done < step.Changes.size(); ++done) {
            const TDocumentChange& change = step.Changes[done];
            Put(step.Folder, change, undo ? change.Before : change.After);
        }
    } catch (const TError&) {
        // Never leave the project half way between two states.
        for (std::size_t i = 0; i < done; ++i) {
            const TDocumentChange& change = step.Changes[i];
            try {
                Put(step.Folder, change, undo ? change.After : change.Before);
            } catch (const TError&) {
                // The first error is the one to report.
            }
        }
        throw;
    }
}

const TUndoStep& TUndoHistory::Undo() {
    if (FUndo.empty())
        throw TError("There is nothing to undo");
    Apply(FUndo.back(), true);
    FRedo.push_back(std::move(FUndo.back()));
    FUndo.pop_back();
    return FRedo.back();
}

const TUndoStep& TUndoHistory::Redo() {
    if (FRedo.empty())
        throw TError("There is nothing to redo");
    Apply(FRedo.back(), false);
    FUndo.push_back(std::move(FRedo.back()));
    FRedo.pop_back();
    return FUndo.back();
}

void TUndoHistory::Clear() {
    FUndo.clear();
    FRedo.clear();
}
