#pragma once

#include "model/CProject.h"
#include "model/DocumentCache.h"
#include "model/EarlierVersions.h"
#include "model/UndoHistory.h"
#include "model/WarmUp.h"
#include "platform/XmlDocument.h"

#include <functional>
#include <memory>
#include <string>

// What a front end does around the open project besides showing it: each change recorded as
// one step of the undo history and one earlier version, Undo and Redo, the documents as the
// last change read them (so that the readings before and after a change read only the files
// that changed since), the warm-up of that reading after opening, and the making of a new
// project. The window keeps the tree, the questions and the enabling, and the open project
// itself (the session is handed it, or a way to find it, for each call). One session serves
// the program's whole run: a project after another, Close between them.
//
// Threads. The session belongs to the thread that made it (the window's): no call comes from
// another. Two threads of others run beside it:
// - The warm-up, started by StartWarmUp, owns the document cache and the earlier versions
//   until it ends. Every call that uses either waits for it first (RunChange, Undo, Redo,
//   VersionsOf, StartWarmUp, Close and the destructor), so each of them may be called while it
//   runs. History, WarmUpPending and CreateProject never wait: the warm-up touches nothing
//   they use. Documents and Versions read the cache and the versions unguarded: only after
//   WaitForWarmUp.
// - A build on another thread (the window's background preview, TPreviewBuilder) reads the
//   project's documents. Nothing may write them meanwhile: the caller stops such a build
//   before RunChange (whose command writes), Undo, Redo and a version's Restore, and starts it
//   again afterwards. StartWarmUp, WaitForWarmUp, History and CreateProject (a folder of its
//   own) may run beside it, as the warm-up itself does: they only read the project's
//   documents, and the earlier versions live in ".history", which no build reads.
class TProjectSession {
  public:
    TProjectSession() = default;
    TProjectSession(const TProjectSession&) = delete;
    TProjectSession& operator=(const TProjectSession&) = delete;
    ~TProjectSession() { WaitForWarmUp(); }

    // Makes the folder of a new project and the project in it, saved: from templateFile, or,
    // when that is empty, a project of its own with the site options on, the Modern design and
    // the language of the user's locale. Gives none when the folder cannot be made (it
    // exists). A project that cannot be made whole takes the folder it made with it, so that
    // the same name can be tried again, and the error goes on to the caller.
    static std::unique_ptr<TDProject> CreateProject(const std::string& folder,
                                                    TXmlDocument& document,
                                                    const std::string& templateFile);

    // Runs command as one change named name ("Add Page", "Topic") of the project that current
    // gives (none: command just runs, and nothing is recorded). The documents it rewrote
    // become one step of the history and the state it gave an earlier version; nothing is
    // recorded when current gives another project, or none, after it. A command that throws
    // has what it wrote before recorded all the same, and its error goes on. recorded, when
    // given, hears whether the command changed the documents, also before such an error goes
    // on. Gives the same.
    bool RunChange(const std::string& name, const std::function<const TDProject*()>& current,
                   const std::function<void()>& command,
                   const std::function<void(bool changed)>& recorded = nullptr);

    // The changes of this session on the open project, for the Edit menu's names.
    const TUndoHistory& History() const { return FUndoHistory; }
    // Takes the latest change of project back, or makes the latest undone change again
    // (History must be able to). reload reads the project again from its files and gives
    // it; the state it then has is kept as an earlier version ("Undo Add Page").
    void Undo(const TDProject& project, const std::function<const TDProject&()>& reload);
    void Redo(const TDProject& project, const std::function<const TDProject&()>& reload);

    // The earlier versions of the project in folder: the same object as long as that project
    // stays open, which remembers the digests of the documents kept so that a change digests
    // only what it rewrote; made when first needed.
    TEarlierVersions& VersionsOf(const std::string& folder);

    // Once an opened project's homepage is shown, the cache and the versions are filled on a
    // thread of their own, so that the first change reads and digests only what it rewrote.
    // A project whose documents cannot be named gets none: its first change reads the folder
    // and reports what it cannot read.
    void StartWarmUp(const TDProject& project);
    void WaitForWarmUp() { FWarmUp.Wait(); }
    bool WarmUpPending() const { return FWarmUp.Pending(); }

    // Forgets the open project: the history, the cache and the versions object.
    void Close();

    // The cache, the versions object (none before the first change or after Close) and the
    // warm-up as they are, for the window's tests.
    const TDocumentCache& Documents() const { return FDocuments; }
    const std::unique_ptr<TEarlierVersions>& Versions() const { return FVersions; }
    const TWarmUp& WarmUp() const { return FWarmUp; }

  private:
    void Step(bool undo, const TDProject& project, const std::function<const TDProject&()>& reload);

    TUndoHistory FUndoHistory;
    TDocumentCache FDocuments;
    std::unique_ptr<TEarlierVersions> FVersions;
    // Last, so that it goes first: it waits before the cache and the versions go.
    TWarmUp FWarmUp;
};
