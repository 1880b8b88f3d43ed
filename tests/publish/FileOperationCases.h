#pragma once

// The file operations of a transport (download, delete, rename, remote size, the listing of the
// folder and whether a file is there) as one table of
// cases, played against a real server: each case lays out the server's folder on disk, runs
// one operation through a transport connected and changed to that folder, and compares its
// result, its failure and the folder afterwards.

#include "publish/Transport.h"

#include "TestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace fileoperations {

using TFiles = std::map<std::string, std::string>;

// The regular files of folder and their bytes.
inline TFiles FilesIn(const std::string& folder) {
    TFiles files;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.is_regular_file())
            files[entry.path().filename().string()] = ReadFileBytes(entry.path().string());
    return files;
}

struct TCase {
    const char* Name;
    TFiles Before;
    // The operation; what it returns (a download's bytes, a size as text) is compared with
    // Result.
    std::function<std::string(TTransport&)> Operation;
    std::string Result;
    std::optional<TTransportFailure> Failure;
    TFiles After;
};

// Plays every case against transport, connected and in the folder that is serverFolder on
// this machine; missingCode is the reply code (FTP) or status (SFTP) of a missing file.
// renameReplaces: the server renames over an existing file; otherwise that rename fails as
// FileRefused with the code refusedCode and leaves both files as they were. The reason of a
// missing file says missingWords, that of a file too long names the file and placeWords.
inline void PlayCases(TTransport& transport, const std::string& serverFolder, int missingCode,
                      bool renameReplaces = true, int refusedCode = 0,
                      const std::string& missingWords = "is not on the server",
                      const std::string& placeWords = "\" on 127.0.0.1:") {
    const std::string page = "<html>\r\n<body>Page</body>\r\n</html>\r\n";
    const std::string big = PseudoRandomBytes(300000, 11);
    const TCase cases[] = {
        {"presence of a file and of a missing one",
         {{"page.htm", page}},
         [](TTransport& t) {
             return std::string(t.Presence("page.htm") == TPresence::Present ? "present" : "?") +
                    (t.Presence("missing.htm") == TPresence::Absent ? " absent" : " ?");
         },
         "present absent",
         {},
         {{"page.htm", page}}},
        {"delete of a file, seen gone",
         {{"old.htm", "old"}, {"page.htm", page}},
         [](TTransport& t) {
             t.Delete("old.htm");
             return std::string(t.Presence("old.htm") == TPresence::Absent ? "gone"
                                                                           : "still there");
         },
         "gone",
         {},
         {{"page.htm", page}}},
        {"download of a page",
         {{"page.htm", page}},
         [](TTransport& t) { return t.Download("page.htm", 1 << 20); },
         page,
         {},
         {{"page.htm", page}}},
        {"download of a large binary file",
         {{"picture.jpg", big}},
         [&](TTransport& t) {
             return t.Download("picture.jpg", static_cast<std::int64_t>(big.size()));
         },
         big,
         {},
         {{"picture.jpg", big}}},
        {"download of an empty file",
         {{"empty.txt", ""}},
         [](TTransport& t) { return t.Download("empty.txt", 0); },
         "",
         {},
         {{"empty.txt", ""}}},
        {"download of a missing file",
         {{"page.htm", page}},
         [](TTransport& t) { return t.Download("missing.htm", 1 << 20); },
         "",
         TTransportFailure::FileMissing,
         {{"page.htm", page}}},
        {"download of a file one byte too long",
         {{"picture.jpg", big}},
         [&](TTransport& t) {
             return t.Download("picture.jpg", static_cast<std::int64_t>(big.size()) - 1);
         },
         "",
         TTransportFailure::Other,
         {{"picture.jpg", big}}},
        // After the download cut short: the data connection of FTPS broken off leaves the
        // control connection's TLS session fit to be resumed by the next one (vsftpd
        // requires that).
        {"listing of the folder",
         {{"page.htm", page}, {"empty.txt", ""}, {"picture.jpg", big}},
         [](TTransport& t) {
             std::vector<std::string> names = t.ListNames();
             std::sort(names.begin(), names.end());
             std::string text;
             for (const std::string& name : names)
                 text += name + "\n";
             return text;
         },
         "empty.txt\npage.htm\npicture.jpg\n",
         {},
         {{"page.htm", page}, {"empty.txt", ""}, {"picture.jpg", big}}},
        {"delete of a file",
         {{"old.htm", "old"}, {"page.htm", page}},
         [](TTransport& t) {
             t.Delete("old.htm");
             return std::string();
         },
         "",
         {},
         {{"page.htm", page}}},
        {"delete of a missing file",
         {{"page.htm", page}},
         [](TTransport& t) {
             t.Delete("old.htm");
             return std::string();
         },
         "",
         TTransportFailure::FileMissing,
         {{"page.htm", page}}},
        {"rename onto a new name",
         {{"page.htm.part", page}},
         [](TTransport& t) {
             t.Rename("page.htm.part", "page.htm");
             return std::string();
         },
         "",
         {},
         {{"page.htm", page}}},
        {"rename over an existing file",
         {{"page.htm.part", page}, {"page.htm", std::string(5000, 'x')}},
         [](TTransport& t) {
             t.Rename("page.htm.part", "page.htm");
             return std::string();
         },
         "",
         renameReplaces ? std::nullopt : std::optional(TTransportFailure::FileRefused),
         renameReplaces ? TFiles{{"page.htm", page}}
                        : TFiles{{"page.htm.part", page}, {"page.htm", std::string(5000, 'x')}}},
        {"rename of a missing file",
         {{"page.htm", page}},
         [](TTransport& t) {
             t.Rename("gone.htm", "page.htm");
             return std::string();
         },
         "",
         TTransportFailure::FileMissing,
         {{"page.htm", page}}},
        {"size of a file",
         {{"picture.jpg", big}, {"empty.txt", ""}},
         [](TTransport& t) {
             return std::to_string(t.RemoteSize("picture.jpg")) + " " +
                    std::to_string(t.RemoteSize("empty.txt"));
         },
         std::to_string(big.size()) + " 0",
         {},
         {{"picture.jpg", big}, {"empty.txt", ""}}},
        {"size of a missing file",
         {},
         [](TTransport& t) { return std::to_string(t.RemoteSize("missing.htm")); },
         "",
         TTransportFailure::FileMissing,
         {}},
    };
    {
        SCOPED_TRACE("folders");
        // First (before a download broken off, whose TLS session vsftpd does not resume for a
        // later upload) a folder, as the synchronising publish's lock: made once and refused while
        // it is there (or a file has its name), a file in it, removed once empty, and missing
        // after.
        for (const auto& [name, data] : FilesIn(serverFolder))
            std::filesystem::remove(serverFolder + "/" + name);
        const auto fails =
            [&](const std::function<void()>& operation) -> std::optional<TTransportError> {
            try {
                operation();
            } catch (const TTransportError& e) {
                EXPECT_TRUE(transport.Connected()) << e.what();
                return e;
            }
            ADD_FAILURE() << "it did not fail";
            return std::nullopt;
        };
        const std::string folder = serverFolder + "/.lock";
        transport.MakeFolder(".lock");
        EXPECT_TRUE(std::filesystem::is_directory(folder));
        fails([&] { transport.MakeFolder(".lock"); });
        WriteFileBytes(serverFolder + "/page.htm", page);
        fails([&] { transport.MakeFolder("page.htm"); });
        TTempFolder local;
        WriteFileBytes(local / "owner", "corvane-lock 1\n");
        transport.Upload(local / "owner", ".lock/owner");
        EXPECT_EQ(ReadFileBytes(folder + "/owner"), "corvane-lock 1\n");
        EXPECT_EQ(transport.Download(".lock/owner", 100), "corvane-lock 1\n");
        fails([&] { transport.RemoveFolder(".lock"); });
        EXPECT_TRUE(std::filesystem::exists(folder + "/owner"));
        transport.Delete(".lock/owner");
        transport.RemoveFolder(".lock");
        EXPECT_FALSE(std::filesystem::exists(folder));
        const std::optional<TTransportError> missing =
            fails([&] { transport.RemoveFolder(".lock"); });
        if (missing) {
            EXPECT_EQ(missing->Kind(), TTransportFailure::FileMissing) << missing->what();
            EXPECT_EQ(missing->ReplyCode(), missingCode);
        }
        EXPECT_EQ(FilesIn(serverFolder), (TFiles{{"page.htm", page}}));
        std::filesystem::remove(serverFolder + "/page.htm");
    }
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        for (const auto& [name, data] : FilesIn(serverFolder))
            std::filesystem::remove(serverFolder + "/" + name);
        for (const auto& [name, data] : c.Before)
            WriteFileBytes(serverFolder + "/" + name, data);
        std::string result;
        std::optional<TTransportError> failure;
        try {
            result = c.Operation(transport);
        } catch (const TTransportError& e) {
            failure = e;
        }
        if (c.Failure) {
            ASSERT_TRUE(failure.has_value()) << "it did not fail";
            EXPECT_EQ(failure->Kind(), *c.Failure) << failure->what();
            if (*c.Failure == TTransportFailure::FileMissing) {
                EXPECT_EQ(failure->ReplyCode(), missingCode) << failure->what();
                EXPECT_THAT(failure->Reason(), ::testing::HasSubstr(missingWords));
            } else if (*c.Failure == TTransportFailure::FileRefused) {
                EXPECT_EQ(failure->ReplyCode(), refusedCode) << failure->what();
                EXPECT_THAT(failure->Reason(), ::testing::HasSubstr("over the existing file"));
            } else {
                EXPECT_THAT(failure->Reason(), ::testing::HasSubstr("is longer than"));
                // The file and the server are named.
                EXPECT_THAT(failure->Reason(), ::testing::HasSubstr(placeWords));
            }
        } else {
            EXPECT_FALSE(failure.has_value()) << failure->what();
            EXPECT_EQ(result.size(), c.Result.size());
            EXPECT_TRUE(result == c.Result);
        }
        EXPECT_EQ(FilesIn(serverFolder), c.After);
        // A refused operation leaves the session as it was.
        EXPECT_TRUE(transport.Connected());
    }
}

} // namespace fileoperations
