#pragma once

// Runs corvane-cli as a separate process, bounded by a time-out, and catches what it prints.

#include "TestSupport.h"

#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <vector>

struct TCliRun {
    int Status = -1;
    std::string Out, Err;
};

inline std::string CorvaneCliPath() {
    if (const char* path = std::getenv("CORVANE_CLI"); path && *path)
        return path;
    return CORVANE_CLI_PATH;
}

inline std::string ShellQuoted(const std::string& text) {
    std::string out(1, '\'');
    for (char c : text) {
        if (c == '\'')
            out.append("'\\''");
        else
            out.push_back(c);
    }
    out.push_back('\'');
    return out;
}

// Runs "corvane-cli ARGS" with input on stdin; the output files go into scratch.
inline TCliRun RunCorvaneCli(const TTempFolder& scratch, const std::vector<std::string>& args,
                             const std::string& input = "") {
    WriteFileBytes(scratch / "cli-in.txt", input);
    // Pieces are appended one by one: g++ 12 warns falsely about "text" + std::string&&.
    std::string command = "timeout 120 ";
    command.append(ShellQuoted(CorvaneCliPath()));
    for (const std::string& arg : args) {
        command.push_back(' ');
        command.append(ShellQuoted(arg));
    }
    const char* redirections[] = {" >", " 2>", " <"};
    const char* files[] = {"cli-out.txt", "cli-err.txt", "cli-in.txt"};
    for (int i = 0; i < 3; ++i) {
        command.append(redirections[i]);
        command.append(ShellQuoted(scratch / files[i]));
    }
    const int status = std::system(command.c_str());
    TCliRun run;
    run.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.Out = ReadFileBytes(scratch / "cli-out.txt");
    run.Err = ReadFileBytes(scratch / "cli-err.txt");
    return run;
}
