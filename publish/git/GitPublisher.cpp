#include "publish/git/GitPublisher.h"

#include "publish/SyncPlan.h"
#include "publish/git/GitAddress.h"
#include "publish/git/GitCallbacks.h"
#include "publish/git/GitPack.h"
#include "publish/git/GitSiteIndex.h"
#include "publish/git/GitSocket.h"

#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/Sha256.h"
#include "platform/Text.h"

#include <git2.h>
#include <git2/sys/mempack.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <memory>
#include <pwd.h>
#include <set>
#include <unistd.h>

namespace {

// libgit2's objects, freed when they go.
template <typename T, void (*Free)(T*)> struct TGitFree {
    void operator()(T* object) const { Free(object); }
};
template <typename T, void (*Free)(T*)> using TGitPtr = std::unique_ptr<T, TGitFree<T, Free>>;
using TRemote = TGitPtr<git_remote, git_remote_free>;
using TTree = TGitPtr<git_tree, git_tree_free>;
using TTreeEntry = TGitPtr<git_tree_entry, git_tree_entry_free>;
using TTreeBuilder = TGitPtr<git_treebuilder, git_treebuilder_free>;
using TCommit = TGitPtr<git_commit, git_commit_free>;
using TBlob = TGitPtr<git_blob, git_blob_free>;
using TSignature = TGitPtr<git_signature, git_signature_free>;
using TReference = TGitPtr<git_reference, git_reference_free>;

// The references of the local repository: the branch as last fetched, the commit to push,
// and the last commit published from here.
constexpr const char* FetchedRef = "refs/corvane/fetched";
constexpr const char* OutgoingRef = "refs/corvane/outgoing";
constexpr const char* PublishedRef = "refs/corvane/published";

std::string OidText(const git_oid& oid) {
    char text[GIT_OID_HEXSZ + 1];
    git_oid_tostr(text, sizeof text, &oid);
    return text;
}

// FOLDER as the names of its folders, "" for the root; a TError for a name that has no place
// in a branch (".", "..", ".git", a control character).
std::vector<std::string> FolderNames(const std::string& folder) {
    std::vector<std::string> names;
    std::string name;
    auto take = [&]() {
        if (name.empty())
            return;
        if (name == "." || name == ".." || name == ".git" ||
            name.find_first_of(std::string("\\\r\n\t\0", 5)) != std::string::npos)
            throw TError("The folder \"" + ControlCharactersShown(folder) +
                         "\" cannot be a folder of the branch.");
        names.push_back(name);
        name.clear();
    };
    for (char c : TrimBlanks(folder)) {
        if (c == '/')
            take();
        else
            name += c;
    }
    take();
    return names;
}

// The user's home of caches: never a folder that other users can write to.
std::string CacheHome() {
    const char* cache = std::getenv("XDG_CACHE_HOME");
    if (cache && *cache == '/')
        return cache;
    const char* home = std::getenv("HOME");
    if (home && *home == '/')
        return std::string(home) + "/.cache";
    // Without HOME (a service, a cron job): the account's own home.
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
        found->pw_dir && *found->pw_dir == '/')
        return std::string(found->pw_dir) + "/.cache";
    throw TError("This computer's copy of the branch has no place: neither HOME nor "
                 "XDG_CACHE_HOME is set, and the account has no home folder.");
}

// libgit2 is set up while a publisher lives.
struct TGitLibrary {
    TGitLibrary() {
        git_libgit2_init();
        // Debian's libgit2 verifies with mbedTLS, which is to be shown the system's store.
        static const bool certificates = [] {
            const char* bundle = "/etc/ssl/certs/ca-certificates.crt";
            if (FileExists(bundle))
                git_libgit2_opts(GIT_OPT_SET_SSL_CERT_LOCATIONS, bundle, nullptr);
            return true;
        }();
        (void)certificates;
    }
    ~TGitLibrary() { git_libgit2_shutdown(); }
    TGitLibrary(const TGitLibrary&) = delete;
    TGitLibrary& operator=(const TGitLibrary&) = delete;
};

} // namespace

const char* GitChangeKindText(TGitChangeKind kind) {
    switch (kind) {
    case TGitChangeKind::New:
        return "New";
    case TGitChangeKind::Changed:
        return "Changed";
    case TGitChangeKind::Removed:
        return "Removed";
    case TGitChangeKind::Kept:
        return "Kept";
    }
    return "";
}

