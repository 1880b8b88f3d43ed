// Pictures beside the pages with TDOptions.PICTURE_SIZE: JPEGs, PNGs and WebPs larger than the
// limit are written scaled down (JPEGs upright) in their own format, the tags give the size
// written, the originals stay as they are, GIFs and small pictures are copied byte for byte,
// and the web-sized copies are cached by content and size. A WebP on a Classic site is
// written as PNG under a name of its own.

#include "GeneratorFixture.h"
#include "PictureSupport.h"
#include "generator/Driver.h"
#include "platform/PictureDecoder.h"
#include "platform/PictureScaler.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

class PicturesTest : public ::testing::Test, public TGeneratorFixture {
  protected:
    PicturesTest() {
        // A photo as it comes from a phone: 4000 x 3000, and one taken upright, stored lying
        // with an EXIF orientation that turns it a quarter clockwise.
        Photo = EncodeJpeg(MarkedPicture(4000, 3000), 90, "Photo.jpg");
        Upright = WithOrientation(Photo, 6);
        Small = EncodeJpeg(MarkedPicture(800, 600), 90, "Small.jpg");
        WriteFileBytes(Project->ImagesPath() + "Photo.jpg", Photo);
        WriteFileBytes(Project->ImagesPath() + "Upright.jpg", Upright);
        WriteFileBytes(Project->ImagesPath() + "Small.jpg", Small);
        WriteFileBytes(Project->ImagesPath() + "Logo.gif", Gif);
        Project->TOPIC.LOGO = "Logo.gif";
        Project->TOPIC.LOGO_WIDTH = 1;
        Project->TOPIC.LOGO_HEIGHT = 1;
        Project->OPTIONS.PICTURE_SIZE = 1600;
        const int index = AddColumn(4, "Title list and contents");
        TDColumn column(Project->ColumnFile(index), Document);
        const struct {
            const char* Name;
            int Width, Height;
        } pictures[] = {{"Photo.jpg", 4000, 3000},
                        {"Upright.jpg", 4000, 3000},
                        {"Small.jpg", 800, 600},
                        {"Photo.jpg", 400, 300}}; // a size of the user's own
        for (int j = 0; j < 4; ++j) {
            TDPage& page = column.Page(j);
            page.PICTURE = pictures[j].Name;
            page.PICTURE_WIDTH = pictures[j].Width;
            page.PICTURE_HEIGHT = pictures[j].Height;
        }
        column.Save();
        Project->Save();
    }

