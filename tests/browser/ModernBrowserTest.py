#!/usr/bin/env python3
"""The Modern pages against the web's own checkers: the Nu Html Checker and axe-core.

Builds the sites of the Modern design and checks every page:

- the Nu Html Checker (`java -jar vnu.jar --Werror --also-check-css`, npm vnu-jar) over every
  page and style sheet: no error and no warning;
- axe-core (npm axe-core) injected into each page in headless Chromium, with the rules tagged
  wcag2a, wcag2aa, wcag21aa, wcag22aa and best-practice: no violation, and no colour contrast
  that axe leaves for review ("incomplete"); for the sample and the templates once more with
  the visitor's system asking for dark colours (prefers-color-scheme: dark, emulated);
- at 320, 390, 768 and 1280 CSS pixels wide: no sideways scrolling (the document no wider
  than the window), no visible text under 16 px and no word of up to 15 characters broken
  across two lines; the homepage's screenshots at each width go to CORVANE_SCREENSHOT_DIR.

The sites: the bundled sample; each of the six layouts with the seven listing styles (one
column each); the three bundled templates with the sample's content; the sample in Arabic
(SITE_LANGUAGE "ar"), written right to left.

Every fault is reported as the file, the rule and the message. The first test builds the
sample's Classic copy and proves that the checkers catch what Classic pages lack (a doctype,
the language, a main landmark, a width for phones). The Modern sites are checked whenever MODERN_PAGES below
is True (CORVANE_MODERN_CHECKS=1 forces them in a build where it is not).

The npm packages come from CORVANE_NODE_MODULES (the folder the test stage installs
tests/browser/package.json into). The browser, the server and the rules for stopping them are
those of BrowserTest.py; it skips itself (exit code 77) without Chromium, chromedriver,
selenium, java or the npm packages, unless CORVANE_REQUIRE_BROWSER=1, where that fails.
"""

import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest
import xml.etree.ElementTree as ET

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import BrowserTest as base  # noqa: E402  (the browser, the server, the project helpers)

# The one switch: the Modern page writer builds the pages of DESIGN "Modern".
MODERN_PAGES = True

WATCHDOG_SECONDS = 560  # ctest's TIMEOUT is a little longer
BUILD_SECONDS = 60
CHECKER_SECONDS = 240
AXE_TAGS = ["wcag2a", "wcag2aa", "wcag21aa", "wcag22aa", "best-practice"]
WIDTHS = [320, 390, 768, 1280]
HEIGHT = 900
MIN_TEXT_PX = 16
# Words up to this long never break mid-word; longer ones (a German compound on a phone) may.
LONGEST_WHOLE_WORD = 15
LAYOUTS = [
    "Topic on top menu on top", "Topic and menu on top", "Menu on left foot on bottom",
    "Menu on left foot on right", "Topic on left foot on bottom", "Topic on left foot on right",
]
STYLES = [
    "Only title list", "Title list with summary", "Title list and contents", "Contents",
    "Pictures List (2 columns)", "Pictures List (3 columns)", "Pictures List (4 columns)",
]
TEMPLATES = ["Hiking Club", "Night", "Small Business"]
# The sample in Arabic: the site's language, its caption, the topic and the Modern words.
ARABIC = {
    "caption": "نادي ليندنبرغ للمشي", "title": "نادي ليندنبرغ للمشي لمسافات طويلة",
    "words": {"SKIP_TO_CONTENT": "انتقل إلى المحتوى", "PAGE_NOT_FOUND": "الصفحة غير موجودة",
              "BACK_TO_HOMEPAGE": "العودة إلى الصفحة الرئيسية", "MENU": "القائمة",
              "READ_MORE": "اقرأ المزيد", "PREVIOUS": "السابق", "NEXT": "التالي"},
}

AXE_RUN = r"""
var done = arguments[arguments.length - 1];
axe.run(document, {runOnly: {type: 'tag', values: arguments[0]},
                   resultTypes: ['violations', 'incomplete']})
    .then(function (result) {
        function brief(rule) {
            return {id: rule.id, help: rule.help,
                    nodes: rule.nodes.slice(0, 3).map(function (node) {
                        return node.target.join(' ');
                    })};
        }
        done({violations: result.violations.map(brief),
              incomplete: result.incomplete.filter(function (rule) {
                  return rule.id === 'color-contrast';
              }).map(brief)});
    })
    .catch(function (error) { done({error: String(error)}); });
"""