std::string TGitResult::KeptNote() const {
    std::string note;
    if (!Kept.empty()) {
        note = std::to_string(Kept.size());
        note.append(Kept.size() == 1 ? " file kept" : " files kept");
        note.append(": changed in the branch since the last publish (");
        for (std::size_t i = 0; i < Kept.size(); ++i) {
            if (i > 0)
                note.append(", ");
            note.append(ControlCharactersShown(Kept[i]));
        }
        note.append(")");
    }
    for (const std::string& name : Foreign) {
        if (!note.empty())
            note.append("; ");
        note.append(ControlCharactersShown(name));
        note.append(" kept: put in the branch by someone else; remove it there to publish the "
                    "site's own");
    }
    return note;
}

struct TGitPublisher::TCallbackState {
    TCallbackState(const TGitSettings& settings, const std::atomic<bool>& cancelled)
        : Callbacks(settings, cancelled), Sockets(cancelled, 30000) {
        Callbacks.Sockets = &Sockets;
    }
    TGitLibrary Library;
    TGitCallbacks Callbacks;
    TGitSocketScope Sockets;
    // Where a run writes its objects, kept in a pack once the push went through (owned by
    // the repository's object database).
    git_odb_backend* Memory = nullptr;
};

void TGitPublisher::Cancel() noexcept {
    FCancelled = true;
    FState->Sockets.ShutDown();
}

TGitPublisher::TGitPublisher(TGitSettings settings)
    : FSettings(std::move(settings)), FState(new TCallbackState(FSettings, FCancelled)) {
    if (FSettings.Branch.empty())
        FSettings.Branch = "gh-pages";
    FState->Callbacks.OnLog = [this](const std::string& line) { Log(line); };
}

TGitPublisher::~TGitPublisher() {
    if (FRepository)
        git_repository_free(FRepository);
    delete FState;
}

std::string TGitPublisher::DefaultCacheFolder(const std::string& repository,
                                              const std::string& branch) {
    return CacheHome() + "/corvane/git/" + Sha256OfBytes(repository + '\n' + branch).substr(0, 24) +
           ".git";
}

void TGitPublisher::Progress(int percent, const std::string& step) {
    if (OnProgress)
        OnProgress(percent, step);
}

void TGitPublisher::Log(const std::string& line) {
    if (OnLog)
        OnLog(line);
}

void TGitPublisher::CheckCancelled() {
    if (FCancelled)
        throw TTransportError("Git: cancelled", TTransportFailure::Cancelled,
                              "Publishing cancelled.");
}

void TGitPublisher::Fail(const std::string& step, int code) {
    const git_error* error = git_error_last();
    const std::string said =
        error && error->message ? error->message : "error " + std::to_string(code);
    const std::string account = "Git: " + step + ": " + said;
    TGitCallbacks& callbacks = FState->Callbacks;
    if (FCancelled)
        throw TTransportError(account, TTransportFailure::Cancelled, "Publishing cancelled.");
    if (callbacks.Refused)
        throw TTransportError(account, callbacks.Refusal, callbacks.Reason, callbacks.Fingerprint);
    std::string lower = said;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    auto has = [&](const char* words) { return lower.find(words) != std::string::npos; };
    const std::string address = ControlCharactersShown(FSettings.Repository);
    std::string host;
    try {
        host = ParseGitAddress(FSettings.Repository).Host;
    } catch (const std::exception&) {
    }
    if (has("failed to resolve address") || has("name or service not known"))
        throw TTransportError(account, TTransportFailure::HostNotFound,
                              "The host " + host + " is not known.");
    if (has("connection refused") || has("failed to connect"))
        throw TTransportError(account, TTransportFailure::NothingListens,
                              "Nothing answers at " + host + ".");
    if (has("timed out") || has("timeout"))
        throw TTransportError(account, TTransportFailure::NoAnswer,
                              "The server did not answer in time.");
    if (has("401") || has("403") || has("authentication") || has("auth"))
        throw TTransportError(account, TTransportFailure::LoginRefused,
                              "The server refused the login.");
    // A connection that broke in the middle of the exchange, before "not found": a pack cut
    // short lacks objects.
    if (has("early eof") || has("unexpected eof") || has("could not read from remote") ||
        has("object not found") || has("connection reset") || has("broken pipe")) {
        std::string lost = "The connection to ";
        lost.append(host.empty() ? address : host).append(" was lost.");
        throw TTransportError(account, TTransportFailure::ConnectionLost, lost);
    }
    if (has("404") || has("not found") || has("could not find repository") ||
        has("not a git repository") || has("does not appear to be a git repository") ||
        has("does not exist") || has("failed to resolve path"))
        throw TTransportError(account, TTransportFailure::FolderMissing,
                              "There is no Git repository at " + address + ".");
    throw TTransportError(account, TTransportFailure::Other, "Git failed: " + said);
}

