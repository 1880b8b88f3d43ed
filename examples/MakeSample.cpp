// Writes the sample project, a small hiking club's site, through the project model:
// Default.Pro and one column document per column. The pictures and downloads it names are
// made by make-sample-pictures.sh. Usage: MakeSample SAMPLE_FOLDER (an empty folder, or one
// holding only Images and Downloads).

#include "model/CColumn.h"
#include "model/CProject.h"
#include "model/Values.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/XmlDocument.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

// Line breaks inside page and hotspot texts, as the documents hold them.
const std::string BR = "#$D#$A";

struct TSamplePicture {
    const char* Name;
    int Width, Height;
};

// The sizes the pages show the pictures at, half the size they are drawn in (or less), so
// that the pages offer a copy twice as sharp for phone screens.
const TSamplePicture Signpost{"Signpost.gif", 240, 240};
const TSamplePicture Marker{"Marker.jpg", 320, 400};
const TSamplePicture RidgeMap{"RidgeMap.gif", 600, 400};
const TSamplePicture Ridge{"Ridge.jpg", 800, 600};
const TSamplePicture Lake{"Lake.jpg", 800, 600};
const TSamplePicture Forest{"Forest.jpg", 800, 600};
const TSamplePicture Waterfall{"Waterfall.jpg", 800, 600};
const TSamplePicture Meadow{"Meadow.jpg", 800, 600};

struct TSamplePage {
    std::string Title, Author, Date, Text;
    const TSamplePicture* Picture = nullptr;
    std::string Link = "", Kind = "Link", Url = "";
};

void SetLookAndLayout(TDProject& p) {
    p.FRAME.FRAME = "Menu on left foot on bottom";
    p.FRAME.HOMEPAGE = "Index";
    p.FRAME.NO_MARGIN = true;
    p.FRAME.HAS_WELCOME = true;
    p.FRAME.HAS_HOTSPOT = true;
    p.FRAME.BACKGROUND = "Paper.gif";

    p.SIZE.SCREEN = "750";
    p.SIZE.WELCOME_HEIGHT = 20;
    p.SIZE.TOPIC_HEIGHT = 90;
    p.SIZE.TEXT_HEIGHT = 420;
    p.SIZE.FOOT_HEIGHT = 60;
    p.SIZE.MENU_WIDTH = 140;
    p.SIZE.HOTSPOT_WIDTH = 150;

    // Forest green with a warm, paper-coloured hotspot.
    const TColor forest = RGBColor(0x2f, 0x5d, 0x3a);
    p.COLOR.BASE = forest;
    p.COLOR.BG = RGBColor(0xee, 0xf3, 0xe8);
    p.COLOR.TEXT_BG = clWhite;
    p.COLOR.TITLE = forest;
    p.COLOR.TEXT = RGBColor(0x33, 0x33, 0x33);
    p.COLOR.WELCOME_BG = RGBColor(0xdd, 0xe8, 0xd5);
    p.COLOR.WELCOME_TEXT = forest;
    p.COLOR.TOPIC_BG = forest;
    p.COLOR.TOPIC_TEXT = clWhite;
    p.COLOR.MENU_BG = RGBColor(0xc9, 0xdb, 0xbe);
    p.COLOR.MENU_TEXT = RGBColor(0x1f, 0x3d, 0x27);
    p.COLOR.HOTSPOT_BG = RGBColor(0xf6, 0xf1, 0xde);
    p.COLOR.HOTSPOT_TEXT = RGBColor(0x4a, 0x3b, 0x1a);
    p.COLOR.FOOT_BG = forest;
    p.COLOR.FOOT_TEXT = RGBColor(0xe8, 0xf0, 0xe0);

    p.FONT.FAMILY = "Verdana, Arial, Helvetica, sans-serif";
    p.FONT.TOPIC = 22;
    p.FONT.MENU = 10;
    p.FONT.TITLE = 13;
    p.FONT.TEXT = 9;
    p.FONT.BOLD_LINK = true;
    p.FONT.UNDERLINE_LINK = false;
    // The fixed words stay English, the language of every text of the site.
}