# How wide the page is against the window, and the visible texts under the least size.
# Ends after the page has been drawn twice more: a new width has been laid out by then.
NEXT_FRAME = r"""
var done = arguments[arguments.length - 1];
requestAnimationFrame(function () { requestAnimationFrame(function () { done(); }); });
"""

WIDTH_OBSERVE = r"""
var small = [];
var walker = document.createTreeWalker(document.body, NodeFilter.SHOW_TEXT);
while (walker.nextNode()) {
    var node = walker.currentNode, element = node.parentElement;
    if (!node.textContent.trim() || !element || element.closest('script, style'))
        continue;
    var box = element.getBoundingClientRect(), style = getComputedStyle(element);
    if (box.width === 0 || box.height === 0 || style.visibility === 'hidden')
        continue;
    var size = parseFloat(style.fontSize);
    if (size < arguments[0])
        small.push(element.localName + ' ' + size + 'px: ' + node.textContent.trim().slice(0, 40));
}
// Words of ordinary length laid out on two lines: broken mid-word.
var broken = [], range = document.createRange();
walker = document.createTreeWalker(document.body, NodeFilter.SHOW_TEXT);
while (walker.nextNode()) {
    var text = walker.currentNode, parent = text.parentElement, word = /\S+/g, found;
    if (!parent || parent.closest('script, style') || !parent.getClientRects().length)
        continue;
    while ((found = word.exec(text.data)) !== null) {
        if (found[0].length > arguments[1])
            continue;
        range.setStart(text, found.index);
        range.setEnd(text, found.index + found[0].length);
        var lines = Array.from(range.getClientRects()).filter(function (r) { return r.width > 0; });
        if (lines.length > 1 && lines[1].top >= lines[0].bottom - 1)
            broken.push(parent.localName + (parent.className ? '.' + parent.className : '') +
                        ': ' + found[0]);
    }
}
return {scrollWidth: document.documentElement.scrollWidth, innerWidth: window.innerWidth,
        small: small, broken: broken};
"""


def node_modules():
    return os.environ.get("CORVANE_NODE_MODULES", "")


def vnu_jar():
    return os.path.join(node_modules(), "vnu-jar", "build", "dist", "vnu.jar")


def axe_script():
    return os.path.join(node_modules(), "axe-core", "axe.min.js")


def checkers_missing():
    """Why the checkers cannot run here, or None."""
    missing = []
    if shutil.which("java") is None:
        missing.append("java (default-jre-headless)")
    for path, package in ((vnu_jar(), "vnu-jar"), (axe_script(), "axe-core")):
        if not os.path.isfile(path):
            missing.append(f"the npm package {package} in CORVANE_NODE_MODULES "
                           f"({node_modules() or 'not set'})")
    return "not installed: " + ", ".join(missing) if missing else None


class Fault:
    """One finding: the file, the rule (or the checker's kind of message) and the message."""

    def __init__(self, file, rule, message):
        self.file, self.rule, self.message = file, rule, message

    def __str__(self):
        return f"{self.file}: [{self.rule}] {self.message}"


# ---------------------------------------------------------------------------------------------
# The checkers.

def start_vnu(folder):
    """Starts the Nu Html Checker over every page and style sheet below folder; vnu_faults
    collects what it found. It runs beside the browser's checks."""
    files = sorted(os.path.join(root, name) for root, _dirs, names in os.walk(folder)
                   for name in names if name.endswith((".htm", ".html", ".css")))
    if not files:
        return None
    # Java's quick compiler alone: half the processor time for a run this short (its deeper
    # frames need the larger stack).
    return subprocess.Popen(["java", "-XX:TieredStopAtLevel=1", "-Xss4m", "-jar", vnu_jar(),
                             "--Werror", "--also-check-css",
                             "--format", "json", "--exit-zero-always", *files],
                            stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE, text=True)


