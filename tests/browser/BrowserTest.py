#!/usr/bin/env python3
"""Built sites in a real browser: headless Chromium through chromedriver and python3-selenium.

Builds the bundled sample (its Classic copy) in every encoding the font dialog offers, with German, Czech,
Cyrillic, Greek, Japanese, Chinese and Korean texts (and characters that the charset cannot
hold), and a project whose translations and captions hold quotes, apostrophes, backslashes,
line breaks and "</script>". Each site is served by `python3 -m http.server` on 127.0.0.1,
which sends no charset (as most hosts do), and every page is checked in Chromium: no script
error, the charset the browser decoded, document.title and the visible titles, the year and
the words of the welcome bar, the computed font family of ".Text", the code of the welcome
links, and that the summaries of a listing do not break it.

Run by ctest as browser_tests (label "browser"), with CORVANE_CLI (the corvane-cli program) and
CORVANE_SOURCE_DIR (the source tree) set. Without Chromium, chromedriver or selenium it skips
itself (exit code 77), unless CORVANE_REQUIRE_BROWSER=1, as in scripts/test.sh and CI, where a
missing browser fails. It talks to 127.0.0.1 only, starts Chromium so that it makes no outside
connections, and stops every process it starts, by PID, in bounded time.
"""

import datetime
import http.client
import importlib.util
import json
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import unittest
import xml.etree.ElementTree as ET

CHROMIUM = "/usr/bin/chromium"
# The bundled sample in its Classic form, as the golden test keeps it.
CLASSIC_SAMPLE = ("tests", "generator", "golden", "sample-classic", "project")
CHROMEDRIVER = "/usr/bin/chromedriver"
SKIP_CODE = 77  # ctest's SKIP_RETURN_CODE for this test
WATCHDOG_SECONDS = 220  # the whole run; ctest's TIMEOUT is a little longer
PAGE_LOAD_SECONDS = 30
BUILD_SECONDS = 60
SERVER_START_SECONDS = 10

# The column of the sample whose menu entry and page titles each site replaces: "Trail
# guides", listed as "Only title list" (Page2.htm), so that its listing and its pages show the
# bare titles.
TITLE_COLUMN = "Column3.Clm"
TITLE_LISTING = "Page2.htm"
TITLE_PAGE = "Page2_{}.htm"
# The column listed as "Title list with summary" on the homepage ("News").
SUMMARY_COLUMN = "Column1.Clm"
SUMMARY_PAGE = "Page0_{}.htm"

# The weekdays in the order of the browser's getDay(), Sunday first, and their keys.
DAY_KEYS = ["SUNDAY", "MONDAY", "TUESDAY", "WEDNESDAY", "THURSDAY", "FRIDAY", "SATURDAY"]


# ---------------------------------------------------------------------------------------------
# The texts. Each language gives the caption (document.title), the topic title, the menu entry
# and the two page titles of the title column, and the welcome bar's words.

class Language:
    def __init__(self, caption, topic, menu, pages, welcome, today_is, days):
        self.caption = caption
        self.topic = topic
        self.menu = menu
        self.pages = pages
        self.welcome = welcome
        self.today_is = today_is
        self.days = days


GERMAN = Language(
    "Wanderfreunde Lindenberg: Grüße aus dem Süden", "Wandern über Berg und Tal",
    "Wegführer", ["Über den Grat nach Süden", "Fußweg am Bächle entlang"], "Grüß Gott!",
    "Heute ist", ["Sonntag", "Montag", "Dienstag", "Mittwoch", "Donnerstag", "Freitag",
                  "Samstag"])
CZECH = Language(
    "Turistický klub Žďár nad Sázavou", "Příliš žluťoučký kůň úpěl ďábelské ódy",
    "Průvodce trasami", ["Hřebenová stezka z vesnice", "Podzimní okruh (GPS)"], "Vítejte!",
    "Dnes je", ["Neděle", "Pondělí", "Úterý", "Středa", "Čtvrtek", "Pátek", "Sobota"])
RUSSIAN = Language(
    "Клуб туристов «Линденберг»", "Прогулки по горам и долинам", "Путеводители",
    ["Тропа по хребту из деревни", "Осенняя петля (GPS), ёлки"], "Добро пожаловать!",
    "Сегодня", ["Воскресенье", "Понедельник", "Вторник", "Среда", "Четверг", "Пятница",
                "Суббота"])
GREEK = Language(
    "Ορειβατικός Σύλλογος Λίντενμπεργκ", "Πεζοπορία στα βουνά και στις κοιλάδες",
    "Οδηγοί διαδρομών", ["Το μονοπάτι της κορυφογραμμής", "Φθινοπωρινός κύκλος (GPS)"],
    "Καλώς ήρθατε!", "Σήμερα είναι", ["Κυριακή", "Δευτέρα", "Τρίτη", "Τετάρτη", "Πέμπτη",
                                      "Παρασκευή", "Σάββατο"])
JAPANESE = Language(
    "リンデンベルク山歩きクラブ", "山と谷を歩こう", "コース案内",
    ["村から尾根の道へ", "秋の周回コース (GPS)"], "ようこそ", "今日は",
    ["日曜日", "月曜日", "火曜日", "水曜日", "木曜日", "金曜日", "土曜日"])
CHINESE_TRADITIONAL = Language(
    "林登堡登山會", "山間健行與溪谷步道", "路線指南",
    ["從村莊走上山脊", "秋季環線 (GPS)"], "歡迎光臨", "今天是",
    ["星期日", "星期一", "星期二", "星期三", "星期四", "星期五", "星期六"])