void SetContent(TDProject& p) {
    p.WELCOME.HAS_HOMEPAGE = true;
    p.WELCOME.HAS_FAVORITE = true;
    p.WELCOME.HAS_CONTACT = true;
    p.WELCOME.POSITION = "Date On Right";

    p.TOPIC.CAPTION = "Lindenberg Hiking Club";
    p.TOPIC.DOMAIN = "http://www.lindenberg-hiking.example/";
    p.TOPIC.DESCRIPTION = "Guided walks, tours and trail guides of the Lindenberg Hiking Club.";
    p.TOPIC.KEYWORDS = "hiking, walking, tours, trails, Lindenberg, club";
    p.TOPIC.TITLE = "Lindenberg Hiking Club";
    p.TOPIC.LOGO = "Logo.gif";
    // Drawn at four times this size: the pages offer a copy twice as sharp.
    p.TOPIC.LOGO_WIDTH = 64;
    p.TOPIC.LOGO_HEIGHT = 64;
    p.TOPIC.POSITION = "Left (Horizontal)";

    p.MENU.HAS_SEPARATOR = false;
    p.MENU.BUTTON = "Button.gif";
    p.MENU.BUTTON_WIDTH = 120;
    p.MENU.BUTTON_HEIGHT = 24;
    p.MENU.POSITION = "Center";
    p.MENU.SPACE = 6;

    p.HOTSPOT.TITLE = "Join us!";
    p.HOTSPOT.PICTURE = "Compass.gif";
    p.HOTSPOT.PICTURE_WIDTH = 100; // drawn at three times this size
    p.HOTSPOT.PICTURE_HEIGHT = 100;
    p.HOTSPOT.TEXT = "New walkers are always welcome." + BR +
                     "Come along to two tours as our guest, then decide." + BR +
                     "Membership is 30 a year, families pay 45.";
    p.HOTSPOT.LINK = "Membership form";
    p.HOTSPOT.KIND = "Download";
    p.HOTSPOT.URL = "Membership.txt";
    p.HOTSPOT.POSITION = "Picture On Top";

    p.FOOT.COPYRIGHT = "Copyright 2026 Lindenberg Hiking Club";
    p.FOOT.ADDRESS = "Old Mill, Brook Street 4, Lindenberg";
    p.FOOT.TEL = "555-0142";
    p.FOOT.FAX = "555-0143";
    p.FOOT.EMAIL = "info@lindenberg-hiking.example";
    p.FOOT.POSITION = "Center";

    p.PUBLISH.FTP_SERVER = "ftp.lindenberg-hiking.example";
    p.PUBLISH.FTP_PORT = 21;
    p.PUBLISH.USER_NAME = "webmaster";
    p.PUBLISH.FOLDER = "/www";
}

// Adds a column with its pages and returns its menu index.
int AddColumn(TDProject& p, TXmlDocument& document, const std::string& title,
              const std::string& style, bool showAuthor, bool showDate, bool border,
              const std::vector<TSamplePage>& pages) {
    TDMenuItem* item = p.AddMenuItem(false);
    if (!item)
        throw TError("the menu list is full");
    item->TITLE = title;
    item->STYLE = style;
    item->SHOW_AUTHOR = showAuthor;
    item->SHOW_DATE = showDate;
    item->HAS_BORDER = border;
    p.Save();
    const int index = p.MenuCount - 1;
    TDColumn column(p.ColumnFile(index), document);
    for (const TSamplePage& s : pages) {
        TDPage* page = column.AddPage();
        page->TITLE = s.Title;
        page->AUTHOR = s.Author;
        page->DATE = s.Date;
        page->TEXT = s.Text;
        if (s.Picture) {
            page->PICTURE = s.Picture->Name;
            page->PICTURE_WIDTH = s.Picture->Width;
            page->PICTURE_HEIGHT = s.Picture->Height;
        }
        page->LINK = s.Link;
        page->KIND = s.Kind;
        page->URL = s.Url;
    }
    column.Save();
    return index;
}

void AddLink(TDProject& p, const std::string& title, const std::string& url) {
    TDMenuItem* item = p.AddMenuItem(true);
    if (!item)
        throw TError("the menu list is full");
    item->TITLE = title;
    item->URL = url;
    p.Save();
}