def vnu_faults(folder, process):
    if process is None:
        return [Fault(folder, "build", "no page to check")]
    try:
        out, err = process.communicate(timeout=CHECKER_SECONDS)
    except subprocess.TimeoutExpired:
        base.stop_process(process)
        return [Fault(folder, "vnu", f"no answer within {CHECKER_SECONDS} s")]
    try:
        messages = json.loads(err or out)["messages"]
    except (ValueError, KeyError) as error:
        return [Fault(folder, "vnu", f"unreadable answer ({error}): {err[-400:]!r}")]
    faults = []
    for message in messages:
        kind = message.get("type")
        if kind == "info" and message.get("subType") != "warning":
            continue  # a plain note, neither error nor warning
        rule = "vnu warning" if kind == "info" else f"vnu {kind}"
        url = message.get("url", "")
        where = os.path.relpath(url[len("file:"):], folder) if url.startswith("file:") else url
        if "lastLine" in message:
            where += f":{message['lastLine']}"
        faults.append(Fault(where, rule, message.get("message", "")))
    return faults


class Checks:
    """axe-core and the widths, page by page, in one Chromium."""

    def __init__(self, browser, screenshots):
        self.driver = browser.driver
        self.driver.set_script_timeout(60)
        with open(axe_script(), encoding="utf-8") as script:
            self.axe = script.read()
        self.screenshots = screenshots

    def axe_faults(self, page, scheme=""):
        self.driver.execute_script(self.axe)
        result = self.driver.execute_async_script(AXE_RUN, AXE_TAGS)
        seen = f" ({scheme})" if scheme else ""
        if "error" in result:
            return [Fault(page, "axe" + seen, f"axe did not run: {result['error']}")]
        faults = []
        for rule in result["violations"]:
            faults.append(Fault(page, rule["id"] + seen,
                                f"{rule['help']} ({', '.join(rule['nodes'])})"))
        for rule in result["incomplete"]:
            faults.append(Fault(page, rule["id"] + seen + " (needs review)",
                                f"{rule['help']} ({', '.join(rule['nodes'])})"))
        return faults

    def dark_axe_faults(self, page):
        """axe once more with the visitor's system asking for dark colours."""
        self.driver.execute_cdp_cmd("Emulation.setEmulatedMedia", {
            "features": [{"name": "prefers-color-scheme", "value": "dark"}]})
        try:
            if not self.driver.execute_script(
                    "return matchMedia('(prefers-color-scheme: dark)').matches"):
                return [Fault(page, "axe (dark)", "the dark colour scheme was not emulated")]
            return self.axe_faults(page, "dark")
        finally:
            self.driver.execute_cdp_cmd("Emulation.setEmulatedMedia", {"features": []})

    def width_faults(self, url, page, width, shot=None, load=True):
        """The page at a screen width: loaded afresh, or (load False) the page already shown
        laid out again, as on a phone turned or a window made wider."""
        self.driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride", {
            "width": width, "height": HEIGHT, "deviceScaleFactor": 1, "mobile": width < 768})
        if load:
            self.driver.get(url)
        else:
            self.driver.execute_async_script(NEXT_FRAME)
        seen = self.driver.execute_script(WIDTH_OBSERVE, MIN_TEXT_PX, LONGEST_WHOLE_WORD)
        faults = []
        if seen["innerWidth"] != width:
            faults.append(Fault(page, f"width {width}",
                                f"laid out {seen['innerWidth']} px wide on a screen of {width} px "
                                "(no viewport for phones)"))
        if seen["scrollWidth"] > seen["innerWidth"]:
            faults.append(Fault(page, f"width {width}",
                                f"scrolls sideways: the document is {seen['scrollWidth']} px "
                                f"wide in a window of {seen['innerWidth']} px"))
        if seen["small"]:
            faults.append(Fault(page, f"width {width}",
                                f"text under {MIN_TEXT_PX} px: " + "; ".join(seen["small"][:3])))
        if seen["broken"]:
            faults.append(Fault(page, f"width {width}",
                                "words broken mid-word: " + "; ".join(seen["broken"][:3])))
        if shot:
            os.makedirs(os.path.dirname(shot), exist_ok=True)
            self.driver.get_screenshot_as_file(shot)
        return faults

    def page_faults(self, server, page, shots_as=None, dark=False):
        faults = []
        # Loaded once, at the narrowest width; the wider ones lay the same page out again.
        for width in WIDTHS:
            shot = None
            if shots_as and self.screenshots:
                shot = os.path.join(self.screenshots, f"{shots_as}-{width}.png")
            faults += self.width_faults(server.url(page), page, width, shot, width == WIDTHS[0])
        # axe at a wide window, where every region shows; in the dark colours too.
        faults += self.axe_faults(page)
        if dark:
            faults += self.dark_axe_faults(page)
        return faults


