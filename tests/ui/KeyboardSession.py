#!/usr/bin/env python3
"""A whole working session with the keyboard alone, on a real X server.

Starts Xvfb on a free display with the openbox window manager, runs the desktop program
from a scratch application folder and drives it with xdotool: a new project, a column and a
page added, the page edited, the edit undone and redone, F6 and Esc between the tree and the
preview, a PNG and a WebP page picture chosen in the file dialog, a colour scheme chosen
from the ready-made ones and one made from the base colour, the project closed and the
program left; then the program started again, the project opened from the start page with
Enter, and reopened by itself at the start after that. After each step the project's files must show it. Every process started here is
ended by its own PID, and the whole session is bounded in time.

Usage: KeyboardSession.py PATH-TO-corvane
Exit code 77 (skipped) when Xvfb, openbox or xdotool is missing, unless
CORVANE_REQUIRE_SESSION=1.
"""

import ctypes
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import zlib

SKIP = 77
STEP_SECONDS = 20
SESSION_SECONDS = 240


class Failure(Exception):
    pass


def wait_for(what, check, seconds=STEP_SECONDS):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if check():
            return
        time.sleep(0.2)
    raise Failure("timed out waiting for " + what)


def read(path):
    try:
        with open(path, "rb") as f:
            return f.read().decode("utf-8", "replace")
    except OSError:
        return ""


def png_bytes(width, height):
    """A PNG of width x height: red on the left half, blue on the right."""
    row = b"".join(b"\xff\0\0" if x < width // 2 else b"\0\0\xff" for x in range(width))
    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(b"".join(b"\0" + row for _ in range(height)))) +
            chunk(b"IEND", b""))


def webp_bytes(width, height):
    """A lossless WebP of width x height, through the system's libwebp (the program's own)."""
    webp = ctypes.CDLL("libwebp.so.7")
    webp.WebPEncodeLosslessRGBA.restype = ctypes.c_size_t
    rgba = bytes((0, 160, 60, 255)) * (width * height)
    out = ctypes.POINTER(ctypes.c_uint8)()
    size = webp.WebPEncodeLosslessRGBA(rgba, width, height, width * 4, ctypes.byref(out))
    data = ctypes.string_at(out, size)
    webp.WebPFree(out)
    return data


def read_bytes(path):
    try:
        with open(path, "rb") as f:
            return f.read()
    except OSError:
        return b""


def free_display():
    for number in range(120, 400):
        if not os.path.exists("/tmp/.X11-unix/X%d" % number) and not os.path.exists(
            "/tmp/.X%d-lock" % number
        ):
            return number
    raise Failure("no free display number")


class Session:
    def __init__(self, program, work):
        self.program = program
        self.work = work
        self.processes = []
        self.env = dict(os.environ)
        for name in ("QT_QPA_PLATFORM", "WAYLAND_DISPLAY"):
            self.env.pop(name, None)
        self.env["HOME"] = os.path.join(work, "home")
        self.env["XDG_CONFIG_HOME"] = os.path.join(work, "config")
        self.env["XDG_RUNTIME_DIR"] = os.path.join(work, "runtime")
        # The pictures of the homepages and the desktop's data go under the scratch home,
        # whatever the caller's environment names: never into the user's own folders.
        self.env["XDG_CACHE_HOME"] = os.path.join(work, "home", ".cache")
        self.env["XDG_DATA_HOME"] = os.path.join(work, "home", ".local", "share")
        for folder in ("home", "config", "runtime"):
            os.makedirs(os.path.join(work, folder), mode=0o700)
        if os.geteuid() == 0:
            self.env["QTWEBENGINE_DISABLE_SANDBOX"] = "1"

    def start(self, args, log):
        process = subprocess.Popen(
            args,
            env=self.env,
            stdout=open(os.path.join(self.work, log), "wb"),
            stderr=subprocess.STDOUT,
            stdin=subprocess.DEVNULL,
        )
        self.processes.append(process)
        return process

    def stop(self):
        for process in reversed(self.processes):
            if process.poll() is None:
                process.terminate()
                try:
                    process.wait(5)
                except subprocess.TimeoutExpired:
                    process.kill()
                    process.wait(5)

    def xdotool(self, *args):
        result = subprocess.run(
            ["xdotool"] + list(args),
            env=self.env,
            stdout=subprocess.PIPE,
            stderr=subprocess.PIPE,
            timeout=STEP_SECONDS,
        )
        return result.returncode, result.stdout.decode().split()

    def window(self, title):
        """The id of the visible window whose title is title, or None."""
        code, ids = self.xdotool("search", "--onlyvisible", "--name", "^" + title + "$")
        return ids[-1] if code == 0 and ids else None

    def active_title(self):
        code, _ = self.xdotool("getactivewindow")
        result = subprocess.run(
            ["xdotool", "getactivewindow", "getwindowname"],
            env=self.env,
            stdout=subprocess.PIPE,
            stderr=subprocess.DEVNULL,
            timeout=STEP_SECONDS,
        )
        return result.stdout.decode().strip() if code == 0 else ""

    def wait_active(self, title):
        def active():
            window = self.window(title)
            if window is None:
                return False
            if self.active_title() != title:
                self.xdotool("windowactivate", window)
                return False
            return True

        wait_for("the window " + repr(title) + " to be active", active)
        time.sleep(0.3)

    def keys(self, *keys):
        for key in keys:
            self.xdotool("key", "--clearmodifiers", key)
            time.sleep(0.15)

    def type(self, text):
        self.xdotool("type", "--delay", "50", text)
        time.sleep(0.2)


