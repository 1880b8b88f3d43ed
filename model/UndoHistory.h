#pragma once

#include "model/ProjectDocuments.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

// One document that a change rewrote: its bytes before and after (none where the document
// did not exist).
struct TDocumentChange {
    std::string Name;
    std::optional<std::string> Before;
    std::optional<std::string> After;
};

// One change that can be taken back: its name as the Edit menu shows it ("Add Page",
// "Topic") and every document it rewrote.
struct TUndoStep {
    std::string Name;
    std::string Folder;
    std::vector<TDocumentChange> Changes;
};

// The changes of one working session on a project, to be taken back (Undo) and made again
// (Redo). A change is recorded as the bytes of the project's documents before and after
// it; Undo writes the earlier bytes back (each document atomically, and a document that the
// change made is removed again), Redo the later ones. Pictures and downloads that a change
// copied into the project stay where they are. The oldest steps go when the history holds
// more than MaxSteps steps or MaxBytes bytes.
class TUndoHistory {
  public:
    static constexpr std::size_t MaxSteps = 1000;
    static constexpr std::size_t MaxBytes = 256u * 1024u * 1024u;

    // Records the change named name of the documents in folder; false, with nothing
    // recorded, when no document changed. A new change cannot be redone over: the steps
    // that were undone go.
    bool Record(const std::string& folder, const std::string& name, const TDocumentBytes& before,
                const TDocumentBytes& after);
    // The same for shared readings: a document that both share is unchanged without a
    // comparison, so that the cost follows the documents that the change rewrote.
    bool Record(const std::string& folder, const std::string& name, const TSharedDocuments& before,
                const TSharedDocuments& after);

    bool CanUndo() const { return !FUndo.empty(); }
    bool CanRedo() const { return !FRedo.empty(); }
    // The name of the step that Undo or Redo would act on (empty when there is none).
    std::string UndoName() const;
    std::string RedoName() const;
    std::size_t UndoCount() const { return FUndo.size(); }
    std::size_t RedoCount() const { return FRedo.size(); }

    // Takes the latest change back, or makes the latest undone change again, and gives the
    // step. When a document cannot be written, the documents written so far are put back,
    // the step stays where it was and the TError naming the file goes on to the caller.
    const TUndoStep& Undo();
    const TUndoStep& Redo();

    void Clear();

  private:
    template <typename TDocuments>
    bool RecordDocuments(const std::string& folder, const std::string& name,
                         const TDocuments& before, const TDocuments& after);
    static void Apply(const TUndoStep& step, bool undo);
    void Trim();

    std::vector<TUndoStep> FUndo;
    std::vector<TUndoStep> FRedo;
};