def check_site(checks, folder, log, name, dark=False):
    """Every fault of the site in folder: the checker's (which runs meanwhile), then the
    browser's; dark: axe in the dark colour scheme as well."""
    vnu = start_vnu(folder)
    faults = []
    try:
        pages = sorted(entry for entry in os.listdir(folder)
                       if entry.endswith((".htm", ".html")))
        server = base.Server(folder, log)
        try:
            for page in pages:
                home = page in ("Index.htm", "Default.htm", "index.html")
                faults += checks.page_faults(server, page, name if home else None, dark)
        finally:
            checks.driver.execute_cdp_cmd("Emulation.clearDeviceMetricsOverride", {})
            server.close()
    except BaseException:
        base.stop_process(vnu)
        raise
    return vnu_faults(folder, vnu) + faults


def report(name, faults, limit=40):
    """The faults, a count per rule first, then each one up to limit."""
    counts = {}
    for fault in faults:
        counts[fault.rule] = counts.get(fault.rule, 0) + 1
    lines = [f"{name}: {len(faults)} faults; by rule: " +
             ", ".join(f"{rule} {count}" for rule, count in sorted(counts.items()))]
    lines += [f"  {fault}" for fault in faults[:limit]]
    if len(faults) > limit:
        lines.append(f"  ... and {len(faults) - limit} more")
    return "\n".join(lines)


# ---------------------------------------------------------------------------------------------
# The sites.

def seven_styles(project, layout):
    """The project in layout, with seven columns, one in each listing style: the sample's
    columns first, then copies of its first ones."""
    path = os.path.join(project, "Default.Pro")
    root = ET.parse(path).getroot()
    base.set_text(root.find("FRAME"), "FRAME", layout)
    menu = root.find("MENULIST")
    columns = [item for item in menu if item.findtext("COLUMN")]
    number = 1 + max(int(item.findtext("COLUMN")[len("Column"):-len(".Clm")]) for item in columns)
    for copy_of in columns[:max(0, len(STYLES) - len(columns))]:
        item = ET.fromstring(ET.tostring(copy_of))
        name = f"Column{number}.Clm"
        shutil.copyfile(os.path.join(project, copy_of.findtext("COLUMN")),
                        os.path.join(project, name))
        base.set_text(item, "COLUMN", name)
        base.set_text(item, "TITLE", item.findtext("TITLE") + " (2)")
        menu.append(item)
        columns.append(item)
        number += 1
    for item, style in zip(columns, STYLES):
        base.set_text(item, "STYLE", style)
    base.write_xml(root, path)


# Markup a project of old may hold in a text typed as it is (no Markdown), stray and hostile:
# the Modern pages carry only what they can.
TYPED_MARKUP = ('<center><font color="red">Welcome</font></center>#$D#$A<b>unclosed <i>tags'
                '</td></tr><table><tr><td>cell</td></tr></table><li>stray item</li>'
                '<ul>text<li>one#$D#$A<li>two</ul><p onclick="x()" style="color:red">Para'
                '<h2></h2><a href="javascript:alert(1)">no link</a> <a href="#content" '
                'target=_blank>up</a><img src="Ridge.jpg" onerror="x()">'
                '<script>alert(1)</script> a < b & c')


def with_typed_markup(project):
    path = os.path.join(project, "Column2.Clm")
    root = ET.parse(path).getroot()
    base.set_text(root.find("PAGE"), "TEXT", TYPED_MARKUP)
    base.write_xml(root, path)