void AddMenu(TDProject& p, TXmlDocument& document) {
    AddColumn(p, document, "News", "Title list with summary", true, true, true,
              {
                  {"Spring season opens on April 12", "Anna Berger", "03/14/2026",
                   "The snow has gone from the lower trails and our spring season starts with an "
                   "easy walk along the river to the old ferry house." +
                       BR +
                       "We meet at nine at the station square. The walk takes about three hours; "
                       "bring a snack and good shoes." +
                       BR + "Guests are welcome, as always.",
                   &Signpost},
                  {"New markers on the Ridge Path", "Thomas Keller", "02/27/2026",
                   "Over the winter six volunteers renewed every marker between the village and "
                   "Grey Peak." +
                       BR +
                       "Look for the red stripe between two white ones: it now shows the way even "
                       "in fog. Many thanks to everyone who carried paint up the hill!",
                   &Marker},
                  {"Annual meeting", "Anna Berger", "01/30/2026",
                   "Thirty-four members came to this year's meeting at the Old Mill." + BR +
                       "The club elected a new treasurer, agreed to keep the fees as they are and "
                       "planned twelve tours for the year. Write to us if you want the minutes.",
                   nullptr, "Write to the club", "E-mail", "info@lindenberg-hiking.example"},
              });
    AddColumn(p, document, "Tours", "Pictures List (3 columns)", false, true, false,
              {
                  {"Grey Peak ridge walk", "Thomas Keller", "05/09/2026",
                   "A full day on the ridge: 14 km and 900 metres of climbing, with a wide "
                   "view over the lake country from the summit." +
                       BR + "For fit walkers with a head for heights.",
                   &Ridge},
                  {"Evening at Still Lake", "Maria Huber", "06/20/2026",
                   "A gentle walk around the lake as the sun goes down, with a picnic at the "
                   "boat house." +
                       BR + "Suitable for children; about two hours.",
                   &Lake},
                  {"Through the Black Forest", "Maria Huber", "07/11/2026",
                   "Shady paths under tall firs, a good tour for a hot summer day." + BR +
                       "We stop at the forester's hut for lunch.",
                   &Forest},
                  {"Mill Gorge and the falls", "Thomas Keller", "08/15/2026",
                   "Wooden steps lead up the gorge past three waterfalls." + BR +
                       "The path can be slippery after rain: boots with a good grip, please.",
                   &Waterfall},
                  {"Flower meadows in June", "Anna Berger", "06/06/2026",
                   "Our botanist Klara shows us orchids, gentians and arnica on the high "
                   "meadows." +
                       BR + "Bring a hand lens if you have one.",
                   &Meadow},
              });
    AddColumn(p, document, "Trail guides", "Only title list", false, false, true,
              {
                  {"The Ridge Path from the village", "Thomas Keller", "04/02/2026",
                   "Start at the church and follow the red and white markers up through the "
                   "orchards." +
                       BR +
                       "After the second bench the path turns left onto the ridge; Grey Peak "
                       "is an hour further on. Return the same way or go down to Still Lake.",
                   &RidgeMap},
                  {"Autumn Loop (GPS track)", "Maria Huber", "09/19/2026",
                   "Our favourite autumn walk: 11 km through beech woods, up to the viewpoint "
                   "and back along the brook." +
                       BR + "Download the track for your GPS or phone below.",
                   nullptr, "Autumn Loop track (GPX)", "Download", "AutumnLoop.gpx"},
              });
    AddColumn(p, document, "Safety tips", "Title list and contents", false, false, true,
              {
                  {"Before you set out", "", "03/01/2026",
                   "Check the weather forecast and tell someone where you are going." + BR +
                       "Plan to be back well before dark.",
                   nullptr},
                  {"What to carry", "", "03/01/2026",
                   "Water, a snack, a rain jacket, a warm layer, a small first-aid kit and a "
                   "charged phone." +
                       BR + "A paper map still works when the battery does not.",
                   nullptr},
                  {"In an emergency", "", "03/01/2026",
                   "Stay calm, keep the group together and call 112." + BR +
                       "Tell them where you are: the name of the trail and the last marker "
                       "you passed.",
                   nullptr},
              });
    AddLink(p, "Weather", "http://weather.example.org/lindenberg");
    AddColumn(
        p, document, "About us", "Contents", false, false, true,
        {
            {"Who we are", "", "01/10/2026",
             "The Lindenberg Hiking Club was founded in 1952 by eleven friends from the "
             "village." +
                 BR +
                 "Today we are about 180 members of all ages. We walk together twice a "
                 "month and look after 60 km of marked trails.",
             nullptr},
            {"Club evenings", "", "01/10/2026",
             "On the first Friday of each month we meet at eight in the club room at "
             "the Old Mill to plan tours and share photographs." +
                 BR + "Visitors are welcome.",
             nullptr, "Ask us about the next evening", "E-mail", "info@lindenberg-hiking.example"},
        });
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("Usage: MakeSample SAMPLE_FOLDER\n", stderr);
        return 2;
    }
    const std::string folder = argv[1];
    try {
        if (FileExists(folder + "/Default.Pro"))
            throw TError(folder + " already holds a project; remove its Default.Pro and "
                                  "Column*.Clm first");
        TXmlDocument document;
        TDProject project(folder, document);
        SetLookAndLayout(project);
        SetContent(project);
        // The sample shows what a new project gets: the Modern pages, in English, with the
        // site options on (tests/generator/golden/sample-classic keeps its Classic form).
        project.OPTIONS = TDOptions::ForNewProject("en");
        project.FitLanguageToDesign();
        // It publishes as it always has: the active exchange, every file each time.
        project.PUBLISH.PASSIVE = false;
        project.PUBLISH.SYNC = false;
        project.Save();
        AddMenu(project, document);
    } catch (const TError& e) {
        std::fprintf(stderr, "MakeSample: %s\n", e.what());
        return 1;
    }
    return 0;
}
