#!/usr/bin/env python3
"""The site options in a real browser: headless Chromium through chromedriver.

Builds the bundled sample (its Classic copy) in each of the six frame layouts with every site option on, and
once more with MOBILE off, serves each site with `python3 -m http.server` on 127.0.0.1 and
checks:

- on a phone (390 x 844 CSS pixels, mobile emulation), every page of every layout: no
  horizontal scrolling, and no visible text smaller than 14 CSS pixels;
- on a wide screen (1280 x 900), the homepage and a page of every layout look exactly the same
  with MOBILE on and off (equal screenshots);
- sitemap.xml parses and lists every page file, and only those, under the domain;
- each column's feed parses with feedparser, with one entry per page and the pages' dates,
  newest first.

The browser, the server and the rules for stopping them are those of BrowserTest.py. It skips
itself (exit code 77) without Chromium, chromedriver, selenium or feedparser, unless
CORVANE_REQUIRE_BROWSER=1 (scripts/test.sh, CI), where that fails.
"""

import datetime
import importlib.util
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

WATCHDOG_SECONDS = 220
BUILD_SECONDS = 60
DOMAIN = "https://lindenberg-hiking.example/club/"
LAYOUTS = [
    "Topic on top menu on top", "Topic and menu on top", "Menu on left foot on bottom",
    "Menu on left foot on right", "Topic on left foot on bottom", "Topic on left foot on right",
]
PHONE = {"width": 390, "height": 844, "deviceScaleFactor": 2, "mobile": True}
WIDE = (1280, 900)
MIN_TEXT_PX = 14
SITEMAP_NS = "{http://www.sitemaps.org/schemas/sitemap/0.9}"

# What a page shows on a phone: how wide it is against the screen, and the visible texts that
# are smaller than the least size allowed.
PHONE_OBSERVE = r"""
var small = [];
var walker = document.createTreeWalker(document.body, NodeFilter.SHOW_TEXT);
while (walker.nextNode()) {
    var node = walker.currentNode, element = node.parentElement;
    if (!node.textContent.trim() || !element || element.closest('script'))
        continue;
    var box = element.getBoundingClientRect();
    if (box.width === 0 || box.height === 0)
        continue;
    var size = parseFloat(getComputedStyle(element).fontSize);
    if (size < arguments[0])
        small.push(element.localName + '.' + element.className + ' ' + size + 'px: ' +
                   node.textContent.trim().slice(0, 40));
}
var widest = null, widestRight = 0;
Array.prototype.forEach.call(document.querySelectorAll('body *'), function (element) {
    var right = element.getBoundingClientRect().right;
    if (right > widestRight) {
        widestRight = right;
        widest = element.localName + '.' + element.className;
    }
});
return {scrollWidth: document.documentElement.scrollWidth, innerWidth: window.innerWidth,
        widest: widest, widestRight: widestRight, small: small};
"""


def feedparser_missing():
    if importlib.util.find_spec("feedparser") is None:
        return "not installed: the Python module feedparser (python3-feedparser)"
    return None


def slug(layout):
    return layout.lower().replace(" ", "-")


def set_options(folder, layout, mobile):
    """The sample with the layout, the domain and every site option (MOBILE as asked)."""
    path = os.path.join(folder, "Default.Pro")
    project = ET.parse(path).getroot()
    base.set_text(project.find("FRAME"), "FRAME", layout)
    base.set_text(project.find("TOPIC"), "DOMAIN", DOMAIN)
    options = project.find("OPTIONS")
    if options is not None:
        project.remove(options)
    options = ET.SubElement(project, "OPTIONS")
    for flag in ["MOBILE", "PAGE_TITLES", "SITEMAP", "FEEDS", "ALT_TEXTS"]:
        if flag != "MOBILE" or mobile:
            ET.SubElement(options, flag)
    ET.SubElement(options, "PICTURE_SIZE").text = "1600"
    base.write_xml(project, path)