def exit_program(session, corvane):
    """Exit (Ctrl+Q) and OK on the question that follows; the program must end cleanly."""
    session.keys("ctrl+q")
    time.sleep(1)
    session.keys("Return")
    wait_for("the program to end", lambda: corvane.poll() is not None)
    if corvane.returncode != 0:
        raise Failure("the program ended with %d" % corvane.returncode)


def start_page_steps(session, app, site):
    """The start page of the next start: the project closed last is its first entry, with a
    picture of its homepage; Enter opens it. Alt+R ticks "Reopen the last project on start",
    and the start after that opens the project by itself."""
    pictures = os.path.join(session.env["HOME"], ".cache", "corvane", "thumbnails")
    if not any(name.endswith(".png") for name in os.listdir(pictures)):
        raise Failure("no picture of the homepage was kept at Close")

    # Each start: what it is, the window it opens with, then each key and the window after it.
    steps = [("Start again: the start page, Enter on the last project, Close, Alt+R",
              "Corvane", [("Return", "Corvane - " + site), ("ctrl+w", "Corvane"),
                          ("alt+r", "Corvane")]),
             ("Start again: the last project reopens by itself", "Corvane - " + site, [])]
    for what, title, keys in steps:
        print(what)
        corvane = session.start([os.path.join(app, "corvane")], "corvane.log")
        session.wait_active(title)
        for key, then in keys:
            session.keys(key)
            session.wait_active(then)
        exit_program(session, corvane)


def colour_of(site, field):
    """The stored text of one colour of the project's scheme ("$00BBGGRR" or a name)."""
    scheme = re.search(r"<COLOR>(.*?)</COLOR>", read(os.path.join(site, "Default.Pro")), re.S)
    value = re.search("<%s>([^<]*)</%s>" % (field, field), scheme.group(1)) if scheme else None
    return value.group(1) if value else None


def colour_scheme_steps(session, site):
    """The Color dialog by keyboard: a ready-made scheme, then one made from its base."""
    def scheme_saved(what, expected):
        wait_for(what, lambda: all(colour_of(site, field) == text
                                   for field, text in expected.items()))
        session.wait_active("Corvane - " + site)

    print("Style > Color (Alt+S, C); Schemes (Alt+S), the third (Ocean), Space, OK (Alt+O)")
    session.keys("alt+s", "c")
    session.wait_active("Color")
    session.keys("alt+s", "Down", "Down", "space", "alt+o")
    # Ocean: the base on the topic bar, a pale blue menu, dark blue text.
    scheme_saved("the Ocean scheme", {"BASE": "$008C5A1E", "TOPIC_BG": "$008C5A1E",
                                      "MENU_BG": "$00F1E6D4", "TEXT": "$0031261B",
                                      "MENU_TRANS": None})

    print("Color again; Make a scheme from this colour (Alt+M), Enter (OK)")
    session.keys("alt+s", "c")
    session.wait_active("Color")
    session.keys("alt+m")
    time.sleep(0.5)
    session.keys("Return")
    scheme_saved("the scheme made from the base", {"BASE": "$008C5A1E",
                                                   "TOPIC_BG": "$008C5A1E",
                                                   "MENU_BG": "$00F4E2CD",
                                                   "TEXT": "$0037230C"})


