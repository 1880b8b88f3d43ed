#!/usr/bin/env python3
"""Writes the seeds of fuzz_archive into tests/fuzz/seeds/archive: small project archives as
the import takes them (deflated and stored), and a few it refuses (a link, a name leading out
of the project, an entry its list does not name). Run again after a change of the format."""

import hashlib
import os
import stat
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
SEEDS = os.path.join(HERE, "seeds", "archive")
DECLARATION = '<?xml version="1.0" encoding="UTF-8"?>'
GOOD = [
    ("Default.Pro", DECLARATION + "<PROJECT><MENULIST><MENUITEM><TITLE>News</TITLE>"
     "<COLUMN>Column1.Clm</COLUMN></MENUITEM></MENULIST></PROJECT>"),
    ("Column1.Clm", DECLARATION + "<COLUMN><PAGE><TITLE>One</TITLE></PAGE></COLUMN>"),
    ("Images/Logo.gif", "GIF89a\x01\x00\x01\x00"),
    ("Downloads/Form.txt", "a form\n"),
]


def listing(entries):
    lines = ["corvane-archive 1"]
    for name, data in entries:
        raw = data.encode("utf-8")
        lines.append("%d %s %s" % (len(raw), hashlib.sha256(raw).hexdigest(), name))
    return "\n".join(lines) + "\n"


def write(seed, entries, listed, compression=zipfile.ZIP_DEFLATED, links=()):
    with zipfile.ZipFile(os.path.join(SEEDS, seed), "w", compression) as archive:
        everything = [("corvane-archive.txt", listing(listed))] + entries
        for name, data in everything:
            info = zipfile.ZipInfo(name, date_time=(2026, 1, 1, 0, 0, 0))
            info.compress_type = compression
            mode = stat.S_IFLNK | 0o777 if name in links else stat.S_IFREG | 0o644
            info.external_attr = mode << 16
            info.create_system = 3
            archive.writestr(info, data)


os.makedirs(SEEDS, exist_ok=True)
write("good-deflated", GOOD, GOOD)
write("good-stored", GOOD, GOOD, zipfile.ZIP_STORED)
link = GOOD + [("Images/Link.gif", "/etc/passwd")]
write("symbolic-link", link, link, links=("Images/Link.gif",))
write("leads-out", GOOD + [("Images/../../evil", "x")], GOOD)
write("not-listed", GOOD + [("Images/Extra.gif", "x")], GOOD)
