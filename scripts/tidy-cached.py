#!/usr/bin/env python3
"""Runs clang-tidy over the given files, skipping those it passed before unchanged.

Usage: scripts/tidy-cached.py BUILD_FOLDER JOBS LOG FILE...

In a unity build folder (CMAKE_UNITY_BUILD) clang-tidy checks the unity sources that include
the given files, several files at a time: the headers they share are read and matched once,
which takes a quarter of the time. The included sources' findings are then reported as a
header's are (--header-filter takes .cpp files too), and the check against including a .cpp
file is off for them.

A file is "unchanged" when its preprocessed text (every header it includes, with the
checkout's own path taken out so that another clone hits), its compile flags, .clang-tidy and
the clang-tidy version are the same as when it last passed. Only passes are remembered, in
CORVANE_TIDY_CACHE (by default beside ccache's folder: /var/cache/corvane/tidy as root, else
~/.cache/corvane/tidy); a file that failed is checked again every time. Exits 1 when any file
has findings, with their lines in LOG.
"""

import concurrent.futures
import hashlib
import json
import os
import re
import shlex
import subprocess
import sys


def cache_folder():
    folder = os.environ.get("CORVANE_TIDY_CACHE")
    if folder:
        return folder
    if os.geteuid() == 0:
        return "/var/cache/corvane/tidy"
    base = os.environ.get("XDG_CACHE_HOME") or os.path.expanduser("~/.cache")
    return os.path.join(base, "corvane", "tidy")


def compile_arguments(entry):
    """The compiler's arguments of one compile command, without the launcher and output."""
    args = entry["arguments"] if "arguments" in entry else shlex.split(entry["command"])
    while args and os.path.basename(args[0]) == "ccache":
        args = args[1:]
    kept = []
    skip = False
    for arg in args:
        if skip:
            skip = False
            continue
        if arg in ("-o", "-MF", "-MT", "-MQ"):
            skip = True
            continue
        if arg in ("-c", "-MD", "-MMD") or arg == entry["file"]:
            continue
        kept.append(arg)
    return kept


def file_key(entry, root, common, options):
    """A digest of what clang-tidy sees of the file, or None when it cannot be made."""
    args = compile_arguments(entry)
    run = subprocess.run(args + ["-E", "-P", entry["file"]], cwd=entry["directory"],
                         stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, check=False)
    if run.returncode != 0:
        return None
    digest = hashlib.sha256(common)
    digest.update(" ".join(options).encode())
    digest.update(os.path.relpath(entry["file"], root).encode())
    digest.update(" ".join(args).replace(root, "<root>").encode())
    digest.update(run.stdout.replace(root.encode(), b"<root>"))
    return digest.hexdigest()


def unity_members(path):
    """The sources a CMake unity source includes, or None for an ordinary source."""
    if "/Unity/unity_" not in path:
        return None
    with open(path, encoding="utf-8") as f:
        return [os.path.abspath(m) for m in re.findall(r'^#include "([^"]+)"', f.read(), re.M)]


def unity_options(root):
    """clang-tidy's options for a unity source: .clang-tidy's header filter, and .cpp files."""
    with open(os.path.join(root, ".clang-tidy"), encoding="utf-8") as f:
        found = re.search(r"^HeaderFilterRegex:\s*'([^']*)'", f.read(), re.M)
    if not found:
        raise SystemExit("tidy-cached.py: .clang-tidy has no HeaderFilterRegex in single quotes")
    # A unity source includes .cpp files by design; scripts/check-style.sh looks for any other
    # source that does.
    return ["--checks=-bugprone-suspicious-include", f"--header-filter={found.group(1)}|\\.cpp$"]


def tidy(folder, path, options):
    run = subprocess.run(["clang-tidy", "--quiet", "-p", folder] + options + [path],
                         stdout=subprocess.PIPE, stderr=subprocess.STDOUT, check=False)
    output = run.stdout.decode(errors="replace")
    found = [line for line in output.splitlines()
             if ("warning:" in line or "error:" in line) and "warnings generated" not in line]
    return run.returncode == 0 and not found, output


def main():
    if len(sys.argv) < 4:
        print(__doc__, file=sys.stderr)
        return 2
    folder, jobs, log = sys.argv[1], int(sys.argv[2]), sys.argv[3]
    root = os.getcwd()
    wanted = {os.path.abspath(f) for f in sys.argv[4:]}
    with open(os.path.join(folder, "compile_commands.json"), encoding="utf-8") as f:
        everything = json.load(f)
    entries = []
    covered = set()
    options = {}  # by entry file: clang-tidy's added options
    for entry in everything:
        path = os.path.abspath(os.path.join(entry["directory"], entry["file"]))
        members = unity_members(path)
        if wanted.intersection(members or [path]):
            entries.append(entry)
            covered.update(members or [path])
            options[entry["file"]] = unity_options(root) if members is not None else []
    version = subprocess.run(["clang-tidy", "--version"], stdout=subprocess.PIPE,
                             check=True).stdout
    with open(os.path.join(root, ".clang-tidy"), "rb") as f:
        common = version + f.read()
    cache = cache_folder()
    os.makedirs(cache, exist_ok=True)

    def check(entry):
        added = options[entry["file"]]
        key = file_key(entry, root, common, added)
        if key and os.path.exists(os.path.join(cache, key)):
            return entry["file"], True, True, ""
        passed, output = tidy(folder, entry["file"], added)
        if passed and key:
            with open(os.path.join(cache, key), "w", encoding="utf-8") as marker:
                marker.write(os.path.relpath(entry["file"], root) + "\n")
        return entry["file"], passed, False, output

    failed = []
    cached = 0
    with concurrent.futures.ThreadPoolExecutor(max_workers=max(jobs, 1)) as pool, \
            open(log, "w", encoding="utf-8") as out:
        for path, passed, hit, output in pool.map(check, entries):
            cached += hit
            if not passed:
                failed.append(path)
                out.write(output)
    print(f"clang-tidy: {len(entries)} sources, {cached} unchanged since they last passed, "
          f"{len(failed)} with findings")
    missing = wanted - covered
    for path in sorted(missing):
        print(f"clang-tidy: {os.path.relpath(path, root)} has no compile command in {folder}",
              file=sys.stderr)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