CHINESE_SIMPLIFIED = Language(
    "林登堡登山俱乐部", "山间徒步与溪谷步道", "路线指南",
    ["从村庄走上山脊", "秋季环线 (GPS)"], "欢迎光临", "今天是",
    ["星期日", "星期一", "星期二", "星期三", "星期四", "星期五", "星期六"])
KOREAN = Language(
    "린덴베르크 등산 클럽", "산길과 계곡을 걸어요", "코스 안내",
    ["마을에서 능선길로", "가을 순환 코스 (GPS)"], "환영합니다", "오늘은",
    ["일요일", "월요일", "화요일", "수요일", "목요일", "금요일", "토요일"])
MIXED = Language(
    "Grüße · Привет · Καλημέρα · 日本語 · 中文 · 한국어", "Über Berg, Гора, Βουνό, 山",
    "Wegführer · Путеводители", ["Grat · Хребет · Κορυφή · 尾根", "秋 · Осень · 가을 😀"],
    "Willkommen · Добро пожаловать · ようこそ", "Heute · Сегодня",
    ["Sonntag 日", "Montag Пн", "Dienstag Τρ", "Mittwoch 水", "Donnerstag 목", "Freitag Пт",
     "Samstag 土"])


# ---------------------------------------------------------------------------------------------
# The sites.

# The family names the font dialog offers and the computed font-family Chromium reports for
# each once it is written as a CSS font list.
FONT_FAMILIES = [
    ("Default Font", '"Default Font"'),
    ("Arial, Helvetica, sans-serif", "Arial, Helvetica, sans-serif"),
    ("Times New Roman, Times, serif", '"Times New Roman", Times, serif'),
    ("Courier New, Courier, mono", '"Courier New", Courier, monospace'),
    ("Georgia, Times New Roman, Times, serif", 'Georgia, "Times New Roman", Times, serif'),
    ("Verdana, Arial, Helvetica, sans-serif", "Verdana, Arial, Helvetica, sans-serif"),
    ("Geneva, Arial, Helvetica, san-serif", "Geneva, Arial, Helvetica, sans-serif"),
]
SAMPLE_FAMILY = "Verdana, Arial, Helvetica, sans-serif"


class Site:
    """One project to build and check: the sample with some texts replaced."""

    def __init__(self, slug, description, encoding, charset, language=None, outside="",
                 every_page=False):
        self.slug = slug
        self.description = description
        self.encoding = encoding  # TDFont.ENCODING
        self.charset = charset  # the document.characterSet Chromium must decode the pages in
        self.use_family(SAMPLE_FAMILY)
        self.caption = self.topic = self.menu = self.domain = None
        self.pages = []
        self.translations = {}
        self.summary_text = None
        # Which pages to load: all, or the listing pages and the title column's pages. The
        # other pages differ from these only in a text area that holds the sample's ASCII text.
        self.every_page = every_page or language is None
        if language is not None:
            # Characters the charset cannot hold go into the caption, a page title and the
            # greeting; the browser must show them all the same.
            extra = " " + outside if outside else ""
            self.caption = language.caption + extra
            self.topic = language.topic
            self.menu = language.menu
            self.pages = [language.pages[0], language.pages[1] + extra]
            self.translations = {"WELCOME": language.welcome + extra,
                                 "TODAY_IS": language.today_is}
            self.translations.update(zip(DAY_KEYS, language.days))

    def use_family(self, family):
        self.family = family  # TDFont.FAMILY
        self.expected_font = dict(FONT_FAMILIES)[family]

    def __str__(self):
        return self.description


