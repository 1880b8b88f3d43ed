#pragma once

// Pages on the server replaced one after another through UploadReplacing, as one sequence
// played against each server that does not simply rename over a file: one that refuses every
// rename (each file fails with the server's words, the pages stay, no part file is left, and
// only the first file tries the move aside) and one that renames only to a free name (every
// page is replaced). Whatever the server, at every step the folder holds each page's old or
// new bytes, under its own name or the name it was moved aside to: a page is never deleted
// before its replacement is in place.

#include "publish/Transport.h"

#include "TestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace replacecases {

using TFiles = std::map<std::string, std::string>;

// The pages of the server before, and the new ones that replace them.
inline TFiles Pages(const std::string& version) {
    TFiles pages;
    for (const char* name : {"a.htm", "b.htm", "c.htm"})
        pages[name] = "<html>" + std::string(name) + " " + version + "</html>\r\n";
    return pages;
}

// Plays the sequence on transport (connected and in the folder, which holds Pages("old") and
// nothing else); folder tells the folder's files at any moment, localFolder is an empty
// local folder. refusesRenames: the server refuses every rename, in replies that hold words.
inline void PlayReplacing(TTransport& transport, const std::function<TFiles()>& folder,
                          const std::string& localFolder, bool refusesRenames,
                          const std::string& words = {}) {
    const TFiles before = Pages("old"), after = Pages("new");
    std::vector<std::string> log, lost;
    transport.OnLog = [&](const std::string& line) {
        log.push_back(line);
        const TFiles now = folder();
        for (const auto& [name, old] : before) {
            const auto live = now.find(name);
            const auto aside = now.find(PrefixedName(AsideFilePrefix, name));
            const bool kept =
                (live != now.end() && (live->second == old || live->second == after.at(name))) ||
                (aside != now.end() && aside->second == old);
            if (!kept)
                lost.push_back(name + " at: " + line);
        }
    };
    std::vector<std::string> failures;
    for (const auto& [name, data] : after) {
        WriteFileBytes(localFolder + "/" + name, data);
        try {
            transport.UploadReplacing(localFolder + "/" + name, name,
                                      PrefixedName(PartFilePrefix, name));
            failures.emplace_back();
        } catch (const TTransportError& e) {
            failures.emplace_back(e.what());
            EXPECT_EQ(e.Kind(), TTransportFailure::FileRefused) << e.what();
            EXPECT_EQ(e.FileName(), name);
            EXPECT_THAT(e.Reason(), ::testing::HasSubstr(words)) << name;
        }
    }
    transport.OnLog = nullptr;
    EXPECT_EQ(lost, std::vector<std::string>{});
    EXPECT_TRUE(transport.Connected());
    EXPECT_EQ(transport.RenamesRefused(), refusesRenames);
    if (refusesRenames) {
        ASSERT_EQ(failures.size(), 3u);
        for (const std::string& failure : failures)
            EXPECT_THAT(failure, ::testing::HasSubstr(words));
        // The pages as they were, no part file left behind.
        EXPECT_EQ(folder(), before);
        // Only the first file tried to move its page aside.
        EXPECT_THAT(log, ::testing::Contains(::testing::HasSubstr(".corvane-old-a.htm")));
        for (const std::string& line : log) {
            EXPECT_THAT(line, ::testing::Not(::testing::HasSubstr(".corvane-old-b.htm")));
            EXPECT_THAT(line, ::testing::Not(::testing::HasSubstr(".corvane-old-c.htm")));
        }
    } else {
        EXPECT_EQ(failures, std::vector<std::string>(3)) << ::testing::PrintToString(log);
        EXPECT_EQ(folder(), after);
    }
}

} // namespace replacecases