void TGitPublisher::Open() {
    // The branch's name goes into the push's refspec: only a name Git takes for a branch
    // ("HEAD", "a b", "x:refs/heads/main" are not).
    int valid = 0;
    if (git_branch_name_is_valid(&valid, FSettings.Branch.c_str()) < 0 || !valid) {
        const std::string name = ControlCharactersShown(FSettings.Branch);
        throw TTransportError(
            std::string("Git: the branch name ") + name + " is not valid", TTransportFailure::Other,
            std::string("The branch name \"") + name + "\" is not one Git allows.");
    }
    // A token set for an http:// address to another machine is refused before anything is
    // sent (the credentials refuse it too, wherever a redirect leads).
    if (!FSettings.Token.empty())
        if (const std::string refusal =
                ClearTextTokenRefusal(ParseGitAddress(FSettings.Repository));
            !refusal.empty())
            throw TTransportError("Git: no token over http:// to " +
                                      ControlCharactersShown(FSettings.Repository),
                                  TTransportFailure::Other, refusal);
    if (FRepository)
        return;
    OpenRepository();
    // The run's objects in memory, ahead of the folders: a thousand loose files cost more
    // than the rest of the publish.
    git_odb* odb = nullptr;
    if (git_mempack_new(&FState->Memory) < 0 || git_repository_odb(&odb, FRepository) < 0 ||
        git_odb_add_backend(odb, FState->Memory, 1000) < 0) {
        git_odb_free(odb);
        throw TError("The local copy of the branch cannot be used: " +
                     std::string(git_error_last() ? git_error_last()->message : ""));
    }
    git_odb_free(odb);
}

void TGitPublisher::OpenRepository() {
    ParseGitAddress(FSettings.Repository);
    std::string folder = FSettings.CacheFolder.empty()
                             ? DefaultCacheFolder(FSettings.Repository, FSettings.Branch)
                             : FSettings.CacheFolder;
    if (git_repository_open_bare(&FRepository, folder.c_str()) == 0)
        return;
    FRepository = nullptr;
    // A copy that the system would not open now (no file handle left, no memory, no access)
    // stays: it holds the record of the last publish from here.
    if (const git_error* error = git_error_last();
        error && (error->klass == GIT_ERROR_OS || error->klass == GIT_ERROR_NOMEMORY) &&
        std::filesystem::exists(folder))
        throw TError("This computer's copy of the branch cannot be opened now: " +
                         std::string(error->message ? error->message : ""),
                     folder);
    // A cache that is not there, or is no repository (spoilt), is made anew: it holds nothing
    // that the server does not have.
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    std::filesystem::create_directories(folder, ignored);
    if (const int code = git_repository_init(&FRepository, folder.c_str(), 1); code < 0) {
        FRepository = nullptr;
        throw TError("The local copy of the branch cannot be made: " +
                         std::string(git_error_last() ? git_error_last()->message : ""),
                     folder);
    }
}

int TGitPublisher::NewRemote(git_remote** remote) {
    // The address as the project holds it: the user's url.*.insteadOf of Git's own settings
    // do not apply (and libgit2 1.5 leaks a little memory each time it reads them).
    git_remote_create_options options{};
    git_remote_create_options_init(&options, GIT_REMOTE_CREATE_OPTIONS_VERSION);
    options.repository = FRepository;
    options.flags = GIT_REMOTE_CREATE_SKIP_INSTEADOF | GIT_REMOTE_CREATE_SKIP_DEFAULT_FETCHSPEC;
    return git_remote_create_with_opts(remote, FSettings.Repository.c_str(), &options);
}