# Every encoding of the font dialog, the charset Chromium decodes its pages in, the texts and
# characters outside the charset.
ENCODING_SITES = [
    Site("western_iso_8859_1", "Western (ISO-8859-1)", "Western (ISO-8859-1)", "windows-1252",
         GERMAN, "ő Ω 日 😀"),
    Site("japanese_shift_jis", "Japanese (Shift JIS)", "Japanese (Shift JIS)", "Shift_JIS",
         JAPANESE, "한 ő 😀"),
    Site("japanese_jis", "Japanese (JIS)", "Japanese (JIS)", "ISO-2022-JP", JAPANESE,
         "한 ő 😀"),
    Site("japanese_euc", "Japanese (EUC)", "Japanese (EUC)", "EUC-JP", JAPANESE, "한 😀"),
    Site("chinese_big5", "Traditional Chinese (Big5)", "Traditional Chinese (Big5)", "Big5",
         CHINESE_TRADITIONAL, "한 ő Ж 😀"),
    Site("chinese_gb2312", "Simplified Chinese (GB2312)", "Simplified Chinese (GB2312)", "GBK",
         CHINESE_SIMPLIFIED, "體 한 ő 😀"),
    Site("korean_euc_kr", "Korean (EUC-KR)", "Korean (EUC-KR)", "EUC-KR", KOREAN,
         "똠 ő 😀"),
    Site("central_iso_8859_2", "Central European (ISO-8859-2)", "Central European (ISO-8859-2)",
         "ISO-8859-2", CZECH, "ø € Ж 日 😀"),
    Site("central_macce", "Central European (MacCE)", "Central European (MacCE)", "UTF-8",
         CZECH, "ø € Ж 日 😀"),
    Site("central_windows_1250", "Central European (Windows-1250)",
         "Central European (Windows-1250)", "windows-1250", CZECH, "ø Ж 日 😀"),
    Site("cyrillic_iso_8859_5", "Cyrillic (ISO-8859-5)", "Cyrillic (ISO-8859-5)", "ISO-8859-5",
         RUSSIAN, "ä € 日 😀"),
    Site("cyrillic_koi8_r", "Cyrillic (KOI8-R)", "Cyrillic (KOI8-R)", "KOI8-R", RUSSIAN,
         "ä € 日 😀"),
    Site("cyrillic_maccyrillic", "Cyrillic (MacCyrillic)", "Cyrillic (MacCyrillic)",
         "x-mac-cyrillic", RUSSIAN, "ä 日 😀"),
    Site("cyrillic_windows_1251", "Cyrillic (Windows-1251)", "Cyrillic (Windows-1251)",
         "windows-1251", RUSSIAN, "ä 日 😀"),
    Site("greek_iso_8859_7", "Greek (ISO-8859-7)", "Greek (ISO-8859-7)", "ISO-8859-7", GREEK,
         "ä Ж 日 😀"),
    Site("greek_macgreek", "Greek (MacGreek)", "Greek (MacGreek)", "UTF-8", GREEK,
         "ä Ж 日 😀"),
    Site("greek_windows_1253", "Greek (Windows-1253)", "Greek (Windows-1253)", "windows-1253",
         GREEK, "ä Ж 日 😀"),
    Site("windows_1252", "Windows 1252", "Windows 1252", "windows-1252", GERMAN, "ő Ω 日 😀"),
    Site("utf_8", "UTF-8", "UTF-8", "UTF-8", MIXED, "😀", every_page=True),
    Site("other", "Other", "Other", "UTF-8", MIXED, "😀"),
    Site("unknown_name", "an encoding name not in the list", "Cyrillic (DOS 866)", "UTF-8",
         MIXED, "😀"),
]
# Each site gets one of the family names in turn.
for _index, _site in enumerate(ENCODING_SITES):
    _site.use_family(FONT_FAMILIES[_index % len(FONT_FAMILIES)][0])


def escaping_site():
    """Texts that end script strings early or end the script: in the date script's
    translations, in the caption and the domain that the welcome links' code holds; and a
    summary whose 200-character cut falls inside a link's markup."""
    site = Site("escaping", "quotes, backslashes, line breaks and </script>", "UTF-8", "UTF-8")
    tricky = " \"quoted\" it's C:\\new\r\nline </script> end"
    site.translations = {key: day + tricky for key, day in zip(
        DAY_KEYS, ["Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday",
                   "Saturday"])}
    site.translations["WELCOME"] = "Welcome to \"Joe's\" \\ club,\nfriends"
    site.translations["TODAY_IS"] = "today is </script><\\/p>"
    site.caption = "Joe's \"Club\" C:\\new\r\nline </script> end"
    site.domain = "http://joe's.example.invalid/C:\\new/"
    # 190 characters, then a link: the cut after 200 characters falls inside its href.
    site.summary_text = ("Walk " * 38) + '<a href="http://example.invalid/trail-map">map</a>' + \
        " and more text after the link" * 4
    return site


SITES = ENCODING_SITES + [escaping_site()]


# ---------------------------------------------------------------------------------------------
# Helpers.

def collapse(text):
    """Text as the browser shows it: runs of white space as one blank, none at either end."""
    return re.sub(r"\s+", " ", text or "").strip()


def shown(markup):
    """What the browser shows for a translation written into the page by the date script:
    "</script>" there is a stray end tag, which the parser drops."""
    return collapse(markup.replace("</script>", ""))


def free_port():
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def stop_process(process, grace=5):
    """Stops a process that this test started, by its PID: SIGTERM, then SIGKILL."""
    if process is None or process.poll() is not None:
        return
    process.terminate()
    try:
        process.wait(timeout=grace)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait(timeout=grace)


def children_of(pid):
    """The PIDs of the running processes whose parent is pid."""
    found = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open(f"/proc/{entry}/stat", encoding="ascii", errors="replace") as stat:
                fields = stat.read().rsplit(")", 1)[1].split()
        except OSError:
            continue
        if int(fields[1]) == pid:
            found.append(int(entry))
    return found


def alive(pid):
    try:
        with open(f"/proc/{pid}/stat", encoding="ascii", errors="replace") as stat:
            return stat.read().rsplit(")", 1)[1].split()[0] != "Z"
    except OSError:
        return False


def loopback(address):
    """Whether "host:port" (or "[v6]:port") is on the loopback."""
    host = address.rsplit(":", 1)[0].strip("[]")
    return host.startswith("127.") or host == "::1"


def write_xml(root, path):
    text = ET.tostring(root, encoding="unicode")
    # A carriage return survives the XML reader only as a character reference.
    text = text.replace("\r", "&#13;")
    with open(path, "w", encoding="utf-8", newline="") as out:
        out.write('<?xml version="1.0" encoding="UTF-8"?>' + text)


def set_text(parent, tag, value):
    element = parent.find(tag)
    if element is None:
        raise AssertionError(f"the sample has no {tag} element under {parent.tag}")
    element.text = value