# Long words (German compounds, no hyphen to break at) in a card's summary, the site's title
# and a menu entry: they wrap on a phone rather than widen the page.
LONG_WORD = "Donaudampfschifffahrtsgesellschaftskapitänsmützenabzeichensammlung"


def with_long_words(project):
    path = os.path.join(project, "Column1.Clm")
    root = ET.parse(path).getroot()
    page = root.find("PAGE")
    base.set_text(page, "TEXT", LONG_WORD + " " + page.findtext("TEXT"))
    base.write_xml(root, path)
    path = os.path.join(project, "Default.Pro")
    root = ET.parse(path).getroot()
    topic = root.find("TOPIC")
    base.set_text(topic, "TITLE", "Schützenbruderschaft " + topic.findtext("TITLE"))
    base.set_text(root.find("MENULIST")[2], "TITLE", "Wanderwegebeschreibungen")
    base.write_xml(root, path)


def in_arabic(project):
    path = os.path.join(project, "Default.Pro")
    root = ET.parse(path).getroot()
    base.set_text(root.find("OPTIONS"), "SITE_LANGUAGE", "ar")
    base.set_text(root.find("TOPIC"), "CAPTION", ARABIC["caption"])
    base.set_text(root.find("TOPIC"), "TITLE", ARABIC["title"])
    for key, text in ARABIC["words"].items():
        base.set_text(root.find("LANGUAGE"), key, text)
    base.write_xml(root, path)