bool TGitPublisher::Fetch(std::string& tip, bool download) {
    TGitCallbacks& callbacks = FState->Callbacks;
    git_remote* raw = nullptr;
    if (const int code = NewRemote(&raw); code < 0)
        Fail("the address", code);
    TRemote remote(raw);
    git_remote_callbacks calls{};
    git_remote_init_callbacks(&calls, GIT_REMOTE_CALLBACKS_VERSION);
    callbacks.Fill(calls);
    callbacks.OnTransfer = [this](unsigned done, unsigned total) {
        if (total > 0)
            Progress(10 + static_cast<int>(30ull * done / total),
                     "Fetching " + FSettings.Branch + " (" + std::to_string(done) + " of " +
                         std::to_string(total) + " objects)...");
    };
    Progress(5, "Connecting to " + FSettings.Repository + "...");
    Log("Connecting to " + FSettings.Repository);
    if (const int code =
            git_remote_connect(remote.get(), GIT_DIRECTION_FETCH, &calls, nullptr, nullptr);
        code < 0)
        Fail("connect", code);
    CheckCancelled();
    const git_remote_head** heads = nullptr;
    size_t count = 0;
    if (const int code = git_remote_ls(&heads, &count, remote.get()); code < 0)
        Fail("list the branches", code);
    const std::string wanted = "refs/heads/" + FSettings.Branch;
    const git_remote_head* found = nullptr;
    for (size_t i = 0; i < count; ++i)
        if (wanted == heads[i]->name)
            found = heads[i];
    if (!found) {
        Log("The branch " + FSettings.Branch + " does not exist yet");
        git_remote_disconnect(remote.get());
        return false;
    }
    const git_oid oid = found->oid;
    tip = OidText(oid);
    git_odb* odb = nullptr;
    bool have = false;
    if (git_repository_odb(&odb, FRepository) == 0) {
        have = git_odb_exists(odb, &oid) == 1;
        git_odb_free(odb);
    }
    if (!download) {
        git_remote_disconnect(remote.get());
        return true;
    }
    if (have) {
        Log("The branch " + FSettings.Branch + " is at " + tip + ", which is here already");
    } else {
        Log("Fetching " + FSettings.Branch + " at " + tip);
        const std::string refspec = "+" + wanted + ":" + FetchedRef;
        char* specs[] = {const_cast<char*>(refspec.c_str())};
        const git_strarray refspecs = {specs, 1};
        git_fetch_options options{};
        git_fetch_options_init(&options, GIT_FETCH_OPTIONS_VERSION);
        options.callbacks = calls;
        options.download_tags = GIT_REMOTE_DOWNLOAD_TAGS_NONE;
        options.prune = GIT_FETCH_NO_PRUNE;
        options.update_fetchhead = 0;
        if (const int code = git_remote_download(remote.get(), &refspecs, &options); code < 0)
            Fail("fetch " + FSettings.Branch, code);
    }
    git_remote_disconnect(remote.get());
    git_reference* reference = nullptr;
    if (const int code =
            git_reference_create(&reference, FRepository, FetchedRef, &oid, 1, "fetched");
        code < 0)
        Fail("keep the fetched branch", code);
    git_reference_free(reference);
    return true;
}

std::vector<std::string> TGitPublisher::Branches() {
    FCancelled = false;
    FState->Sockets.TimeoutMs = ReadTimeout;
    TGitSocketScope::TOnThisThread sockets(FState->Sockets);
    TGitCallbacks& callbacks = FState->Callbacks;
    callbacks.Refused = false;
    Open();
    git_remote* raw = nullptr;
    if (const int code = NewRemote(&raw); code < 0)
        Fail("the address", code);
    TRemote remote(raw);
    git_remote_callbacks calls{};
    git_remote_init_callbacks(&calls, GIT_REMOTE_CALLBACKS_VERSION);
    callbacks.Fill(calls);
    if (const int code =
            git_remote_connect(remote.get(), GIT_DIRECTION_FETCH, &calls, nullptr, nullptr);
        code < 0)
        Fail("connect", code);
    const git_remote_head** heads = nullptr;
    size_t count = 0;
    if (const int code = git_remote_ls(&heads, &count, remote.get()); code < 0)
        Fail("list the branches", code);
    std::vector<std::string> branches;
    const std::string prefix = "refs/heads/";
    for (size_t i = 0; i < count; ++i) {
        const std::string name = heads[i]->name;
        if (name.rfind(prefix, 0) == 0)
            branches.push_back(name.substr(prefix.size()));
    }
    git_remote_disconnect(remote.get());
    std::sort(branches.begin(), branches.end());
    return branches;
}

TGitResult TGitPublisher::Compare(const std::string& siteFolder) {
    return Run(siteFolder, false);
}

TGitResult TGitPublisher::Publish(const std::string& siteFolder) {
    return Run(siteFolder, true);
}

namespace {

// The tree of a commit's folder and what the commit's new tree is made of.
class TTreeWork {
  public:
    TTreeWork(git_repository* repository, const std::vector<std::string>& folders)
        : FRepository(repository), FFolders(folders) {}