def make_project(site, sample, folder):
    """Copies the sample into folder and puts the site's encoding, font and texts into it."""
    shutil.copytree(sample, folder)
    project = ET.parse(os.path.join(folder, "Default.Pro")).getroot()
    set_text(project.find("FONT"), "ENCODING", site.encoding)
    set_text(project.find("FONT"), "FAMILY", site.family)
    topic = project.find("TOPIC")
    if site.caption is not None:
        set_text(topic, "CAPTION", site.caption)
    if site.topic is not None:
        set_text(topic, "TITLE", site.topic)
    if site.domain is not None:
        set_text(topic, "DOMAIN", site.domain)
    for key, value in site.translations.items():
        set_text(project.find("LANGUAGE"), key, value)
    if site.menu is not None:
        items = [item for item in project.find("MENULIST")
                 if item.findtext("COLUMN") == TITLE_COLUMN]
        set_text(items[0], "TITLE", site.menu)
    write_xml(project, os.path.join(folder, "Default.Pro"))
    if site.pages:
        column = ET.parse(os.path.join(folder, TITLE_COLUMN)).getroot()
        for page, title in zip(column, site.pages):
            set_text(page, "TITLE", title)
        write_xml(column, os.path.join(folder, TITLE_COLUMN))
    if site.summary_text is not None:
        column = ET.parse(os.path.join(folder, SUMMARY_COLUMN)).getroot()
        set_text(column[0], "TEXT", site.summary_text)
        write_xml(column, os.path.join(folder, SUMMARY_COLUMN))


def read_project(folder):
    """What the pages must show, read back from the project: the caption, the translations,
    the summary column's pages and the title column's texts."""
    project = ET.parse(os.path.join(folder, "Default.Pro")).getroot()
    language = {child.tag: child.text or "" for child in project.find("LANGUAGE")}
    topic = project.find("TOPIC")
    # Each page of the summary column with whether its stored text is cut ("......").
    summaries = [(page.findtext("TITLE"), len(page.findtext("TEXT") or "") > 200)
                 for page in ET.parse(os.path.join(folder, SUMMARY_COLUMN)).getroot()]
    titles = [page.findtext("TITLE") for page in ET.parse(
        os.path.join(folder, TITLE_COLUMN)).getroot()]
    menu = [item.findtext("TITLE") for item in project.find("MENULIST")
            if item.findtext("COLUMN") == TITLE_COLUMN][0]
    return {"language": language, "caption": topic.findtext("CAPTION") or "",
            "domain": topic.findtext("DOMAIN") or "", "topic": topic.findtext("TITLE") or "",
            "summaries": summaries, "titles": titles, "menu": menu}


# ---------------------------------------------------------------------------------------------
# The browser.

# Set before any script of a page runs: the errors of the page and the date it was loaded on.
ERROR_LISTENER = r"""
window.__corvaneErrors = [];
(function () {
    var now = new Date();
    window.__corvaneLoadDate = [now.getFullYear(), now.getMonth() + 1, now.getDate(),
                                now.getDay()];
    window.addEventListener('error', function (event) {
        if (event instanceof ErrorEvent)
            window.__corvaneErrors.push(event.message + ' (line ' + event.lineno + ':' +
                                        event.colno + ')');
    }, true);
    window.addEventListener('unhandledrejection', function (event) {
        window.__corvaneErrors.push('unhandled rejection: ' + event.reason);
    });
})();
"""

# What one page shows, gathered in one call once it has loaded.
OBSERVE = r"""
function texts(selector) {
    return Array.prototype.map.call(document.querySelectorAll(selector), function (element) {
        return [element.getAttribute('href'), element.textContent];
    });
}
// Percent-decoding as the browser does it for a javascript: URL (bytes, then UTF-8).
function percentDecode(text) {
    var bytes = [], encoder = new TextEncoder();
    for (var i = 0; i < text.length;) {
        var hex = text.substr(i + 1, 2);
        if (text[i] === '%' && /^[0-9A-Fa-f]{2}$/.test(hex)) {
            bytes.push(parseInt(hex, 16));
            i += 3;
        } else {
            var ch = String.fromCodePoint(text.codePointAt(i));
            encoder.encode(ch).forEach(function (b) { bytes.push(b); });
            i += ch.length;
        }
    }
    return new TextDecoder().decode(new Uint8Array(bytes));
}
// Runs the welcome links' code against stand-ins for what old browsers had, and reports the
// values it passes on, or why it cannot run.
function linkScripts() {
    var result = [];
    var homepage = document.querySelectorAll('table.Welcome a[onclick]');
    var favorite = document.querySelectorAll('table.Welcome a[href^="javascript:"]');
    Array.prototype.forEach.call(homepage, function (a) {
        var code = a.getAttribute('onclick'), got = null;
        try {
            var handler = new Function(code);
            handler.call({style: {}, setHomePage: function (url) { got = url; }});
            result.push(['homepage', code, null, [got]]);
        } catch (error) {
            result.push(['homepage', code, String(error), null]);
        }
    });
    Array.prototype.forEach.call(favorite, function (a) {
        var code = percentDecode(a.href.slice('javascript:'.length)), got = null;
        try {
            var run = new Function('window', code);
            run({external: {AddFavorite: function (url, title) { got = [url, title]; }}});
            result.push(['favorite', code, null, got]);
        } catch (error) {
            result.push(['favorite', code, String(error), null]);
        }
    });
    return result;
}
// The entries of a summary listing: each title link, the summary row after it, and the
// attributes in the listing that hold a line end or a "<" (what a cut inside a tag leaves).
function summaries() {
    var entries = [], broken = [], listing = null;
    Array.prototype.forEach.call(document.querySelectorAll('a.SmallTitle'), function (a) {
        if (!/^Page0_[0-9]+[.]htm$/.test(a.getAttribute('href') || ''))
            return;
        var row = a.closest('tr'), next = row ? row.nextElementSibling : null;
        listing = listing || a.closest('table');
        entries.push([a.getAttribute('href'), a.textContent, next ? next.innerText : null]);
    });
    if (listing)
        Array.prototype.forEach.call(listing.querySelectorAll('*'), function (element) {
            Array.prototype.forEach.call(element.attributes, function (attribute) {
                if (/[<\n\r]/.test(attribute.value))
                    broken.push('<' + element.localName + ' ' + attribute.name + '="' +
                                attribute.value + '">');
            });
        });
    return {entries: entries, broken: broken};
}
var script = document.querySelector('table.Welcome script');
var text = document.querySelector('.Text');
var topic = document.querySelector('table.Topic table.Topic');
var title = document.querySelector('td.Title');
var now = new Date();
return {
    charset: document.characterSet,
    title: document.title,
    errors: window.__corvaneErrors || null,
    loadDate: window.__corvaneLoadDate || null,
    date: [now.getFullYear(), now.getMonth() + 1, now.getDate(), now.getDay()],
    welcome: script ? script.parentElement.innerText : null,
    topic: topic ? topic.textContent : null,
    pageTitle: title ? title.textContent : null,
    menu: texts('a.Menu'),
    smallTitles: texts('a.SmallTitle'),
    font: text ? getComputedStyle(text).fontFamily : null,
    links: linkScripts(),
    summaries: summaries()
};
"""


