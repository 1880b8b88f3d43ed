#pragma once

// The bundled sample project, copied into a test's folder and built into its HTML folder as
// the Publish command builds it, for the tests that publish a whole site; and the view of a
// run that nobody watches (every question answered yes, the messages kept).

#include "generator/Generator.h"
#include "model/CProject.h"
#include "model/ProjectEditor.h"
#include "platform/XmlDocument.h"
#include "publish/PublishRun.h"

#include "TestSupport.h"

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

class TSampleSite {
  public:
    // Copies examples/Sample to folder/Sample and builds it.
    explicit TSampleSite(const std::string& folder) : FFolder(folder + "/Sample") {
        std::filesystem::create_directories(folder);
        std::filesystem::copy(SourceFolder() + "/examples/Sample", FFolder,
                              std::filesystem::copy_options::recursive);
        Project = std::make_unique<TDProject>(FFolder, Document);
        TProjectEditor(*Project).PrepareHTMLFolder();
        Build(*Project, "HTML");
    }

    const std::string& Folder() const { return FFolder; }
    std::string Html() const { return Project->HTMLPath(); }
    // The files that a publish sends: the ordinary files directly in the HTML folder,
    // hidden ones left out, and their bytes.
    std::map<std::string, std::string> Published() const { return Files(Html(), true); }

    // The regular files of folder and their bytes (without hidden ones when told).
    static std::map<std::string, std::string> Files(const std::string& folder,
                                                    bool withoutHidden = false) {
        std::map<std::string, std::string> files;
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            const std::string name = entry.path().filename().string();
            if (entry.is_regular_file() && !(withoutHidden && name[0] == '.'))
                files[name] = ReadFileBytes(entry.path().string());
        }
        return files;
    }

    TXmlDocument Document;
    std::unique_ptr<TDProject> Project;

  private:
    std::string FFolder;
};

// Answers every question yes and keeps the messages.
class TUnwatchedView : public TPublishView {
  public:
    void Message(const std::string& text) override { Messages.push_back(text); }
    bool Confirm(const std::string&) override { return true; }
    std::vector<std::string> Messages;
};