def run(program):
    for tool in ("Xvfb", "openbox", "xdotool"):
        if shutil.which(tool) is None:
            print("KeyboardSession: %s is not installed" % tool)
            return 1 if os.environ.get("CORVANE_REQUIRE_SESSION") == "1" else SKIP
    work = tempfile.mkdtemp(prefix="corvane-session-")
    session = Session(program, work)
    try:
        # The program's folder: a copy of the program, so that Projects is made beside it.
        app = os.path.join(work, "app")
        os.makedirs(app)
        shutil.copy2(program, os.path.join(app, "corvane"))
        projects = os.path.join(app, "Projects")
        site = os.path.join(projects, "Site")

        display = free_display()
        session.env["DISPLAY"] = ":%d" % display
        session.start(["Xvfb", ":%d" % display, "-screen", "0", "1280x900x24", "-nolisten", "tcp"],
                      "xvfb.log")
        wait_for("Xvfb", lambda: os.path.exists("/tmp/.X11-unix/X%d" % display))
        session.start(["openbox", "--sm-disable"], "openbox.log")
        time.sleep(1)
        corvane = session.start([os.path.join(app, "corvane")], "corvane.log")
        session.wait_active("Corvane")
        # The first start: about 80% of the 1280 x 900 screen, centred. The splash window
        # bears the program's name as well, and the main window may not be mapped yet when
        # it goes: the sizes are asked for until the main window's is among them.
        sizes = []

        def first_window_sized():
            code, words = session.xdotool("search", "--onlyvisible", "--name", "^Corvane$",
                                          "getwindowgeometry", "%@")
            sizes[:] = [tuple(int(n) for n in w.split("x")) for w in words
                        if "x" in w and w.replace("x", "").isdigit()]
            return code == 0 and any(abs(w - 1024) <= 40 and abs(h - 720) <= 60
                                     for w, h in sizes)

        try:
            wait_for("the main window's size", first_window_sized)
        except Failure:
            raise Failure("the first window is %s, not about 80%% of 1280 x 900"
                          % (", ".join("%d x %d" % size for size in sizes) or "not shown"))

        print("New Project (Ctrl+N), the name, Enter")
        session.keys("ctrl+n")
        session.wait_active("New Project")
        session.type("Site")
        session.keys("Return")
        wait_for("Default.Pro", lambda: os.path.exists(os.path.join(site, "Default.Pro")))
        session.wait_active("Corvane - " + site)

        print("Edit > Add Column (Alt+E, C)")
        session.keys("alt+e", "c")
        # Column1.Clm is the welcome column that a new project starts with.
        column = os.path.join(site, "Column2.Clm")
        wait_for("the new column", lambda: "New Column" in read(os.path.join(site, "Default.Pro"))
                 and os.path.exists(column))

        print("Add Page (Ctrl+Insert)")
        session.keys("ctrl+Insert")
        wait_for("the new page", lambda: "New Page" in read(column))

        print("Information (Enter) on the page: a new title, Enter")
        session.keys("Return")
        session.wait_active("Page")
        session.keys("ctrl+a")
        session.type("Opening Day")
        session.keys("Return")
        wait_for("the page's new title", lambda: "Opening Day" in read(column))
        session.wait_active("Corvane - " + site)

        print("Undo (Ctrl+Z)")
        session.keys("ctrl+z")
        wait_for("the title undone", lambda: "Opening Day" not in read(column)
                 and "New Page" in read(column))

        print("Redo (Ctrl+Shift+Z)")
        session.keys("ctrl+shift+z")
        wait_for("the title redone", lambda: "Opening Day" in read(column))

        print("Undo twice: the page goes, the column stays")
        session.keys("ctrl+z", "ctrl+z")
        wait_for("the page undone", lambda: "<PAGE>" not in read(column)
                 and "New Page" not in read(column))
        if "New Column" not in read(os.path.join(site, "Default.Pro")):
            raise Failure("Undo went one step too far")

        print("A page again; F6 to the preview, where Enter is the page's own")
        session.keys("ctrl+Insert")
        wait_for("the page again", lambda: "New Page" in read(column))
        def no_page_dialog(what):
            time.sleep(1.5)
            if session.window("Page") is not None:
                raise Failure(what + " opened the page's dialog from the preview")
        session.keys("F6", "Return")
        no_page_dialog("F6 and Enter")
        print("Esc back to the tree: Enter opens the page's dialog; Esc cancels it")
        session.keys("Escape", "Return")
        session.wait_active("Page")
        session.keys("Escape")
        session.wait_active("Corvane - " + site)
        print("Shift+F6 to the preview and back")
        session.keys("shift+F6", "Return")
        no_page_dialog("Shift+F6 and Enter")
        session.keys("shift+F6", "Return")
        session.wait_active("Page")

        pictures = os.path.join(work, "pictures")
        os.makedirs(pictures)
        chosen = [("Shore.png", png_bytes(40, 30), "File1.png", 40, 30),
                  ("Reed.webp", webp_bytes(50, 20), "File1.webp", 50, 20)]
        for index, (name, data, copy, width, height) in enumerate(chosen):
            with open(os.path.join(pictures, name), "wb") as f:
                f.write(data)
            if index > 0:
                print("Another page (Ctrl+Insert), its dialog (Enter)")
                session.keys("ctrl+Insert")
                wait_for("another page", lambda: read(column).count("<PAGE>") == 2)
                session.keys("Return")
                session.wait_active("Page")
            print("%s as the page's picture: Has Picture, ..., the file, OK (Alt+O)" % name)
            # Has Picture (Alt+H) ticks the box and takes the focus; Tab goes to its "...".
            session.keys("alt+h", "Tab", "space")
            session.wait_active("Open Picture")
            session.type(os.path.join(pictures, name))
            session.keys("Return")
            session.wait_active("Page")
            session.keys("alt+o")
            wait_for("the page's " + name, lambda: "<PICTURE>%s</PICTURE>" % copy in read(column)
                     and "<PICTURE_WIDTH>%d</PICTURE_WIDTH>" % width in read(column)
                     and "<PICTURE_HEIGHT>%d</PICTURE_HEIGHT>" % height in read(column))
            if read_bytes(os.path.join(site, "Images", copy)) != data:
                raise Failure(copy + " is not a copy of " + name)
            session.wait_active("Corvane - " + site)
        print("The preview of the new (Modern) site keeps the WebP as it is")
        wait_for("File1.webp in the preview",
                 lambda: read_bytes(os.path.join(site, "Temp", "File1.webp"))
                 .startswith(b"RIFF"))

        colour_scheme_steps(session, site)

        print("Close (Ctrl+W), Exit (Ctrl+Q), OK")
        before = {name: read(os.path.join(site, name)) for name in os.listdir(site)
                  if os.path.isfile(os.path.join(site, name))}
        session.keys("ctrl+w")
        wait_for("the project to close", lambda: session.window("Corvane") is not None)
        session.wait_active("Corvane")
        exit_program(session, corvane)
        after = {name: read(os.path.join(site, name)) for name in os.listdir(site)
                 if os.path.isfile(os.path.join(site, name))}
        if before != after:
            raise Failure("Close or Exit wrote into the project")
        if not os.path.isdir(os.path.join(site, ".history")):
            raise Failure("no earlier versions were kept")
        if not os.path.exists(os.path.join(work, "config", "Corvane", "Corvane.conf")):
            raise Failure("the window was not remembered")
        start_page_steps(session, app, site)
        print("KeyboardSession: passed")
        return 0
    except (Failure, subprocess.TimeoutExpired) as error:
        print("KeyboardSession: FAILED: %s" % error)
        for log in ("corvane.log", "xvfb.log", "openbox.log"):
            print("---- " + log)
            print(read(os.path.join(work, log))[-4000:])
        return 1
    finally:
        session.stop()
        shutil.rmtree(work, ignore_errors=True)


def main():
    if len(sys.argv) != 2:
        print(__doc__)
        return 2
    # Bounded whatever happens: the alarm ends a session that hangs.
    import signal

    def timeout(signum, frame):
        raise Failure("the session took longer than %d seconds" % SESSION_SECONDS)

    signal.signal(signal.SIGALRM, timeout)
    signal.alarm(SESSION_SECONDS)
    return run(os.path.abspath(sys.argv[1]))


if __name__ == "__main__":
    sys.exit(main())
