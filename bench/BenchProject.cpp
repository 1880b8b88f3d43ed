#include "bench/BenchProject.h"

#include "model/CPage.h"
#include "model/CProject.h"
#include "platform/FileSystem.h"
#include "platform/XmlDocument.h"

#include <cstdint>
#include <string>

namespace {

// A small deterministic generator (xorshift), so every run writes the same project.
class TRandom {
  public:
    explicit TRandom(std::uint32_t seed) : FState(seed ? seed : 1u) {}
    std::uint32_t Next() {
        FState ^= FState << 13;
        FState ^= FState >> 17;
        FState ^= FState << 5;
        return FState;
    }
    int Below(int n) { return static_cast<int>(Next() % static_cast<std::uint32_t>(n)); }

  private:
    std::uint32_t FState;
};

// The last words, German ones and signs outside ISO-8859-1, are for the projects whose pages
// are written in another character set.
const char* const Words[] = {
    "bread",    "flour",    "morning", "oven",    "village", "market",  "summer", "walk",
    "river",    "mountain", "path",    "friends", "meeting", "recipe",  "butter", "honey",
    "garden",   "season",   "autumn",  "evening", "news",    "members", "trail",  "bakery",
    "the",      "a",        "and",     "with",    "of",      "in",      "our",    "we",
    "fresh",    "warm",     "early",   "long",    "quiet",   "open",    "new",    "small",
    "brötchen", "käse",     "straße",  "grüße",   "süß",     "–",       "€",      "„frisch“",
};

std::string Sentence(TRandom& random) {
    std::string s;
    int words = 6 + random.Below(12);
    for (int i = 0; i < words; ++i) {
        std::string w = Words[random.Below(static_cast<int>(sizeof Words / sizeof *Words))];
        if (i == 0 && w[0] >= 'a' && w[0] <= 'z')
            w[0] = static_cast<char>(w[0] - 'a' + 'A');
        s += (i ? " " : "") + w;
    }
    return s + ".";
}

std::string Text(TRandom& random) {
    std::string text;
    const int length = 300 + random.Below(2700);
    while (static_cast<int>(text.size()) < length) {
        text += Sentence(random);
        text += random.Below(5) == 0 ? "#$D#$A" : " ";
    }
    return text;
}

const char* const Styles[] = {"Title list with summary",
                              "Only title list",
                              "Pictures List (3 columns)",
                              "Title list with summary",
                              "Contents",
                              "Pictures List (2 columns)",
                              "Title list and contents",
                              "Pictures List (4 columns)"};

} // namespace

void MakeBenchProject(const std::string& folder, int columns, int pages,
                      const std::string& encoding, bool markdown) {
    MakeFolder(folder);
    TXmlDocument document;
    TDProject project(folder, document);
    TRandom random(static_cast<std::uint32_t>(columns * 7919 + pages));

    for (int n = 1; n <= 4; ++n) {
        std::string picture(2000 + 500 * n, static_cast<char>('a' + n));
        WriteFileAtomically(project.ImagesPath() + "Photo" + std::to_string(n) + ".jpg", picture);
    }
    WriteFileAtomically(project.DownloadsPath() + "Leaflet.pdf", std::string(20000, 'p'));
    WriteFileAtomically(project.ImagesPath() + "Logo.gif", std::string(1500, 'g'));

    project.FONT.ENCODING = encoding;
    project.TOPIC.CAPTION = "The Village Bakery";
    project.TOPIC.TITLE = "The Village Bakery";
    project.TOPIC.LOGO = "Logo.gif";
    project.TOPIC.LOGO_WIDTH = 60;
    project.TOPIC.LOGO_HEIGHT = 40;
    project.FRAME.HAS_HOTSPOT = true;
    project.HOTSPOT.TITLE = "This week";
    project.HOTSPOT.TEXT = Text(random);
    if (markdown)
        project.HOTSPOT.FORMAT = "Markdown";
    project.FOOT.ADDRESS = "1 Mill Lane";
    project.FOOT.EMAIL = "shop@example.org";

    int columnNumber = 0;
    for (int i = 0; i < columns; ++i) {
        TDMenuItem* item = project.AddMenuItem(i % 10 == 9);
        if (!item)
            break;
        if (!item->IsColumn()) {
            item->TITLE = "Partner " + std::to_string(i);
            item->URL = "http://example.org/" + std::to_string(i);
            continue;
        }
        item->TITLE = "Column " + std::to_string(++columnNumber);
        item->STYLE = Styles[i % (sizeof Styles / sizeof *Styles)];
        item->SHOW_DATE = i % 2 == 0;
        item->SHOW_AUTHOR = i % 3 == 0;

        // The column document is written in one go, not page by page.
        document.New();
        TXmlElement root = document.CreateRoot("COLUMN");
        for (int j = 0; j < pages; ++j) {
            TDPage page;
            page.TITLE = Sentence(random);
            page.AUTHOR = j % 4 == 0 ? "Anna" : "Ben";
            page.DATE = "03/14/2026";
            page.TEXT = Text(random);
            if (markdown)
                page.FORMAT = "Markdown";
            if (j % 3 == 0) {
                page.PICTURE = "Photo" + std::to_string(1 + j % 4) + ".jpg";
                page.PICTURE_WIDTH = 200 + 100 * (j % 5);
                page.PICTURE_HEIGHT = 150 + 50 * (j % 3);
            }
            if (j % 25 == 0) {
                page.LINK = "Our leaflet";
                page.KIND = "Download";
                page.URL = "Leaflet.pdf";
            } else if (j % 10 == 0) {
                page.LINK = "More";
                page.URL = "http://example.org/more";
            }
            page.Save(AppendChild(root, "PAGE"));
        }
        document.SaveToFile(project.ColumnFile(project.MenuCount - 1));
        document.Clear();
    }
    project.Save();
}
