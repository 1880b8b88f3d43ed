#pragma once

// Publishing into a folder on this machine (a mounted share, a folder a web server serves, a
// folder another tool syncs) through the transport interface, so that the synchronising
// publish works here as on a server: part files renamed into place, the manifest, the lock,
// verified deletes. ChangeFolder opens the folder (the publishing record's FOLDER, a full
// path; links on the way to it are the owner's choice); below it nothing is ever followed: a
// name of a link is refused or handled as the link itself, every file is made anew under its
// part name (O_EXCL, O_NOFOLLOW) and renamed into place (renameat), and names with "..", a
// leading "/" or an empty part are refused, so nothing is written outside the folder.

#include "platform/FileDescriptor.h"
#include "publish/Transport.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class TFolderTransport : public TTransport {
  public:
    explicit TFolderTransport(TTransportSettings settings);

    static constexpr const char* TargetName = "Folder";

    // Nothing to reach: every step goes through the folder ChangeFolder opens.
    void Connect() override;
    // Opens folder (absolute) as the place of every later step.
    void ChangeFolder(const std::string& folder) override;
    // Into a part file made anew, then renamed over remoteName: never written in place.
    void Upload(const std::string& localPath, const std::string& remoteName,
                const std::function<void(std::int64_t)>& progress = {}) override;
    // A plain file only (a link, a folder or a FIFO fails as FileRefused).
    std::string Download(const std::string& remoteName, std::int64_t maxBytes) override;
    // A file or a link itself; a folder fails as FileRefused.
    void Delete(const std::string& remoteName) override;
    // renameat: replaces toName at once.
    void Rename(const std::string& fromName, const std::string& toName) override;
    // A plain file's size; -1 for anything else that has the name.
    std::int64_t RemoteSize(const std::string& remoteName) override;
    // Every name in the folder, hidden ones too, at most MaxListingBytes of them.
    std::vector<std::string> ListNames() override;
    void MakeFolder(const std::string& name) override;
    void RemoveFolder(const std::string& name) override;
    void Disconnect() noexcept override;
    bool Connected() const override { return FConnected; }
    void Cancel() noexcept override { FCancelled = true; }
    void ResetCancel() noexcept override { FCancelled = false; }

    // The folder the steps go to: empty before ChangeFolder.
    const std::string& Folder() const { return FFolder; }

    static constexpr std::size_t MaxListingBytes = 16 * 1024 * 1024;

  protected:
    void UploadPart(const std::string& localPath, const std::string& tempName,
                    const std::function<void(std::int64_t)>& progress) override;
    // By the name itself: a folder or a link is not a file to move aside.
    TPresence TargetPresent(const std::string& remoteName) override;

  private:
    // The folder holding name's last part, opened part by part without following a link,
    // and that last part; fails as FileRefused for a name that could leave the folder.
    TFileDescriptor Parent(const std::string& step, const std::string& name, std::string& leaf);
    // Writes the local file into a file made anew as partName (whatever had that name before
    // unlinked first), with the permissions of the file remoteName where there is one.
    void Store(const std::string& localPath, const std::string& partName,
               const std::string& remoteName, const std::function<void(std::int64_t)>& progress);
    void Check(const std::string& step);
    [[noreturn]] void Fail(const std::string& step, const std::string& name, int error,
                           TTransportFailure otherwise = TTransportFailure::FileRefused) const;
    void Log(const std::string& line) const;

    TTransportSettings FSettings;
    std::string FFolder;
    TFileDescriptor FRoot;
    bool FConnected = false;
    std::atomic<bool> FCancelled{false};
};