def browser_missing():
    """Why the browser test cannot run here, or None."""
    missing = [path for path in (CHROMIUM, CHROMEDRIVER) if not os.access(path, os.X_OK)]
    if importlib.util.find_spec("selenium") is None:
        missing.append("the Python module selenium (python3-selenium)")
    if missing:
        return "not installed: " + ", ".join(missing)
    return None


class Browser:
    """Headless Chromium under chromedriver, in a profile and home of its own, kept off every
    network but the loopback."""

    def __init__(self, scratch, show_pictures=False):
        from selenium import webdriver
        from selenium.webdriver.chrome.service import Service
        from selenium.webdriver.remote.remote_connection import RemoteConnection

        self.profile = os.path.join(scratch, "chromium-profile")
        home = os.path.join(scratch, "chromium-home")
        os.makedirs(self.profile)
        os.makedirs(home)
        options = webdriver.ChromeOptions()
        options.binary_location = CHROMIUM
        self.net_log = os.path.join(scratch, "chromium-net-log.json")
        for argument in [
                "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
                "--no-first-run", "--no-default-browser-check",
                "--disable-background-networking", "--disable-component-update",
                "--disable-sync", "--disable-default-apps", "--disable-extensions",
                "--disable-component-extensions-with-background-pages",
                "--disable-domain-reliability", "--disable-client-side-phishing-detection",
                "--disable-breakpad", "--disable-dev-shm-usage", "--disable-field-trial-config",
                "--disable-search-engine-choice-screen", "--no-pings", "--no-service-autorun",
                "--metrics-recording-only", "--password-store=basic", "--dns-prefetch-disable",
                "--disable-features=Translate,OptimizationHints,MediaRouter,"
                "DialMediaRouteProvider,AutofillServerCommunication,NetworkTimeServiceQuerying,"
                "CertificateTransparencyComponentUpdater,InterestFeedContentSuggestions",
                # No name resolves but the loopback's, and whatever is not on the loopback
                # goes to a proxy that is not there: what Chromium tries on its own (update
                # checks, account look-ups) ends at 127.0.0.1:9.
                "--host-resolver-rules=MAP * ~NOTFOUND , EXCLUDE 127.0.0.1",
                "--proxy-server=http://127.0.0.1:9",
                "--window-size=1024,768",
                # Every connection Chromium makes, for the check that all stay on 127.0.0.1.
                "--log-net-log=" + self.net_log,
                "--user-data-dir=" + self.profile]:
            options.add_argument(argument)
        if not show_pictures:
            # The pictures play no part in the checks of this file.
            options.add_argument("--blink-settings=imagesEnabled=false")
        options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
        environment = {key: value for key, value in os.environ.items()
                       if not key.lower().endswith("_proxy")}
        environment.update(HOME=home, XDG_CONFIG_HOME=os.path.join(home, ".config"),
                           XDG_CACHE_HOME=os.path.join(home, ".cache"))
        RemoteConnection.set_timeout(PAGE_LOAD_SECONDS + 30)
        self.service = Service(CHROMEDRIVER, port=free_port(), env=environment,
                               log_path=os.path.join(scratch, "chromedriver.log"))
        self.driver = None
        self.browser_pids = []
        try:
            self.driver = webdriver.Chrome(service=self.service, options=options)
        except Exception:
            self.close()
            raise
        # Chromium's own processes, to stop them by PID should chromedriver leave them behind.
        self.browser_pids = children_of(self.service.process.pid)
        self.driver.set_page_load_timeout(PAGE_LOAD_SECONDS)
        self.driver.set_script_timeout(10)
        self.driver.execute_cdp_cmd("Page.addScriptToEvaluateOnNewDocument",
                                    {"source": ERROR_LISTENER})
        self.version = self.driver.capabilities.get("browserVersion", "?")

    def observe(self, url):
        """Loads url and returns what it shows, with the script errors of the browser's log."""
        self.driver.get_log("browser")  # drops what earlier pages left
        self.driver.get(url)
        seen = self.driver.execute_script(OBSERVE)
        logged = []
        for entry in self.driver.get_log("browser"):
            if entry.get("level") == "SEVERE" and entry.get("source") in ("javascript",
                                                                          "console-api"):
                logged.append(entry.get("message", ""))
        errors = list(seen["errors"] or [])
        for message in logged:
            if not any(error.split(" (line ")[0] in message for error in errors):
                errors.append(message)
        seen["errors"] = errors
        return seen

    def outside_connections(self):
        """The non-loopback addresses Chromium opened a TCP connection to or sent UDP data
        to, from its net log (complete once Chromium has stopped). A UDP socket's connect
        alone sends nothing: Chromium's IPv6 reachability probe does that to a public address."""
        with open(self.net_log, encoding="utf-8", errors="replace") as log:
            text = log.read().rstrip()
        try:
            net_log = json.loads(text)
        except ValueError:  # cut off at its end: keep its whole events, one a line
            net_log = json.loads(text[:text.rfind("},\n") + 1] + "]}")
        names = {number: name for name, number in net_log["constants"]["logEventTypes"].items()}
        tcp = {"TCP_CONNECT_ATTEMPT", "TCP_CONNECT_JOB_CONNECTOR_CONNECT_START", "TCP_CONNECT"}
        udp_peer, udp_sent, outside = {}, set(), set()
        for event in net_log["events"]:
            name = names.get(event["type"], "")
            params = event.get("params") or {}
            address = params.get("address") or params.get("remote_address")
            if name in tcp and address and not loopback(address):
                outside.add("TCP " + address)
            elif name == "UDP_CONNECT" and address:
                udp_peer[event["source"]["id"]] = address
            elif name == "UDP_BYTES_SENT":
                udp_sent.add(event["source"]["id"])
        for source in udp_sent:
            peer = udp_peer.get(source)
            if peer is not None and not loopback(peer):
                outside.add("UDP " + peer)
        return sorted(outside)

    def close(self):
        if self.driver is not None:
            try:
                self.driver.quit()
            except Exception:  # stopped below by PID
                pass
            self.driver = None
        process = getattr(self.service, "process", None)
        if process is not None:
            stop_process(process)
        for pid in self.browser_pids:
            if alive(pid):
                try:
                    os.kill(pid, signal.SIGKILL)
                except OSError:
                    pass