class ModernInChromium(unittest.TestCase):
    maxDiff = None
    browser = None
    scratch = None

    @classmethod
    def setUpClass(cls):
        cls.cli = os.environ.get("CORVANE_CLI", "")
        cls.source = os.environ.get("CORVANE_SOURCE_DIR", "")
        cls.sample = os.path.join(cls.source, "examples", "Sample")
        cls.screenshots = os.environ.get("CORVANE_SCREENSHOT_DIR", "")
        if not os.access(cls.cli, os.X_OK):
            raise AssertionError(f"CORVANE_CLI does not name the corvane-cli program: {cls.cli!r}")
        cls.scratch = tempfile.mkdtemp(prefix="corvane-modern-")
        try:
            cls.browser = base.Browser(cls.scratch, show_pictures=True)
            cls.checks = Checks(cls.browser, cls.screenshots)
        except Exception:
            if cls.browser is not None:
                cls.browser.close()
            shutil.rmtree(cls.scratch, ignore_errors=True)
            raise
        cls.log = open(os.path.join(cls.scratch, "servers.log"), "wb")

    @classmethod
    def tearDownClass(cls):
        if cls.browser is not None:
            cls.browser.close()
        if cls.scratch is not None:
            cls.log.close()
            shutil.rmtree(cls.scratch, ignore_errors=True)

    def run_tool(self, command):
        run = subprocess.run(command, stdin=subprocess.DEVNULL, capture_output=True, text=True,
                             timeout=BUILD_SECONDS)
        if run.returncode != 0:
            self.fail(f"{' '.join(command)} failed ({run.returncode}): {run.stdout}{run.stderr}")

    def build(self, name, project):
        into = os.path.join(self.scratch, "site-" + name)
        os.makedirs(into)
        self.run_tool([self.cli, "build", project, "--into", into])
        return into

    def sample_copy(self, name, source=None):
        project = os.path.join(self.scratch, "project-" + name)
        shutil.copytree(source or self.sample, project)
        return project

    def test_1_classic_faults_are_caught(self):
        """the checkers find what the Classic pages lack, and name file, rule and message"""
        project = self.sample_copy("classic", os.path.join(self.source, *base.CLASSIC_SAMPLE))
        into = self.build("classic", project)
        faults = check_site(self.checks, into, self.log, "classic")
        text = [str(fault) for fault in faults]
        print(report("the Classic sample (faults expected)", faults, limit=12), file=sys.stderr)
        expected = [
            ("Index.htm:", "vnu error", "doctype"),
            ("Index.htm", "html-has-lang", "lang"),
            ("Index.htm", "landmark-one-main", "main landmark"),
            ("Index.htm", "width 320", "no viewport for phones"),
            ("Index.htm", "width 390", f"text under {MIN_TEXT_PX} px"),
        ]
        for file, rule, words in expected:
            with self.subTest(rule=rule):
                self.assertTrue(
                    any(line.startswith(file) and f"[{rule}]" in line and words in line
                        for line in text),
                    f"no fault of {file} [{rule}] saying {words!r} among:\n" +
                    "\n".join(line for line in text if line.startswith(file))[:6000])

    def check_modern(self, name, project, dark=False):
        if not (MODERN_PAGES or os.environ.get("CORVANE_MODERN_CHECKS") == "1"):
            self.skipTest("the Modern page writer is not in this build (MODERN_PAGES)")
        into = self.build(name, project)
        faults = check_site(self.checks, into, self.log, name, dark)
        if faults:
            self.fail(report(f"site {name}", faults))

    def test_2_sample(self):
        """the Modern sample: every page clean, in the light and the dark colours"""
        self.check_modern("sample", self.sample_copy("sample"), dark=True)

    def test_3_layouts_and_styles(self):
        """each layout with the seven listing styles: every page clean"""
        for number, layout in enumerate(LAYOUTS, 1):
            with self.subTest(layout=layout):
                project = self.sample_copy(f"layout-{number}")
                seven_styles(project, layout)
                self.check_modern(f"layout-{number}", project)

    def test_4_templates(self):
        """the three bundled templates with the sample's content: every page clean, in the
        light and the dark colours"""
        if not (MODERN_PAGES or os.environ.get("CORVANE_MODERN_CHECKS") == "1"):
            self.skipTest("the Modern page writer is not in this build (MODERN_PAGES)")
        templates = os.path.join(self.scratch, "Templates")
        self.run_tool([os.environ.get("CORVANE_MAKE_TEMPLATES", ""), self.sample,
                       os.path.join(self.source, "examples", "TemplatePictures"), templates])
        for template in TEMPLATES:
            with self.subTest(template=template):
                slug = template.lower().replace(" ", "-")
                project = os.path.join(self.scratch, "project-" + slug)
                self.run_tool([os.environ.get("CORVANE_TEMPLATE_SITE", ""),
                               os.path.join(templates, template + ".Tmp"), self.sample, project])
                self.check_modern(slug, project, dark=True)

    def test_5_right_to_left(self):
        """the sample in Arabic (SITE_LANGUAGE "ar"), texts with stray markup and long words:
        every page clean"""
        project = self.sample_copy("arabic")
        in_arabic(project)
        with_typed_markup(project)
        with_long_words(project)
        self.check_modern("arabic", project)

    def test_99_loopback_only(self):
        """Chromium connected to nothing but 127.0.0.1"""
        self.browser.close()
        self.assertEqual(self.browser.outside_connections(), [],
                         "Chromium connected to addresses off the loopback")


def on_watchdog(_signum, _frame):
    raise TimeoutError(f"the Modern browser test ran longer than {WATCHDOG_SECONDS} s")


def main():
    reason = base.browser_missing() or checkers_missing()
    if reason is not None:
        if os.environ.get("CORVANE_REQUIRE_BROWSER") == "1":
            print(f"FAILED: the Modern browser test must run here (CORVANE_REQUIRE_BROWSER=1), "
                  f"but {reason}. Install them with: scripts/install-deps.sh browser",
                  file=sys.stderr)
            return 1
        print(f"SKIPPED: the Modern browser test needs Chromium, chromedriver, selenium, java, "
              f"vnu-jar and axe-core; {reason}.", file=sys.stderr)
        return base.SKIP_CODE
    for key in list(os.environ):
        if key.lower().endswith("_proxy"):
            del os.environ[key]
    signal.signal(signal.SIGALRM, on_watchdog)
    signal.alarm(WATCHDOG_SECONDS)
    started = time.monotonic()
    try:
        program = unittest.main(exit=False, verbosity=2)
    finally:
        signal.alarm(0)
        print(f"The Modern browser test took {time.monotonic() - started:.0f} s.",
              file=sys.stderr)
    return 0 if program.result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