    // Reads the trees from the root down to the folder (none where the branch lacks them).
    void Load(const git_oid* rootTree) {
        FTrees.clear();
        git_tree* tree = nullptr;
        if (rootTree && git_tree_lookup(&tree, FRepository, rootTree) < 0)
            throw TError("The branch's tree cannot be read");
        FTrees.emplace_back(tree);
        for (const std::string& name : FFolders) {
            git_tree* parent = FTrees.back().get();
            git_tree* child = nullptr;
            if (parent) {
                const git_tree_entry* entry = git_tree_entry_byname(parent, name.c_str());
                if (entry && git_tree_entry_type(entry) != GIT_OBJECT_TREE)
                    throw TError("The branch holds a file " + ControlCharactersShown(name) +
                                 " where the site's folder is to be; it is left as it is.");
                if (entry && git_tree_lookup(&child, FRepository, git_tree_entry_id(entry)) < 0)
                    throw TError("The branch's folder " + ControlCharactersShown(name) +
                                 " cannot be read");
            }
            FTrees.emplace_back(child);
        }
    }
    git_tree* Folder() const { return FTrees.back().get(); }

    // The root tree with folderTree in place of the folder; the trees written go into made.
    git_oid Root(const git_oid& folderTree, std::vector<git_oid>& made) const {
        git_oid oid = folderTree;
        for (std::size_t i = FFolders.size(); i-- > 0;) {
            git_treebuilder* raw = nullptr;
            if (git_treebuilder_new(&raw, FRepository, FTrees[i].get()) < 0)
                throw TError("The branch's tree cannot be built");
            TTreeBuilder builder(raw);
            if (git_treebuilder_insert(nullptr, builder.get(), FFolders[i].c_str(), &oid,
                                       GIT_FILEMODE_TREE) < 0 ||
                git_treebuilder_write(&oid, builder.get()) < 0)
                throw TError("The branch's tree cannot be built");
            made.push_back(oid);
        }
        return oid;
    }

  private:
    git_repository* FRepository;
    const std::vector<std::string>& FFolders;
    std::vector<TTree> FTrees;
};

} // namespace

