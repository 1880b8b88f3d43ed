#pragma once

// corvane-cli publish and connect for PROTOCOL "Git" (cli/GitCommands.cpp).

#include <string>

class TDProject;

struct TGitCommandOptions {
    bool Yes = false;
    bool DryRun = false;
    bool Verbose = false;
    // --trust: the fingerprint of a host key or certificate accepted for this run.
    std::string Trust;
};

// Publishes the HTML folder as one commit (with DryRun, prints what the commit would
// change and pushes nothing); the exit status.
int PublishToGit(TDProject& project, const TGitCommandOptions& options);
// Connects, lists the repository's branches and says whether the publishing branch is there.
int ConnectToGit(const TDProject& project, const TGitCommandOptions& options);