class Server:
    """python3 -m http.server for one site folder on a free port of 127.0.0.1."""

    def __init__(self, folder, log):
        self.process = None
        for _attempt in range(3):
            self.port = free_port()
            self.process = subprocess.Popen(
                [sys.executable, "-m", "http.server", "--bind", "127.0.0.1", str(self.port),
                 "--directory", folder], stdin=subprocess.DEVNULL, stdout=log, stderr=log)
            if self._wait_ready():
                return
            stop_process(self.process)
        raise AssertionError(f"python3 -m http.server did not start for {folder}")

    def _wait_ready(self):
        deadline = time.monotonic() + SERVER_START_SECONDS
        while time.monotonic() < deadline:
            if self.process.poll() is not None:
                return False
            try:
                with socket.create_connection(("127.0.0.1", self.port), timeout=1):
                    return True
            except OSError:
                time.sleep(0.05)
        return False

    def url(self, page):
        return f"http://127.0.0.1:{self.port}/{page}"

    def content_type(self, page):
        connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=10)
        try:
            connection.request("HEAD", "/" + page)
            return connection.getresponse().getheader("Content-Type", "")
        finally:
            connection.close()

    def close(self):
        stop_process(self.process)


# ---------------------------------------------------------------------------------------------
# The checks. Each gets the site, the expected texts (read from its project), the page's file
# name and what the page showed, and returns a list of faults, each saying what was expected
# and what was seen.

def check_script_errors(site, expected, page, seen):
    return [f"script error: {error}" for error in seen["errors"]]


def check_charset(site, expected, page, seen):
    if seen["charset"] != site.charset:
        return [f"decoded as {seen['charset']!r}, expected {site.charset!r} "
                "(the charset the page's meta tag names)"]
    return []


def check_document_title(site, expected, page, seen):
    want = collapse(expected["caption"])
    if seen["title"] != want:
        return [f"document.title is {seen['title']!r}, expected {want!r}"]
    return []


def check_visible_titles(site, expected, page, seen):
    faults = []
    topic = collapse(seen["topic"])
    if topic != collapse(expected["topic"]):
        faults.append(f"topic shows {topic!r}, expected {collapse(expected['topic'])!r}")
    menu = [text for href, text in seen["menu"] if href == TITLE_LISTING]
    if menu != [expected["menu"]]:
        faults.append(f"menu entry of {TITLE_LISTING} shows {menu!r}, "
                      f"expected [{expected['menu']!r}]")
    if page == TITLE_LISTING:
        for index, title in enumerate(expected["titles"]):
            link = [text for href, text in seen["smallTitles"] if href == TITLE_PAGE.format(index)]
            if link != [title]:
                faults.append(f"listing entry {TITLE_PAGE.format(index)} shows {link!r}, "
                              f"expected [{title!r}]")
    for index, title in enumerate(expected["titles"]):
        if page == TITLE_PAGE.format(index) and seen["pageTitle"] != title:
            faults.append(f"page title shows {seen['pageTitle']!r}, expected {title!r}")
    return faults


WELCOME_PATTERN = re.compile(r"^(.*) \[(-?\d+)-(\d+)-(\d+), (.*)\]$", re.S)


