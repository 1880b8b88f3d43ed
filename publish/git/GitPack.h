#pragma once

// The objects a Git publish made in memory (libgit2's mempack backend), kept in its local
// repository as one pack: written without deltas (every object compressed on its own) and
// indexed by libgit2, so that a publish of a thousand files writes two files rather than a
// thousand loose objects, and the next publish finds them.

#include <git2/oid.h>

#include <vector>

struct git_repository;

// Writes the objects ids (each once, read from the repository's object database) into the
// repository's packs; a TError saying what failed.
void KeepObjectsInPack(git_repository* repository, std::vector<git_oid> ids);