    std::string Html() const { return Project->Folder + "/HTML"; }
    std::string CacheFolder() const { return Project->Folder + "/Temp/.Pictures"; }
    std::vector<std::string> CachedFiles() const {
        std::vector<std::string> names;
        if (std::filesystem::is_directory(CacheFolder()))
            for (const auto& entry : std::filesystem::directory_iterator(CacheFolder()))
                names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    TPictureSize SizeOf(const std::string& name) const {
        return DecodePictureSize(ReadFileBytes(Html() + "/" + name), name);
    }

    static constexpr char GifBytes[] = "GIF89a\x01\x00\x01\x00\x00\x00\x00;";
    const std::string Gif{GifBytes, sizeof GifBytes - 1};
    std::string Photo, Upright, Small;
};

TEST_F(PicturesTest, LargeJpegsAreWrittenWebSizedWithTheirTags) {
    Build(*Project, "HTML");
    // 4000 x 3000 at 1600 x 1200; the upright one, turned, at 1200 x 1600.
    EXPECT_EQ(SizeOf("Photo.jpg").Width, 1600);
    EXPECT_EQ(SizeOf("Photo.jpg").Height, 1200);
    EXPECT_EQ(SizeOf("Upright.jpg").Width, 1200);
    EXPECT_EQ(SizeOf("Upright.jpg").Height, 1600);
    const TPicture upright = DecodePicture(ReadFileBytes(Html() + "/Upright.jpg"), "Upright.jpg");
    EXPECT_EQ(upright.PixelAt(1100, 100).R > 170, true) << "the red quarter is at the top right";
    EXPECT_EQ(ReadFileBytes(Html() + "/Upright.jpg").find("Exif"), std::string::npos);
    // The originals are untouched; the small JPEG and the GIF are copied as they are.
    EXPECT_EQ(ReadFileBytes(Project->ImagesPath() + "Photo.jpg"), Photo);
    EXPECT_EQ(ReadFileBytes(Project->ImagesPath() + "Upright.jpg"), Upright);
    EXPECT_EQ(ReadFileBytes(Html() + "/Small.jpg"), Small);
    EXPECT_EQ(ReadFileBytes(Html() + "/Logo.gif"), Gif);

    const std::string listing = ReadFileBytes(Html() + "/Default.htm");
    for (const char* tag :
         {"<img src=\"Photo.jpg\" align=\"left\" border=\"1\" vspace=\"10\" hspace=\"10\" "
          "width=\"1600\" height=\"1200\">",
          "<img src=\"Upright.jpg\" align=\"left\" border=\"1\" vspace=\"10\" hspace=\"10\" "
          "width=\"1200\" height=\"1600\">",
          "<img src=\"Small.jpg\" align=\"left\" border=\"1\" vspace=\"10\" hspace=\"10\" "
          "width=\"800\" height=\"600\">",
          "<img src=\"Photo.jpg\" align=\"left\" border=\"1\" vspace=\"10\" hspace=\"10\" "
          "width=\"160\" height=\"120\">",
          "<img src=\"Logo.gif\" width=\"1\" height=\"1\">"})
        EXPECT_NE(listing.find(tag), std::string::npos) << tag;
}

TEST_F(PicturesTest, ThePicturesOwnPagesAndTheGridFollowTheWrittenSize) {
    Project->MenuItem(0).STYLE = "Pictures List (2 columns)";
    Project->Save();
    Build(*Project, "HTML");
    EXPECT_NE(ReadFileBytes(Html() + "/Page0_0.htm")
                  .find("<img src=\"Photo.jpg\" align=\"center\" border=\"1\" vspace=\"10\" "
                        "hspace=\"10\" width=\"1600\" height=\"1200\">"),
              std::string::npos);
    EXPECT_NE(ReadFileBytes(Html() + "/Page0_1.htm").find("width=\"1200\" height=\"1600\">"),
              std::string::npos);
    // The grid fits the written size into 240 pixels.
    const std::string grid = ReadFileBytes(Html() + "/Default.htm");
    EXPECT_NE(grid.find("<img src=\"Upright.jpg\" align=\"center\" border=\"1\" vspace=\"10\" "
                        "hspace=\"10\" width=\"240\" height=\"320\">"),
              std::string::npos);
}

TEST_F(PicturesTest, WithoutASizeEveryPictureIsCopiedAsItIs) {
    Project->OPTIONS.PICTURE_SIZE = 0;
    Build(*Project, "HTML");
    EXPECT_EQ(ReadFileBytes(Html() + "/Photo.jpg"), Photo);
    EXPECT_EQ(ReadFileBytes(Html() + "/Upright.jpg"), Upright);
    EXPECT_NE(ReadFileBytes(Html() + "/Default.htm").find("width=\"4000\" height=\"3000\">"),
              std::string::npos);
    EXPECT_EQ(CachedFiles(), std::vector<std::string>{});
}

TEST_F(PicturesTest, WebSizedCopiesAreMadeOnceAndKeptBySourceAndSize) {
    Build(*Project, "HTML");
    const std::vector<std::string> cached = CachedFiles();
    ASSERT_EQ(cached.size(), 2u); // Photo.jpg and Upright.jpg, at 1600
    for (const std::string& name : cached)
        EXPECT_NE(name.find("-1600.jpg"), std::string::npos) << name;

    // A second build takes the copies from the cache: a copy put there in place of one
    // reaches the site as it is (it is only read, not made again).
    const std::string marked = EncodeJpeg(MarkedPicture(1600, 1200), 40, "marked.jpg");
    for (const std::string& name : cached)
        if (ReadFileBytes(CacheFolder() + "/" + name) == ReadFileBytes(Html() + "/Photo.jpg"))
            WriteFileBytes(CacheFolder() + "/" + name, marked);
    Build(*Project, "Temp");
    EXPECT_EQ(ReadFileBytes(Project->Folder + "/Temp/Photo.jpg"), marked);

    // Another size or another picture makes a copy of its own; a damaged copy is made again.
    Project->OPTIONS.PICTURE_SIZE = 1024;
    Build(*Project, "HTML");
    EXPECT_EQ(SizeOf("Photo.jpg").Width, 1024);
    EXPECT_EQ(SizeOf("Photo.jpg").Height, 768);
    EXPECT_EQ(CachedFiles().size(), 4u);
    for (const std::string& name : CachedFiles())
        WriteFileBytes(CacheFolder() + "/" + name, "damaged");
    Build(*Project, "Temp");
    for (const char* name : {"Photo.jpg", "Upright.jpg"}) {
        const TPictureSize size =
            DecodePictureSize(ReadFileBytes(Project->Folder + "/Temp/" + name), name);
        EXPECT_EQ(std::max(size.Width, size.Height), 1024) << name;
    }
    // A picture changed in the Images folder is made again, the old copy not taken.
    WriteFileBytes(Project->ImagesPath() + "Photo.jpg",
                   EncodeJpeg(MarkedPicture(3000, 3000), 90, "Photo.jpg"));
    Build(*Project, "HTML");
    EXPECT_EQ(SizeOf("Photo.jpg").Width, 1024);
    EXPECT_EQ(SizeOf("Photo.jpg").Height, 1024);
    // A site file changed by hand is written again.
    WriteFileBytes(Html() + "/Upright.jpg", "changed by hand");
    Build(*Project, "HTML");
    EXPECT_EQ(SizeOf("Upright.jpg").Height, 1024);
    // Nothing of the cache is in the site.
    EXPECT_FALSE(std::filesystem::exists(Html() + "/.Pictures"));
}

TEST_F(PicturesTest, APictureThatCannotBeDecodedIsCopiedAsItIs) {
    const std::string cut = Photo.substr(0, Photo.size() / 2);
    WriteFileBytes(Project->ImagesPath() + "Photo.jpg", cut);
    TBuildStats stats;
    BuildInto(*Project, Html(), &stats);
    EXPECT_EQ(ReadFileBytes(Html() + "/Photo.jpg"), cut);
    EXPECT_EQ(stats.CopyFailures, 0);
    EXPECT_NE(ReadFileBytes(Html() + "/Default.htm").find("width=\"4000\" height=\"3000\">"),
              std::string::npos);
}

// Four pages with PNG and WebP pictures of 400 x 300 (one 100 x 75), at a size of 200.
class PngAndWebpPicturesTest : public PicturesTest {
  protected:
    PngAndWebpPicturesTest() {
        TPicture clear = MarkedPicture(400, 300);
        clear.Pixels[3] = 0; // the top-left pixel transparent
        BigPng = EncodePng(clear, "Big.png");
        BigWebp = EncodeWebp(clear, 80, false, "Big.webp");
        SmallWebp = EncodeWebp(MarkedPicture(100, 75), 80, true, "Small.webp");
        WriteFileBytes(Project->ImagesPath() + "Big.png", BigPng);
        WriteFileBytes(Project->ImagesPath() + "Big.webp", BigWebp);
        WriteFileBytes(Project->ImagesPath() + "Small.webp", SmallWebp);
        WriteFileBytes(Project->ImagesPath() + "Logo.webp", SmallWebp);
        Project->TOPIC.LOGO = "Logo.webp";
        Project->OPTIONS.PICTURE_SIZE = 200;
        TDColumn column(Project->ColumnFile(0), Document);
        const struct {
            const char* Name;
            int Width, Height;
        } pictures[] = {{"Big.png", 400, 300},
                        {"Big.webp", 400, 300},
                        {"Small.webp", 100, 75},
                        {"Upright.jpg", 3000, 4000}}; // measured upright, as the dialogs do
        for (int j = 0; j < 4; ++j) {
            TDPage& page = column.Page(j);
            page.PICTURE = pictures[j].Name;
            page.PICTURE_WIDTH = pictures[j].Width;
            page.PICTURE_HEIGHT = pictures[j].Height;
        }
        column.Save();
        Project->Save();
    }
    TPictureSize FormatOf(const std::string& name) const {
        return DecodePictureSize(ReadFileBytes(Html() + "/" + name), "copy.jpg");
    }
    std::string BigPng, BigWebp, SmallWebp;
};

TEST_F(PngAndWebpPicturesTest, AClassicSiteGetsPngsForItsWebps) {
    TBuildStats stats;
    BuildInto(*Project, Html(), &stats);
    EXPECT_EQ(stats.CopyFailures, 0) << stats.FirstCopyFailure;
    const struct {
        const char* File;
        TPictureFormat Format;
        int Width, Height;
    } written[] = {{"Big.png", TPictureFormat::Png, 200, 150},
                   {"Big-webp.png", TPictureFormat::Png, 200, 150},
                   {"Small-webp.png", TPictureFormat::Png, 100, 75},
                   {"Logo-webp.png", TPictureFormat::Png, 100, 75},
                   {"Upright.jpg", TPictureFormat::Jpeg, 150, 200}};
    for (const auto& w : written) {
        SCOPED_TRACE(w.File);
        const TPictureSize size = FormatOf(w.File);
        EXPECT_EQ(size.Format, w.Format);
        EXPECT_EQ(size.Width, w.Width);
        EXPECT_EQ(size.Height, w.Height);
    }
    EXPECT_EQ(DecodePicture(ReadFileBytes(Html() + "/Big.png"), "Big.png").PixelAt(0, 0).A < 255,
              true)
        << "the transparency is kept";
    for (const char* name : {"Big.webp", "Small.webp", "Logo.webp"})
        EXPECT_FALSE(std::filesystem::exists(Html() + "/" + name)) << name;
    const std::string listing = ReadFileBytes(Html() + "/Default.htm");
    for (const char* tag :
         {"<img src=\"Big.png\" align=\"left\" border=\"1\" vspace=\"10\" hspace=\"10\" "
          "width=\"200\" height=\"150\">",
          "<img src=\"Big-webp.png\" align=\"left\" border=\"1\" vspace=\"10\" hspace=\"10\" "
          "width=\"200\" height=\"150\">",
          "<img src=\"Small-webp.png\" align=\"left\" border=\"1\" vspace=\"10\" hspace=\"10\" "
          "width=\"100\" height=\"75\">",
          "<img src=\"Upright.jpg\" align=\"left\" border=\"1\" vspace=\"10\" hspace=\"10\" "
          "width=\"150\" height=\"200\">",
          "<img src=\"Logo-webp.png\" width=\"1\" height=\"1\">"})
        EXPECT_NE(listing.find(tag), std::string::npos) << tag;

    // Without a size the WebPs are still turned into PNGs, at their own size; the PNG is
    // copied as it is.
    Project->OPTIONS.PICTURE_SIZE = 0;
    BuildInto(*Project, Html(), &stats);
    EXPECT_EQ(ReadFileBytes(Html() + "/Big.png"), BigPng);
    EXPECT_EQ(FormatOf("Big-webp.png").Format, TPictureFormat::Png);
    EXPECT_EQ(FormatOf("Big-webp.png").Width, 400);
}

TEST_F(PngAndWebpPicturesTest, AModernSiteKeepsItsWebps) {
    Project->OPTIONS.DESIGN = "Modern";
    Build(*Project, "HTML");
    EXPECT_EQ(FormatOf("Big.webp").Format, TPictureFormat::Webp);
    EXPECT_EQ(FormatOf("Big.webp").Width, 200);
    EXPECT_FALSE(IsLosslessWebp(ReadFileBytes(Html() + "/Big.webp")));
    EXPECT_EQ(ReadFileBytes(Html() + "/Small.webp"), SmallWebp);
    EXPECT_FALSE(std::filesystem::exists(Html() + "/Big-webp.png"));
    EXPECT_EQ(PictureOutputName(*Project, "Big.webp"), "Big.webp");
}

TEST_F(PngAndWebpPicturesTest, AWebpThatCannotBeConvertedIsACopyThatFailed) {
    WriteFileBytes(Project->ImagesPath() + "Big.webp", BigWebp.substr(0, BigWebp.size() / 2));
    TBuildStats stats;
    BuildInto(*Project, Html(), &stats);
    EXPECT_EQ(stats.CopyFailures, 1);
    EXPECT_EQ(stats.FirstCopyFailure, "Big.webp: The WebP picture is truncated");
    EXPECT_FALSE(std::filesystem::exists(Html() + "/Big-webp.png"));
    // Mended, the next build writes it.
    WriteFileBytes(Project->ImagesPath() + "Big.webp", SmallWebp);
    BuildInto(*Project, Html(), &stats);
    EXPECT_EQ(stats.CopyFailures, 0);
    EXPECT_EQ(FormatOf("Big-webp.png").Width, 100);
}

} // namespace