def welcome_parts(seen):
    """The greeting, the date and the day name of the welcome bar, or None."""
    match = WELCOME_PATTERN.match(collapse(seen["welcome"]))
    if match is None:
        return None
    return (match.group(1), [int(match.group(n)) for n in (2, 3, 4)], match.group(5))


def welcome_shown(seen, limit=160):
    text = collapse(seen["welcome"])
    return repr(text if len(text) <= limit else text[:limit] + "...")


def dates(seen):
    return [date for date in (seen["loadDate"], seen["date"]) if date]


def check_year(site, expected, page, seen):
    if seen["welcome"] is None:
        return ["the page has no date script in its welcome bar"]
    parts = welcome_parts(seen)
    if parts is None:
        return [f"the welcome bar shows {welcome_shown(seen)}, expected a greeting "
                f"with [year-month-day, weekday] (the date script wrote nothing or broke)"]
    years = sorted({date[0] for date in dates(seen)})
    year, month, day = parts[1]
    if year not in years or not 1000 <= year <= 9999:
        return [f"the welcome bar shows the year {year}, expected the four-digit year "
                f"{years[-1]} (in {welcome_shown(seen)})"]
    if [month, day] not in [date[1:3] for date in dates(seen)]:
        return [f"the welcome bar shows the date {year}-{month}-{day}, expected "
                f"{seen['date'][0]}-{seen['date'][1]}-{seen['date'][2]}"]
    return []


def check_welcome_words(site, expected, page, seen):
    if seen["welcome"] is None:
        return ["the page has no date script in its welcome bar"]
    language = expected["language"]
    parts = welcome_parts(seen)
    greeting = shown(language["WELCOME"] + " " + language["TODAY_IS"])
    if parts is None:
        return [f"the welcome bar shows {welcome_shown(seen)}, expected "
                f"{greeting + ' [year-month-day, weekday]'!r}"]
    faults = []
    if parts[0] != greeting:
        faults.append(f"the greeting shows {parts[0]!r}, expected {greeting!r}")
    days = [shown(language[DAY_KEYS[date[3]]]) for date in dates(seen)]
    if parts[2] not in days:
        faults.append(f"the weekday shows {parts[2]!r}, expected {days[-1]!r}")
    return faults


def check_font(site, expected, page, seen):
    if seen["font"] is None:
        return ["the page has no element of class Text"]
    if seen["font"] != site.expected_font:
        return [f"the computed font-family of .Text is {seen['font']!r}, expected "
                f"{site.expected_font!r} (from {site.family!r})"]
    return []


def check_link_scripts(site, expected, page, seen):
    faults = []
    want = {"homepage": [expected["domain"]], "favorite": [expected["domain"],
                                                           expected["caption"]]}
    kinds = sorted(kind for kind, _code, _error, _got in seen["links"])
    if kinds != ["favorite", "homepage"]:
        faults.append(f"the welcome bar's script links are {kinds!r}, expected "
                      "['favorite', 'homepage']")
    for kind, code, error, got in seen["links"]:
        if error is not None:
            faults.append(f"the {kind} link's code does not run: {error} in {code!r}")
        elif got != want[kind]:
            faults.append(f"the {kind} link's code passes {got!r}, expected {want[kind]!r}")
    return faults


def check_summaries(site, expected, page, seen):
    if page != "Index.htm":
        return []
    faults = []
    entries = seen["summaries"]["entries"]
    for index, (title, long) in enumerate(expected["summaries"]):
        href = SUMMARY_PAGE.format(index)
        entry = [(text, summary) for link, text, summary in entries if link == href]
        if len(entry) != 1 or not entry[0][0].startswith(title):
            faults.append(f"the listing's entry {href} shows {[text for text, _ in entry]!r}, "
                          f"expected one link starting with {title!r}")
            continue
        summary = collapse(entry[0][1])
        if long and not summary.endswith("......"):
            faults.append(f"the summary of {href} does not end with '......' (its text is "
                          f"longer than 200 characters); it shows {summary[-80:]!r}")
    for broken in seen["summaries"]["broken"]:
        faults.append(f"markup of the listing swallowed into an attribute: {broken!r}")
    return faults


CHECKS = [
    ("script errors", check_script_errors),
    ("charset", check_charset),
    ("document.title", check_document_title),
    ("visible titles", check_visible_titles),
    ("year", check_year),
    ("welcome words", check_welcome_words),
    ("font", check_font),
    ("link scripts", check_link_scripts),
    ("summaries", check_summaries),
]

# Site description -> check name -> "ok" or the number of pages with a fault; printed at the end.
RESULTS = {}


# ---------------------------------------------------------------------------------------------
# The test.