def columns_of(folder):
    """(item number, column file, style) of each column of the project, in menu order."""
    project = ET.parse(os.path.join(folder, "Default.Pro")).getroot()
    return [(index, item.findtext("COLUMN"), item.findtext("STYLE"))
            for index, item in enumerate(project.find("MENULIST")) if item.findtext("COLUMN")]


class OptionsInChromium(unittest.TestCase):
    maxDiff = None
    browser = None
    scratch = None

    @classmethod
    def setUpClass(cls):
        cls.cli = os.environ.get("CORVANE_CLI", "")
        source = os.environ.get("CORVANE_SOURCE_DIR", "")
        # The sample as it was before the Modern design: these checks are of the Classic pages.
        cls.sample = os.path.join(source, *base.CLASSIC_SAMPLE)
        if not os.access(cls.cli, os.X_OK):
            raise AssertionError(f"CORVANE_CLI does not name the corvane-cli program: {cls.cli!r}")
        cls.scratch = tempfile.mkdtemp(prefix="corvane-options-")
        try:
            cls.sites = {}
            for layout in LAYOUTS:
                for mobile in (True, False):
                    cls.sites[(layout, mobile)] = cls.build(layout, mobile)
            cls.browser = base.Browser(cls.scratch, show_pictures=True)
        except Exception:
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

    @classmethod
    def build(cls, layout, mobile):
        name = slug(layout) + ("" if mobile else "-wide-only")
        project = os.path.join(cls.scratch, "project-" + name)
        into = os.path.join(cls.scratch, "site-" + name)
        shutil.copytree(cls.sample, project)
        set_options(project, layout, mobile)
        os.makedirs(into)
        run = subprocess.run([cls.cli, "build", project, "--into", into],
                             stdin=subprocess.DEVNULL, capture_output=True, text=True,
                             timeout=BUILD_SECONDS)
        if run.returncode != 0:
            raise AssertionError(f"corvane-cli build of {name} failed ({run.returncode}): "
                                 f"{run.stdout}{run.stderr}")
        return project, into

    def pages(self, into):
        return sorted(name for name in os.listdir(into) if name.endswith(".htm"))

    def screenshots(self, into, pages):
        server = base.Server(into, self.log)
        try:
            shots = {}
            for page in pages:
                self.browser.driver.get(server.url(page))
                shots[page] = self.browser.driver.get_screenshot_as_png()
            return shots
        finally:
            server.close()

    def test_1_phone(self):
        """on a phone no page scrolls sideways and no text is below 14 px, in every layout"""
        driver = self.browser.driver
        driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride", PHONE)
        driver.execute_cdp_cmd("Emulation.setTouchEmulationEnabled", {"enabled": True})
        try:
            for layout in LAYOUTS:
                _project, into = self.sites[(layout, True)]
                server = base.Server(into, self.log)
                try:
                    for page in self.pages(into):
                        driver.get(server.url(page))
                        seen = driver.execute_script(PHONE_OBSERVE, MIN_TEXT_PX)
                        with self.subTest(layout=layout, page=page):
                            self.assertEqual(seen["innerWidth"], PHONE["width"],
                                             "the page is not laid out at the phone's width "
                                             "(viewport meta tag)")
                            self.assertLessEqual(
                                seen["scrollWidth"], seen["innerWidth"],
                                f"scrolls sideways: {seen['scrollWidth']} px wide, the widest "
                                f"element {seen['widest']} ends at {seen['widestRight']:.0f} px")
                            self.assertEqual(seen["small"][:5], [],
                                             f"text smaller than {MIN_TEXT_PX} px")
                finally:
                    server.close()
        finally:
            driver.execute_cdp_cmd("Emulation.clearDeviceMetricsOverride", {})
            driver.execute_cdp_cmd("Emulation.setTouchEmulationEnabled", {"enabled": False})

    def test_2_wide_screen(self):
        """on a wide screen the pages look the same with MOBILE on and off"""
        self.browser.driver.set_window_size(*WIDE)
        for layout in LAYOUTS:
            _project, mobile = self.sites[(layout, True)]
            _project, plain = self.sites[(layout, False)]
            pages = self.pages(mobile)
            self.assertEqual(pages, self.pages(plain))
            pages = [page for page in pages if "_" not in page][:2] + \
                [page for page in pages if "_" in page][:1]
            with_rules = self.screenshots(mobile, pages)
            without = self.screenshots(plain, pages)
            for page in pages:
                with self.subTest(layout=layout, page=page):
                    self.assertTrue(with_rules[page] == without[page],
                                    f"{page} looks different at {WIDE[0]} x {WIDE[1]} with "
                                    "MOBILE on")

    def test_3_sitemap(self):
        """sitemap.xml parses and lists every page file under the domain"""
        for layout in LAYOUTS[:1]:
            _project, into = self.sites[(layout, True)]
            root = ET.parse(os.path.join(into, "sitemap.xml")).getroot()
            self.assertEqual(root.tag, SITEMAP_NS + "urlset")
            listed = [url.findtext(SITEMAP_NS + "loc") for url in root]
            self.assertEqual(sorted(listed), [DOMAIN + page for page in self.pages(into)])
            for url in root:
                lastmod = url.findtext(SITEMAP_NS + "lastmod")
                if lastmod is not None:
                    datetime.date.fromisoformat(lastmod)
            with open(os.path.join(into, "robots.txt"), encoding="ascii") as robots:
                self.assertIn("Sitemap: " + DOMAIN + "sitemap.xml", robots.read().splitlines())

    def test_4_feeds(self):
        """each column's feed parses with one entry per page, newest first, with its dates"""
        import feedparser
        project, into = self.sites[(LAYOUTS[0], True)]
        columns = columns_of(project)
        self.assertTrue(columns)
        for item, column, style in columns:
            with self.subTest(column=column):
                pages = ET.parse(os.path.join(project, column)).getroot()
                dates = [datetime.datetime.strptime(page.findtext("DATE"), "%m/%d/%Y").date()
                         for page in pages]
                with open(os.path.join(into, f"Page{item}.xml"), "rb") as feed_file:
                    feed = feedparser.parse(feed_file.read())
                self.assertFalse(feed.bozo, f"Page{item}.xml: {feed.get('bozo_exception')}")
                self.assertEqual(feed.version, "rss20")
                self.assertEqual(len(feed.entries), len(pages))
                published = [datetime.date(*entry.published_parsed[:3]) for entry in feed.entries]
                self.assertEqual(published, sorted(dates, reverse=True))
                titles = sorted(entry.title for entry in feed.entries)
                self.assertEqual(titles, sorted(page.findtext("TITLE") for page in pages))
                for entry in feed.entries:
                    self.assertTrue(entry.link.startswith(DOMAIN), entry.link)
                    self.assertLessEqual(len(entry.description), 300)
                # The column's listing page names its feed.
                listing = "Index.htm" if item == columns[0][0] else f"Page{item}.htm"
                with open(os.path.join(into, listing), encoding="utf-8") as page:
                    self.assertIn('<link rel="alternate" type="application/rss+xml"', page.read())

    def test_9_loopback_only(self):
        """Chromium connected to nothing but 127.0.0.1"""
        self.browser.close()
        self.assertEqual(self.browser.outside_connections(), [],
                         "Chromium connected to addresses off the loopback")


def on_watchdog(_signum, _frame):
    raise TimeoutError(f"the options browser test ran longer than {WATCHDOG_SECONDS} s")


def main():
    reason = base.browser_missing() or feedparser_missing()
    if reason is not None:
        if os.environ.get("CORVANE_REQUIRE_BROWSER") == "1":
            print(f"FAILED: the options browser test must run here (CORVANE_REQUIRE_BROWSER=1), "
                  f"but {reason}. Install it with: scripts/install-deps.sh browser",
                  file=sys.stderr)
            return 1
        print(f"SKIPPED: the options browser test needs Chromium, chromedriver, "
              f"python3-selenium and python3-feedparser; {reason}. Install them with: "
              "scripts/install-deps.sh browser", file=sys.stderr)
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
        print(f"The options browser test took {time.monotonic() - started:.0f} s.",
              file=sys.stderr)
    return 0 if program.result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