TGitResult TGitPublisher::Run(const std::string& siteFolder, bool push) {
    FCancelled = false;
    FState->Sockets.TimeoutMs = ReadTimeout;
    TGitSocketScope::TOnThisThread sockets(FState->Sockets);
    TGitCallbacks& callbacks = FState->Callbacks;
    const std::vector<std::string> folders = FolderNames(FSettings.Folder);
    Open();
    // What a run made and did not keep goes with it.
    struct TForget {
        git_odb_backend* Memory;
        ~TForget() { git_mempack_reset(Memory); }
    } forget{FState->Memory};
    Progress(0, "Reading the site...");
    // The site's files: name, size, SHA-256 (for the manifest) and the blob's id, read only
    // where they changed since the last run from here.
    TGitSiteIndex index(git_repository_path(FRepository) + std::string("corvane-site-") +
                        Sha256OfBytes(siteFolder).substr(0, 16));
    const std::vector<TGitSiteFile> site = index.List(siteFolder);
    index.Save();
    std::string root = siteFolder;
    if (!root.empty() && root.back() != '/')
        root += '/';

    // A publish builds on the branch as this computer last fetched or pushed it, without
    // asking the server first: the push tells when the branch moved meanwhile, and then the
    // branch is fetched and the commit built again. A comparison, or a first publish from
    // here, fetches first.
    git_oid cached{};
    bool fetchFirst = !push || git_reference_name_to_id(&cached, FRepository, FetchedRef) != 0;
    if (!fetchFirst) {
        git_commit* commit = nullptr;
        fetchFirst = git_commit_lookup(&commit, FRepository, &cached) != 0;
        git_commit_free(commit);
    }
    for (int attempt = 1;; ++attempt) {
        callbacks.Refused = false;
        callbacks.PushRejection.clear();
        TGitResult result;
        result.Attempts = attempt;
        std::string tip;
        if (fetchFirst) {
            result.BranchExisted = Fetch(tip, true);
        } else {
            tip = OidText(cached);
            result.BranchExisted = true;
            Log("Building on " + FSettings.Branch + " as last fetched, at " + tip);
        }
        CheckCancelled();

        git_oid tipOid{};
        TCommit base;
        if (result.BranchExisted) {
            git_oid_fromstr(&tipOid, tip.c_str());
            // The branch must hold what was last published from here: a branch whose history
            // was written anew is never built upon, let alone overwritten.
            // Starting over is the owner's choice: without this computer's copy of the branch
            // the next publish builds on the branch as it is now.
            git_oid published{};
            if (git_reference_name_to_id(&published, FRepository, PublishedRef) == 0 &&
                !git_oid_equal(&published, &tipOid) &&
                git_graph_descendant_of(FRepository, &tipOid, &published) != 1) {
                std::string copy = git_repository_path(FRepository);
                if (copy.size() > 1 && copy.back() == '/')
                    copy.pop_back();
                throw TTransportError(
                    "Git: " + FSettings.Branch + " at " + tip + " does not descend from " +
                        OidText(published),
                    TTransportFailure::Other,
                    "The branch " + ControlCharactersShown(FSettings.Branch) +
                        " was written anew since the last publish from here, so nothing was "
                        "published; to publish onto it as it is now, delete this computer's "
                        "copy of it (the folder " +
                        ControlCharactersShown(copy) + "), or choose another branch.");
            }
            git_commit* commit = nullptr;
            if (const int code = git_commit_lookup(&commit, FRepository, &tipOid); code < 0)
                Fail("read " + FSettings.Branch, code);
            base.reset(commit);
        }

        Progress(40, "Building the commit...");
        TTreeWork trees(FRepository, folders);
        try {
            trees.Load(base ? git_commit_tree_id(base.get()) : nullptr);
        } catch (const TError& e) {
            throw TTransportError("Git: " + e.Message(), TTransportFailure::FileRefused,
                                  e.Message());
        }
        // What the previous publish made here.
        TManifest previous;
        if (git_tree* folder = trees.Folder())
            if (const git_tree_entry* entry = git_tree_entry_byname(folder, TManifest::FileName);
                entry && git_tree_entry_type(entry) == GIT_OBJECT_BLOB) {
                git_blob* raw = nullptr;
                if (git_blob_lookup(&raw, FRepository, git_tree_entry_id(entry)) == 0) {
                    TBlob blob(raw);
                    try {
                        if (git_blob_rawsize(blob.get()) > TManifest::MaxBytes)
                            throw TError("The manifest is too large");
                        previous = TManifest::Parse(
                            std::string(static_cast<const char*>(git_blob_rawcontent(blob.get())),
                                        static_cast<std::size_t>(git_blob_rawsize(blob.get()))));
                    } catch (const TError& e) {
                        result.ManifestNote = e.Message() + ": nothing was removed.";
                        Log(result.ManifestNote);
                    }
                }
            }

        git_treebuilder* rawBuilder = nullptr;
        if (git_treebuilder_new(&rawBuilder, FRepository, trees.Folder()) < 0)
            Fail("build the tree", -1);
        TTreeBuilder builder(rawBuilder);
        TManifest manifest;
        std::set<std::string> names;
        // Whether the branch's file name is no longer what the manifest says the last publish
        // wrote there (its size or SHA-256): the owner changed it by hand since.
        const auto changedByHand = [&](const git_tree_entry* entry, const std::string& name) {
            const auto listed = previous.Files.find(name);
            if (listed == previous.Files.end() || !listed->second.Known() ||
                git_tree_entry_type(entry) != GIT_OBJECT_BLOB)
                return false;
            git_blob* raw = nullptr;
            if (git_blob_lookup(&raw, FRepository, git_tree_entry_id(entry)) < 0)
                Fail("read " + name, -1);
            TBlob blob(raw);
            const auto size = static_cast<std::int64_t>(git_blob_rawsize(blob.get()));
            if (size != listed->second.Size)
                return true;
            TSha256 digest;
            digest.Add(git_blob_rawcontent(blob.get()), static_cast<std::size_t>(size));
            return !(listed->second.Sha256 == digest.Finish());
        };
        const auto keep = [&](const std::string& name, std::int64_t size) {
            manifest.Files[name] = previous.Files.at(name);
            result.Changes.push_back({name, TGitChangeKind::Kept, size});
            result.Kept.push_back(name);
            Log(ControlCharactersShown(name) +
                " kept: changed in the branch since the last publish");
        };

        // The objects this attempt wrote, kept once its commit is pushed.
        std::vector<git_oid> made;
        std::size_t done = 0;
        for (const TGitSiteFile& file : site) {
            CheckCancelled();
            names.insert(file.Name);
            manifest.Files[file.Name] = TManifestEntry{file.Size, TSha256Digest(file.Sha256)};
            git_oid oid = file.Blob;
            const git_tree_entry* existing = git_treebuilder_get(builder.get(), file.Name.c_str());
            if (existing && git_tree_entry_type(existing) == GIT_OBJECT_TREE)
                throw TTransportError("Git: " + file.Name + " is a folder in the branch",
                                      TTransportFailure::FileRefused,
                                      "The branch holds a folder " +
                                          ControlCharactersShown(file.Name) +
                                          " where the site has a file; it is left as it is.",
                                      {}, file.Name);
            if (existing && git_oid_equal(git_tree_entry_id(existing), &oid) &&
                git_tree_entry_filemode(existing) != GIT_FILEMODE_COMMIT)
                continue;
            if (existing && changedByHand(existing, file.Name)) {
                keep(file.Name, file.Size);
                continue;
            }
            // A file the last publish did not make is the owner's (with a manifest that could
            // not be read, nobody can tell: the site's is written as before).
            if (existing && result.ManifestNote.empty() && previous.Files.count(file.Name) == 0) {
                manifest.Files.erase(file.Name);
                result.Changes.push_back({file.Name, TGitChangeKind::Kept, file.Size});
                result.Foreign.push_back(file.Name);
                Log(ControlCharactersShown(file.Name) + " kept: put in the branch by someone else");
                continue;
            }
            // Left out of the publish: the branch keeps what it has, and the manifest what it
            // said of it.
            if (Selected && Selected->count(file.Name) == 0) {
                if (const auto listed = previous.Files.find(file.Name);
                    existing && listed != previous.Files.end())
                    manifest.Files[file.Name] = listed->second;
                else
                    manifest.Files.erase(file.Name);
                continue;
            }
            const std::string bytes = ReadSiteFile(root + file.Name);
            if (git_blob_create_from_buffer(&oid, FRepository, bytes.data(), bytes.size()) < 0 ||
                git_treebuilder_insert(nullptr, builder.get(), file.Name.c_str(), &oid,
                                       GIT_FILEMODE_BLOB) < 0)
                Fail("store " + file.Name, -1);
            made.push_back(oid);
            result.Changes.push_back(
                {file.Name, existing ? TGitChangeKind::Changed : TGitChangeKind::New, file.Size});
            ++result.Changed;
            if (++done % 64 == 0)
                Progress(40 + static_cast<int>(30 * done / site.size()), "Building the commit...");
        }
        for (const auto& [name, entry] : previous.Files) {
            if (names.count(name) != 0)
                continue;
            const git_tree_entry* existing = git_treebuilder_get(builder.get(), name.c_str());
            // Only a file: a folder of that name is not what the publish made.
            if (!existing || git_tree_entry_type(existing) != GIT_OBJECT_BLOB)
                continue;
            if (changedByHand(existing, name)) {
                keep(name, entry.Size);
                continue;
            }
            if (Selected && Selected->count(name) == 0) {
                manifest.Files[name] = entry;
                continue;
            }
            if (git_treebuilder_remove(builder.get(), name.c_str()) < 0)
                Fail("remove " + name, -1);
            result.Changes.push_back({name, TGitChangeKind::Removed, entry.Size});
            ++result.Removed;
        }

        // Nothing of the site changed and the manifest lists the site as it is: no commit.
        TManifest listed = previous;
        listed.PublisherId.clear();
        listed.PublishedAt = 0;
        if (result.Changed == 0 && result.Removed == 0 && result.ManifestNote.empty() &&
            listed == manifest && result.BranchExisted) {
            // Nothing against the branch as last fetched: so only if the server's is the same.
            if (!fetchFirst) {
                std::string now;
                Fetch(now, false);
                if (now != tip) {
                    Log("The branch " + FSettings.Branch + " moved since it was last fetched");
                    fetchFirst = true;
                    continue;
                }
            }
            result.Message = NothingMessage;
            Log(NothingMessage);
            Progress(100, NothingMessage);
            return result;
        }
        result.Message = "Publish from Corvane: " + std::to_string(result.Changed) + " changed, " +
                         std::to_string(result.Removed) + " removed";
        if (!push) {
            Progress(100, result.Message);
            return result;
        }

        const std::int64_t now = static_cast<std::int64_t>(std::time(nullptr));
        manifest.PublisherId = FSettings.ProjectId;
        manifest.PublishedAt = now;
        const std::string manifestText = manifest.Text();
        git_oid manifestOid{};
        if (git_blob_create_from_buffer(&manifestOid, FRepository, manifestText.data(),
                                        manifestText.size()) < 0 ||
            git_treebuilder_insert(nullptr, builder.get(), TManifest::FileName, &manifestOid,
                                   GIT_FILEMODE_BLOB) < 0)
            Fail("store the manifest", -1);
        made.push_back(manifestOid);
        git_oid folderTree{};
        if (git_treebuilder_write(&folderTree, builder.get()) < 0)
            Fail("write the tree", -1);
        made.push_back(folderTree);
        const git_oid rootTree = trees.Root(folderTree, made);
        git_tree* rawTree = nullptr;
        if (git_tree_lookup(&rawTree, FRepository, &rootTree) < 0)
            Fail("read the tree", -1);
        TTree tree(rawTree);

        // The author as the settings name them, else as Git's own settings do.
        git_signature* rawSignature = nullptr;
        int signed_ = -1;
        if (!TrimBlanks(FSettings.AuthorName).empty())
            signed_ = git_signature_new(&rawSignature, FSettings.AuthorName.c_str(),
                                        FSettings.AuthorEmail.c_str(), now, 0);
        if (signed_ < 0)
            signed_ = git_signature_default(&rawSignature, FRepository);
        // Without a name or an address anywhere: the program's own, so that a publish never
        // fails for want of them.
        if (signed_ < 0) {
            const std::string name =
                TrimBlanks(FSettings.AuthorName).empty() ? "Corvane" : FSettings.AuthorName;
            const std::string email = TrimBlanks(FSettings.AuthorEmail).empty()
                                          ? std::string("corvane@localhost")
                                          : FSettings.AuthorEmail;
            signed_ = git_signature_new(&rawSignature, name.c_str(), email.c_str(), now, 0);
        }
        if (signed_ < 0)
            Fail("sign the commit", signed_);
        TSignature signature(rawSignature);
        const git_commit* parents[] = {base.get()};
        git_oid commit{};
        if (const int code = git_commit_create(&commit, FRepository, nullptr, signature.get(),
                                               signature.get(), nullptr, result.Message.c_str(),
                                               tree.get(), base ? 1 : 0, parents);
            code < 0)
            Fail("write the commit", code);
        made.push_back(commit);
        git_reference* reference = nullptr;
        if (const int code =
                git_reference_create(&reference, FRepository, OutgoingRef, &commit, 1, nullptr);
            code < 0)
            Fail("keep the commit", code);
        git_reference_free(reference);
        Log(result.Message + " (" + OidText(commit) + ")");
        CheckCancelled();

        if (BeforePush)
            BeforePush(attempt);
        Progress(70, "Pushing to " + FSettings.Branch + "...");
        git_remote* rawRemote = nullptr;
        if (const int code = NewRemote(&rawRemote); code < 0)
            Fail("the address", code);
        TRemote remote(rawRemote);
        git_push_options options{};
        git_push_options_init(&options, GIT_PUSH_OPTIONS_VERSION);
        // The pack is made on every core.
        options.pb_parallelism = 0;
        callbacks.Fill(options.callbacks);
        callbacks.OnTransfer = [this](unsigned sent, unsigned total) {
            if (total > 0)
                Progress(70 + static_cast<int>(30ull * sent / total),
                         "Pushing " + std::to_string(sent) + " of " + std::to_string(total) +
                             " objects...");
        };
        // Never "+": the server moves the branch only forward.
        const std::string refspec = std::string(OutgoingRef) + ":refs/heads/" + FSettings.Branch;
        char* specs[] = {const_cast<char*>(refspec.c_str())};
        const git_strarray refspecs = {specs, 1};
        const int pushed = git_remote_push(remote.get(), &refspecs, &options);
        const bool moved =
            pushed == GIT_ENONFASTFORWARD ||
            (pushed == 0 && !callbacks.PushRejection.empty() &&
             (callbacks.PushRejection.find("fetch first") != std::string::npos ||
              callbacks.PushRejection.find("non-fast-forward") != std::string::npos ||
              callbacks.PushRejection.find("lock") != std::string::npos ||
              callbacks.PushRejection.find("stale") != std::string::npos));
        if (moved) {
            Log("The branch " + FSettings.Branch + " moved meanwhile");
            fetchFirst = true;
            if (attempt > MaxRetries)
                throw TTransportError(
                    "Git: " + FSettings.Branch + " kept moving", TTransportFailure::Other,
                    "The branch " + FSettings.Branch +
                        " kept changing on the server while the site was published; nothing "
                        "was published, try again later.");
            continue;
        }
        if (pushed < 0)
            Fail("push to " + FSettings.Branch, pushed);
        if (!callbacks.PushRejection.empty())
            throw TTransportError("Git: the server refused the push: " + callbacks.PushRejection,
                                  TTransportFailure::FileRefused,
                                  "The server refused the new commit of " + FSettings.Branch +
                                      ": " + ControlCharactersShown(callbacks.PushRejection) + ".");
        bool kept = true;
        try {
            KeepObjectsInPack(FRepository, made);
        } catch (const TError& e) {
            // The branch on the server has them: the next publish fetches first.
            Log(e.Message());
            kept = false;
        }
        for (const char* name : {FetchedRef, PublishedRef}) {
            if (!kept) {
                git_reference_remove(FRepository, name);
                continue;
            }
            reference = nullptr;
            if (git_reference_create(&reference, FRepository, name, &commit, 1, nullptr) == 0)
                git_reference_free(reference);
        }
        result.Commit = OidText(commit);
        Progress(100, result.Message);
        return result;
    }
}
