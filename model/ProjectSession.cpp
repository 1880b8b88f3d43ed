#include "model/ProjectSession.h"

#include "model/ProjectDocuments.h"
#include "model/StartingWords.h"
#include "model/WelcomeContent.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"

#include <ctime>
#include <utility>
#include <vector>

namespace {

// Removes a folder that this Create made, with everything made in it since: the folder was
// new, so all it holds is the half-made project. Symbolic links are removed, never followed.
void RemoveMadeFolder(const std::string& folder) {
    for (const TFileEntry& entry : ListFolder(folder)) {
        const std::string path = folder + "/" + entry.Name;
        if (entry.IsFolder && !entry.IsLink)
            RemoveMadeFolder(path);
        else
            DeleteFileQuietly(path);
    }
    RemoveEmptyFolder(folder);
}

} // namespace

std::unique_ptr<TDProject> TProjectSession::CreateProject(const std::string& folder,
                                                          TXmlDocument& document,
                                                          const std::string& templateFile) {
    if (!MakeFolder(folder))
        return nullptr;
    std::unique_ptr<TDProject> project;
    try {
        project = std::make_unique<TDProject>(folder, document, templateFile);
        // A project of its own starts with the site options on, the Modern design and the
        // language of the user's locale, whose words it speaks throughout; one made from a
        // template has the template's.
        if (templateFile.empty()) {
            project->OPTIONS = TDOptions::ForNewProject();
            StartInSiteLanguage(*project);
            project->FitLanguageToDesign();
        }
        // A Modern project's hotspot text is formatted text, as its new pages are.
        if (project->OPTIONS.IsModern() && project->HOTSPOT.TEXT.empty())
            project->HOTSPOT.FORMAT = "Markdown";
        project->Save();
        // Never blank: the first column greets the user with what to do next.
        AddWelcomeColumn(*project);
    } catch (...) {
        project.reset();
        RemoveMadeFolder(folder);
        throw;
    }
    return project;
}

bool TProjectSession::RunChange(const std::string& name,
                                const std::function<const TDProject*()>& current,
                                const std::function<void()>& command,
                                const std::function<void(bool changed)>& recorded) {
    const TDProject* project = current();
    if (!project) {
        command();
        return false;
    }
    WaitForWarmUp();
    const std::string folder = project->Folder;
    // A copy of the reading, which shares the bytes: the reading after the command replaces
    // the cache's.
    const TSharedDocuments before = FDocuments.Read(*project);
    // Whether the command changed the documents.
    auto record = [this, &current, &folder, &name, &before] {
        WaitForWarmUp();
        const TDProject* now = current();
        if (!now || now->Folder != folder)
            return false;
        const TSharedDocuments& after = FDocuments.Read(*now);
        if (!FUndoHistory.Record(folder, name, before, after))
            return false;
        VersionsOf(folder).Keep(name, before, after, std::time(nullptr));
        return true;
    };
    auto tell = [&recorded](bool changed) {
        if (recorded)
            recorded(changed);
    };
    try {
        command();
    } catch (...) {
        // What the command wrote before it stopped stays done, and can be taken back.
        bool changed = true;
        try {
            changed = record();
        } catch (const TError&) {
            // The command's own error is the one to show.
        }
        tell(changed);
        throw;
    }
    const bool changed = record();
    tell(changed);
    return changed;
}

void TProjectSession::Undo(const TDProject& project,
                           const std::function<const TDProject&()>& reload) {
    Step(true, project, reload);
}

void TProjectSession::Redo(const TDProject& project,
                           const std::function<const TDProject&()>& reload) {
    Step(false, project, reload);
}

void TProjectSession::Step(bool undo, const TDProject& project,
                           const std::function<const TDProject&()>& reload) {
    WaitForWarmUp();
    const std::string folder = project.Folder;
    const TSharedDocuments before = FDocuments.Read(project);
    const std::string name = undo ? std::string("Undo ").append(FUndoHistory.Undo().Name)
                                  : std::string("Redo ").append(FUndoHistory.Redo().Name);
    const TDProject& reloaded = reload();
    VersionsOf(folder).Keep(name, before, FDocuments.Read(reloaded), std::time(nullptr));
}

TEarlierVersions& TProjectSession::VersionsOf(const std::string& folder) {
    WaitForWarmUp();
    if (!FVersions || FVersions->ProjectFolder() != folder)
        FVersions = std::make_unique<TEarlierVersions>(folder);
    return *FVersions;
}

void TProjectSession::StartWarmUp(const TDProject& project) {
    const std::string folder = project.Folder;
    std::vector<std::string> names;
    try {
        names = ProjectDocumentNames(project);
    } catch (const TError&) {
        return; // the first change reads the folder, and reports what it cannot read
    }
    FWarmUp.Start(FDocuments, VersionsOf(folder), folder, std::move(names));
}

void TProjectSession::Close() {
    WaitForWarmUp();
    FUndoHistory.Clear();
    FDocuments.Clear();
    FVersions.reset();
}