class SitesInChromium(unittest.TestCase):
    """One test per site; each check is a subtest over all the site's pages."""

    maxDiff = None
    browser = None
    scratch = None

    @classmethod
    def setUpClass(cls):
        cls.cli = os.environ.get("CORVANE_CLI", "")
        source = os.environ.get("CORVANE_SOURCE_DIR", "")
        # The sample as it was before the Modern design: these checks are of the Classic pages.
        cls.sample = os.path.join(source, *CLASSIC_SAMPLE)
        if not os.access(cls.cli, os.X_OK):
            raise AssertionError(f"CORVANE_CLI does not name the corvane-cli program: {cls.cli!r}")
        if not os.path.isfile(os.path.join(cls.sample, "Default.Pro")):
            raise AssertionError(f"CORVANE_SOURCE_DIR holds no Classic sample: {source!r}")
        cls.scratch = tempfile.mkdtemp(prefix="corvane-browser-")
        started = time.monotonic()
        try:
            cls.browser = Browser(cls.scratch)
        except Exception as error:
            # tearDownClass does not run when this fails: clean up here.
            log = os.path.join(cls.scratch, "chromedriver.log")
            tail = ""
            if os.path.exists(log):
                with open(log, encoding="utf-8", errors="replace") as text:
                    tail = "".join(text.readlines()[-20:])
            shutil.rmtree(cls.scratch, ignore_errors=True)
            raise AssertionError(f"Chromium did not start under chromedriver: {error}\n"
                                 f"chromedriver's log ends:\n{tail}") from error
        print(f"Chromium {cls.browser.version} started in {time.monotonic() - started:.1f} s",
              file=sys.stderr)

    @classmethod
    def tearDownClass(cls):
        if cls.browser is not None:
            cls.browser.close()
        if cls.scratch is not None:
            shutil.rmtree(cls.scratch, ignore_errors=True)

    def build(self, site):
        project = os.path.join(self.scratch, "project-" + site.slug)
        into = os.path.join(self.scratch, "site-" + site.slug)
        make_project(site, self.sample, project)
        os.makedirs(into)
        run = subprocess.run([self.cli, "build", project, "--into", into],
                             stdin=subprocess.DEVNULL, capture_output=True, text=True,
                             timeout=BUILD_SECONDS)
        if run.returncode != 0:
            self.fail(f"{site}: corvane-cli build failed ({run.returncode}): "
                      f"{run.stdout}{run.stderr}")
        return project, into

    def check_site(self, site):
        if TIMED_OUT:
            self.fail(f"{site}: not checked, the browser test ran out of time")
        project, into = self.build(site)
        expected = read_project(project)
        pages = sorted(name for name in os.listdir(into) if name.endswith(".htm"))
        self.assertIn("Index.htm", pages, f"{site}: the build wrote no homepage")
        if not site.every_page:
            pages = [page for page in pages
                     if "_" not in page or page.startswith(TITLE_PAGE.split("{}")[0])]
        with open(os.path.join(self.scratch, "server-" + site.slug + ".log"), "wb") as log:
            server = Server(into, log)
            try:
                content_type = server.content_type("Index.htm")
                self.assertNotIn("charset", content_type.lower(),
                                 f"{site}: the server sends a charset: {content_type!r}")
                seen = {page: self.browser.observe(server.url(page)) for page in pages}
            finally:
                server.close()
        results = RESULTS.setdefault(str(site), {})
        for name, check in CHECKS:
            faults = {page: check(site, expected, page, seen[page]) for page in pages}
            faults = {page: found for page, found in faults.items() if found}
            results[name] = len(faults) if faults else "ok"
            with self.subTest(check=name):
                if faults:
                    self.fail(f"site {site}, check {name}: {len(faults)} of {len(pages)} pages "
                              "wrong:\n" + describe(faults))

    def test_99_loopback_only(self):
        """Chromium connected to nothing but 127.0.0.1"""
        self.browser.close()
        outside = self.browser.outside_connections()
        self.assertEqual(outside, [], "Chromium connected to addresses off the loopback")


def describe(faults):
    """The faults of a check, each once, with the pages that show it."""
    pages_of = {}
    for page, found in faults.items():
        for fault in found:
            pages_of.setdefault(fault, []).append(page)
    lines = []
    for fault, pages in list(pages_of.items())[:6]:
        where = ", ".join(pages[:3]) + (f" and {len(pages) - 3} more" if len(pages) > 3 else "")
        lines.append(f"  {where}: {fault}")
    if len(pages_of) > 6:
        lines.append(f"  ... and {len(pages_of) - 6} more faults")
    return "\n".join(lines)


def add_site_tests():
    for number, site in enumerate(SITES, 1):
        def test(self, site=site):
            self.check_site(site)
        test.__doc__ = f"site {site}"
        setattr(SitesInChromium, f"test_{number:02d}_{site.slug}", test)


add_site_tests()


def print_results():
    if not RESULTS:
        return
    names = [name for name, _check in CHECKS]
    width = max(len(site) for site in RESULTS) + 2
    print("\nResults (ok, or the number of pages with a fault):", file=sys.stderr)
    print("site".ljust(width) + " | ".join(names), file=sys.stderr)
    for site, results in RESULTS.items():
        cells = [str(results.get(name, "-")).ljust(len(name)) for name in names]
        print(site.ljust(width) + " | ".join(cells), file=sys.stderr)


TIMED_OUT = []


def on_watchdog(_signum, _frame):
    TIMED_OUT.append(True)
    raise TimeoutError(f"the browser test ran longer than {WATCHDOG_SECONDS} s")


def main():
    reason = browser_missing()
    if reason is not None:
        if os.environ.get("CORVANE_REQUIRE_BROWSER") == "1":
            print(f"FAILED: the browser test must run here (CORVANE_REQUIRE_BROWSER=1), but "
                  f"Chromium is {reason}. Install it with: scripts/install-deps.sh browser",
                  file=sys.stderr)
            return 1
        print(f"SKIPPED: the browser test needs Chromium, chromedriver and python3-selenium; "
              f"{reason}. Install them with: scripts/install-deps.sh browser", file=sys.stderr)
        return SKIP_CODE
    # Nothing of this test may go through a proxy: every address it uses is 127.0.0.1.
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
        print_results()
        print(f"The browser test took {time.monotonic() - started:.0f} s "
              f"({datetime.date.today()}).", file=sys.stderr)
    return 0 if program.result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
