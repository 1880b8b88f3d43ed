#include "platform/PictureDecoder.h"
#include "TestSupport.h"
#include "platform/Error.h"
#include "platform/ErrorOf.h"
#include "platform/FileSystem.h"

#include <gif_lib.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <optional>
#include <sys/stat.h>
#include <vector>

// The sample pictures under tests/platform/pictures were made by make-pictures.sh there;
// the sizes and colours expected below are the ones that script draws.

namespace {

std::string PicturesFolder() {
    return SourceFolder() + "/tests/platform/pictures/";
}

std::string Sample(const std::string& name) {
    return ReadFileBytes(PicturesFolder() + name);
}

constexpr TRgba Red{255, 0, 0, 255}, Green{0, 255, 0, 255}, Blue{0, 0, 255, 255},
    White{255, 255, 255, 255}, Black{0, 0, 0, 255}, Clear{0, 0, 0, 0};

// The colour a letter stands for in the expected pictures below.
TRgba Colour(char letter) {
    switch (letter) {
    case 'R':
        return Red;
    case 'G':
        return Green;
    case 'B':
        return Blue;
    case 'W':
        return White;
    case 'K':
        return Black;
    default:
        return Clear;
    }
}

// Appended piece by piece: a literal put in front of a temporary string ("(" + text) makes
// g++ 12 warn about an overlapping copy that cannot happen.
std::string Show(TRgba c) {
    std::string text = "(";
    for (int part : {c.R, c.G, c.B}) {
        text += std::to_string(part);
        text += ',';
    }
    text += std::to_string(c.A);
    text += ')';
    return text;
}

bool Near(TRgba a, TRgba b, int tolerance) {
    return std::abs(a.R - b.R) <= tolerance && std::abs(a.G - b.G) <= tolerance &&
           std::abs(a.B - b.B) <= tolerance && a.A == b.A;
}

// Offset of the first JPEG segment with the given marker, walking the segments.
std::size_t JpegSegment(const std::string& jpeg, unsigned char marker) {
    std::size_t at = 2;
    while (at + 4 <= jpeg.size()) {
        if (static_cast<unsigned char>(jpeg[at + 1]) == marker)
            return at;
        at += 2 + static_cast<unsigned char>(jpeg[at + 2]) * 256u +
              static_cast<unsigned char>(jpeg[at + 3]);
    }
    throw std::runtime_error("no such JPEG segment");
}

// The JPEG with the frame header's width and height replaced.
std::string WithJpegSize(std::string jpeg, unsigned width, unsigned height) {
    std::size_t sof = JpegSegment(jpeg, 0xC0);
    jpeg[sof + 5] = static_cast<char>(height >> 8);
    jpeg[sof + 6] = static_cast<char>(height & 0xFF);
    jpeg[sof + 7] = static_cast<char>(width >> 8);
    jpeg[sof + 8] = static_cast<char>(width & 0xFF);
    return jpeg;
}

std::string Le16(unsigned value) {
    return {static_cast<char>(value & 0xFF), static_cast<char>(value >> 8)};
}

// A GIF written byte by byte: a logical screen with a two-colour global table (or none), an
// optional frame of any size whose data is one pixel of index 0 with the given LZW code size,
// and the trailer.
std::string HandMadeGif(unsigned width, unsigned height, bool globalTable,
                        std::optional<std::pair<unsigned, unsigned>> frame,
                        char codeSize = '\x02') {
    std::string gif = "GIF89a";
    gif += Le16(width);
    gif += Le16(height);
    gif += globalTable ? std::string("\x80\0\0", 3) + std::string("\0\0\0\xFF\xFF\xFF", 6)
                       : std::string("\0\0\0", 3);
    if (frame) {
        gif += '\x2C';
        for (unsigned value : {0u, 0u, frame->first, frame->second})
            gif += Le16(value);
        gif += '\0';
        gif += codeSize + std::string("\x02\x44\x01\0", 4);
    }
    return gif + ";";
}

// A GIF written by giflib's encoder: one frame, optionally after a graphics control
// extension with a transparent index.
struct TGifFrame {
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
    bool Interlace = false;
    std::vector<GifColorType> LocalColours;
    int Transparent = NO_TRANSPARENT_COLOR;
    std::vector<GifPixelType> Indices; // Width * Height, rows from the top
};

int AppendToString(GifFileType* gif, const GifByteType* data, int length) {
    static_cast<std::string*>(gif->UserData)
        ->append(reinterpret_cast<const char*>(data), static_cast<std::size_t>(length));
    return length;
}

ColorMapObject* ColourMap(const std::vector<GifColorType>& colours) {
    return colours.empty() ? nullptr
                           : GifMakeMapObject(static_cast<int>(colours.size()), colours.data());
}

std::string EncodedGif(int width, int height, const std::vector<GifColorType>& global,
                       TGifFrame frame) {
    std::string out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, AppendToString, &error);
    if (!gif)
        throw std::runtime_error("EGifOpen failed");
    EGifSetGifVersion(gif, true);
    ColorMapObject* globalMap = ColourMap(global);
    ColorMapObject* localMap = ColourMap(frame.LocalColours);
    bool ok = EGifPutScreenDesc(gif, width, height, 8, 0, globalMap) == GIF_OK;
    if (ok && frame.Transparent != NO_TRANSPARENT_COLOR) {
        GraphicsControlBlock control{DISPOSAL_UNSPECIFIED, false, 0, frame.Transparent};
        GifByteType block[4];
        std::size_t length = EGifGCBToExtension(&control, block);
        ok = EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(length), block) ==
             GIF_OK;
    }
    ok = ok && EGifPutImageDesc(gif, frame.Left, frame.Top, frame.Width, frame.Height,
                                frame.Interlace, localMap) == GIF_OK;
    std::vector<int> rows;
    for (int pass = 0; pass < (frame.Interlace ? 4 : 1); ++pass) {
        int start = frame.Interlace ? std::vector<int>{0, 4, 2, 1}[pass] : 0;
        int step = frame.Interlace ? std::vector<int>{8, 8, 4, 2}[pass] : 1;
        for (int row = start; row < frame.Height; row += step)
            rows.push_back(row);
    }
    for (int row : rows)
        ok = ok && EGifPutLine(gif, &frame.Indices[std::size_t(row) * frame.Width], frame.Width) ==
                       GIF_OK;
    GifFreeMapObject(globalMap);
    GifFreeMapObject(localMap);
    ok = EGifCloseFile(gif, &error) == GIF_OK && ok;
    if (!ok)
        throw std::runtime_error("the test GIF could not be written");
    return out;
}

const GifColorType R{255, 0, 0}, G{0, 255, 0}, B{0, 0, 255}, W{255, 255, 255}, K{0, 0, 0};

TEST(PictureDecoder, SamplesHaveTheirNaturalSizesAndColours) {
    struct Point {
        int x, y;
        TRgba colour;
    };
    struct Case {
        const char* file;
        TPictureFormat format;
        int width, height;
        int tolerance; // per channel; JPEG is lossy
        std::vector<Point> points;
    } cases[] = {
        {"bands.jpg",
         TPictureFormat::Jpeg,
         48,
         32,
         12,
         {{8, 16, Red}, {24, 16, Green}, {40, 16, Blue}, {0, 0, Red}, {47, 31, Blue}}},
        {"bands-progressive.jpg",
         TPictureFormat::Jpeg,
         48,
         32,
         12,
         {{8, 16, Red}, {24, 16, Green}, {40, 16, Blue}, {0, 0, Red}, {47, 31, Blue}}},
        {"gray.jpg",
         TPictureFormat::Jpeg,
         48,
         24,
         6,
         {{8, 12, Black}, {24, 12, White}, {40, 12, {128, 128, 128, 255}}}},
        {"cmyk.jpg", TPictureFormat::Jpeg, 32, 16, 16, {{8, 8, Red}, {24, 8, Green}}},
        {"bands.gif",
         TPictureFormat::Gif,
         48,
         32,
         0,
         {{0, 0, Red}, {15, 31, Red}, {16, 0, Green}, {32, 0, Blue}, {47, 31, Blue}}},
        {"rows.gif",
         TPictureFormat::Gif,
         5,
         17,
         0,
         {{0, 0, Red}, {4, 1, Green}, {2, 7, White}, {4, 16, {0x40, 0, 0, 255}}}},
        {"transparent.gif",
         TPictureFormat::Gif,
         12,
         10,
         0,
         {{0, 0, Clear}, {3, 2, Green}, {8, 6, Green}, {9, 6, Clear}, {3, 7, Clear}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        std::string path = PicturesFolder() + c.file;
        TPicture picture = LoadPicture(path);
        EXPECT_EQ(picture.Format, c.format);
        EXPECT_EQ(picture.Width, c.width);
        EXPECT_EQ(picture.Height, c.height);
        EXPECT_EQ(picture.Pixels.size(), std::size_t(c.width) * c.height * 4);
        for (const Point& p : c.points)
            EXPECT_TRUE(Near(picture.PixelAt(p.x, p.y), p.colour, c.tolerance))
                << p.x << "," << p.y << " is " << Show(picture.PixelAt(p.x, p.y));
        if (c.format == TPictureFormat::Jpeg) {
            for (std::size_t i = 3; i < picture.Pixels.size(); i += 4)
                ASSERT_EQ(picture.Pixels[i], 255) << "JPEG pixels are opaque";
        }

        TPictureSize size = ReadPictureSize(path);
        EXPECT_EQ(size.Format, c.format);
        EXPECT_EQ(size.Width, c.width);
        EXPECT_EQ(size.Height, c.height);
        std::string bytes = Sample(c.file);
        EXPECT_EQ(DecodePicture(bytes, c.file).Pixels, picture.Pixels);
        TPictureSize fromBytes = DecodePictureSize(bytes, c.file);
        EXPECT_EQ(fromBytes.Width, c.width);
        EXPECT_EQ(fromBytes.Height, c.height);
    }
}

TEST(PictureDecoder, InterlacedGifRowsGoToTheirPlaces) {
    // 0xRRGGBB of each row, as make-pictures.sh draws them.
    const std::vector<unsigned> rowColours = {
        0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0xFF00FF, 0x00FFFF, 0x000000, 0xFFFFFF, 0x800000,
        0x008000, 0x000080, 0x808000, 0x800080, 0x008080, 0x808080, 0xC0C0C0, 0x400000};
    TPicture plain = LoadPicture(PicturesFolder() + "rows.gif");
    TPicture interlaced = LoadPicture(PicturesFolder() + "rows-interlaced.gif");
    ASSERT_EQ(interlaced.Height, static_cast<int>(rowColours.size()));
    for (int y = 0; y < interlaced.Height; ++y)
        for (int x = 0; x < interlaced.Width; ++x)
            EXPECT_EQ(interlaced.PixelAt(x, y),
                      (TRgba{static_cast<std::uint8_t>(rowColours[y] >> 16),
                             static_cast<std::uint8_t>(rowColours[y] >> 8 & 0xFF),
                             static_cast<std::uint8_t>(rowColours[y] & 0xFF), 255}))
                << x << "," << y << " is " << Show(interlaced.PixelAt(x, y));
    EXPECT_EQ(interlaced.Pixels, plain.Pixels);
}

TEST(PictureDecoder, GifFramesAreDrawnOntoTheLogicalScreen) {
    struct Case {
        const char* what;
        int width, height;
        std::vector<GifColorType> global;
        TGifFrame frame;
        std::vector<std::string> expected; // one letter per pixel, see Colour()
    } cases[] = {
        // clang-format off
        {"global colour table", 3, 2, {W, K},
         {0, 0, 3, 2, false, {}, -1, {0, 1, 0, 1, 0, 1}}, {"WKW", "KWK"}},
        {"local colour table wins over the global one", 3, 2, {W, K},
         {0, 0, 3, 2, false, {R, G, B, K}, -1, {0, 1, 2, 2, 1, 0}}, {"RGB", "BGR"}},
        {"local colour table alone", 2, 1, {},
         {0, 0, 2, 1, false, {B, G}, -1, {1, 0}}, {"GB"}},
        {"transparent index", 4, 1, {R, G, B, W},
         {0, 0, 4, 1, false, {}, 2, {0, 2, 1, 2}}, {"R.G."}},
        {"frame clipped at the screen's edges", 4, 3, {R, G, B, W},
         {2, 1, 4, 4, false, {}, -1, std::vector<GifPixelType>(16, 1)}, {"....", "..GG", "..GG"}},
        {"frame entirely off the screen", 2, 2, {R, G},
         {5, 5, 2, 2, false, {}, -1, {0, 0, 0, 0}}, {"..", ".."}},
        {"index past the colour table is black", 4, 1, {R, G},
         {0, 0, 4, 1, false, {}, -1, {0, 1, 2, 3}}, {"RGKK"}},
        {"interlaced rows", 2, 10, {R, G, B, W},
         {0, 0, 2, 10, true, {}, -1, {0, 0, 1, 1, 2, 2, 3, 3, 0, 0, 1, 1, 2, 2, 3, 3, 0, 0, 1, 1}},
         {"RR", "GG", "BB", "WW", "RR", "GG", "BB", "WW", "RR", "GG"}},
        // clang-format on
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string gif = EncodedGif(c.width, c.height, c.global, c.frame);
        TPicture picture = DecodePicture(gif, "made.gif");
        ASSERT_EQ(picture.Width, c.width);
        ASSERT_EQ(picture.Height, c.height);
        for (int y = 0; y < c.height; ++y)
            for (int x = 0; x < c.width; ++x)
                EXPECT_EQ(picture.PixelAt(x, y), Colour(c.expected[y][x]))
                    << x << "," << y << " is " << Show(picture.PixelAt(x, y));
    }
}

TEST(PictureDecoder, FileNamesChooseTheFormat) {
    struct Case {
        const char* name;
        std::optional<TPictureFormat> format;
    } cases[] = {
        {"a.jpg", TPictureFormat::Jpeg},
        {"A.JPG", TPictureFormat::Jpeg},
        {"x.JpEg", TPictureFormat::Jpeg},
        {"/p/Logo.GIF", TPictureFormat::Gif},
        {"b.gif", TPictureFormat::Gif},
        {"b.gif.txt", std::nullopt},
        {"jpg", std::nullopt},
        {"p.png", TPictureFormat::Png},
        {"P.PNG", TPictureFormat::Png},
        {"photo.WebP", TPictureFormat::Webp},
        {"p.bmp", std::nullopt},
        {"p.web", std::nullopt},
        {"p.", std::nullopt},
        {"dir.jpg/x", std::nullopt},
        {"", std::nullopt},
        {"picture.jpe", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(IsPictureFileName(c.name), c.format.has_value());
        if (c.format)
            EXPECT_EQ(PictureFormatOfName(c.name), *c.format);
        else
            EXPECT_EQ(ErrorOf([&] { PictureFormatOfName(c.name); }, c.name),
                      "Not a picture file name: a picture must end in .jpg, .jpeg, .gif, .png or "
                      ".webp");
    }
}

TEST(PictureDecoder, ContentDecidesOverAnyPictureExtension) {
    struct Case {
        const char* sample;
        const char* name;
        TPictureFormat format;
    } cases[] = {
        {"bands.jpg", "BANDS.JPG", TPictureFormat::Jpeg},
        {"bands.jpg", "Bands.Jpeg", TPictureFormat::Jpeg},
        {"bands.jpg", "really-a-jpeg.GIF", TPictureFormat::Jpeg},
        {"bands.gif", "BANDS.GIF", TPictureFormat::Gif},
        {"bands.gif", "really-a-gif.jpg", TPictureFormat::Gif},
    };
    TTempFolder dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFileBytes(dir / c.name, Sample(c.sample));
        TPicture picture = LoadPicture(dir / c.name);
        EXPECT_EQ(picture.Format, c.format);
        EXPECT_EQ(picture.Width, 48);
        EXPECT_EQ(picture.Height, 32);
        EXPECT_TRUE(Near(picture.PixelAt(24, 16), Green, 12));
        TPictureSize size = ReadPictureSize(dir / c.name);
        EXPECT_EQ(size.Format, c.format);
        EXPECT_EQ(size.Width, 48);
    }
}

TEST(PictureDecoder, BadFilesGiveErrorsNamingThem) {
    const std::string jpeg = Sample("bands.jpg");
    const std::string progressive = Sample("bands-progressive.jpg");
    const std::string gif = Sample("bands.gif");
    std::string badPrecision = jpeg;
    badPrecision[JpegSegment(jpeg, 0xC0) + 4] = 7;
    std::string badHuffman = jpeg;
    badHuffman[JpegSegment(jpeg, 0xC4) + 5] = '\xFF'; // more codes of length 1 than can be
    std::string damagedScan = jpeg;
    for (std::size_t i = JpegSegment(jpeg, 0xDA) + 16; i < jpeg.size() - 20; ++i)
        damagedScan[i] = '\x55';
    std::string manyScans = progressive.substr(0, progressive.size() - 2);
    std::size_t lastScan = manyScans.rfind("\xFF\xDA");
    std::string scan = manyScans.substr(lastScan);
    for (int i = 0; i < 600; ++i)
        manyScans += scan;
    manyScans += "\xFF\xD9";

    const char* truncated = "The JPEG picture is truncated";
    const char* truncatedGif = "The GIF picture is truncated";
    const std::string tooLarge = "The picture is 65535 x 65535 pixels, more than the 67108864 "
                                 "pixels allowed";
    struct Case {
        const char* name;
        std::optional<std::string> contents; // none: the file is missing
        std::string loadError;               // "": loads
        std::string sizeError;               // "": measures
    } cases[] = {
        {"empty.jpg", "", "The picture file is empty", "The picture file is empty"},
        {"empty.GIF", "", "The picture file is empty", "The picture file is empty"},
        {"missing.gif", std::nullopt, "Cannot open the picture file: No such file or directory",
         "Cannot open the picture file: No such file or directory"},
        {"notes.jpg", "Hello, this is text\n",
         "Cannot decode the JPEG picture: Not a JPEG file: starts with 0x48 0x65",
         "Cannot decode the JPEG picture: Not a JPEG file: starts with 0x48 0x65"},
        {"notes.gif", "Hello, this is text\n",
         "Cannot decode the GIF picture: Data is not in GIF format",
         "Cannot decode the GIF picture: Data is not in GIF format"},
        {"bands.bmp", jpeg,
         "Not a picture file name: a picture must end in .jpg, .jpeg, .gif, .png or .webp",
         "Not a picture file name: a picture must end in .jpg, .jpeg, .gif, .png or .webp"},
        {"cut-in-header.jpg", jpeg.substr(0, 180), truncated, truncated},
        {"cut-in-scan.jpg", jpeg.substr(0, 320), truncated, ""},
        {"cut-in-scan.jpeg", progressive.substr(0, 500), truncated, ""},
        {"cut-after-sof.jpg", jpeg.substr(0, JpegSegment(jpeg, 0xC4)), truncated, truncated},
        {"bad-precision.jpg", badPrecision,
         "Cannot decode the JPEG picture: Unsupported JPEG data precision 7",
         "Cannot decode the JPEG picture: Unsupported JPEG data precision 7"},
        {"bad-huffman.jpg", badHuffman,
         "Cannot decode the JPEG picture: Bogus Huffman table definition",
         "Cannot decode the JPEG picture: Bogus Huffman table definition"},
        {"damaged-scan.jpg", damagedScan, "", ""},
        {"many-scans.jpg", manyScans,
         "Cannot decode the JPEG picture: Progressive JPEG image has more than 500 scans", ""},
        {"zero-width.jpg", WithJpegSize(jpeg, 0, 32),
         "Cannot decode the JPEG picture: Empty JPEG image (DNL not supported)",
         "Cannot decode the JPEG picture: Empty JPEG image (DNL not supported)"},
        {"huge.jpg", WithJpegSize(jpeg, 65535, 65535),
         "Cannot decode the JPEG picture: Maximum supported image dimension is 65500 pixels",
         "Cannot decode the JPEG picture: Maximum supported image dimension is 65500 pixels"},
        {"large.jpg", WithJpegSize(jpeg, 20000, 20000),
         "The picture is 20000 x 20000 pixels, more than the 67108864 pixels allowed",
         "The picture is 20000 x 20000 pixels, more than the 67108864 pixels allowed"},
        {"cut-in-data.gif", gif.substr(0, gif.size() - 20), truncatedGif, ""},
        {"cut-in-screen.gif", gif.substr(0, 10), truncatedGif, truncatedGif},
        {"cut-in-colours.gif", gif.substr(0, 16), truncatedGif, truncatedGif},
        {"huge.gif", HandMadeGif(65535, 65535, true, std::pair{1u, 1u}), tooLarge, tooLarge},
        {"zero.gif", HandMadeGif(0, 5, true, std::pair{1u, 1u}),
         "The picture has no pixels (its width or height is 0)",
         "The picture has no pixels (its width or height is 0)"},
        {"wide-frame.gif", HandMadeGif(2, 2, true, std::pair{10000u, 10000u}),
         "The first frame of the GIF picture is 10000 x 10000 pixels, more than the 67108864 "
         "pixels allowed",
         ""},
        {"no-image.gif", HandMadeGif(2, 2, true, std::nullopt), "The GIF picture holds no image",
         ""},
        {"no-colours.gif", HandMadeGif(1, 1, false, std::pair{1u, 1u}),
         "The GIF picture has no colour table", ""},
        {"bad-code-size.gif", HandMadeGif(1, 1, true, std::pair{1u, 1u}, '\x0C'),
         "Cannot decode the GIF picture: damaged image data", ""},
        {"one-pixel.gif", HandMadeGif(1, 1, true, std::pair{1u, 1u}), "", ""},
    };
    TTempFolder dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = dir / c.name;
        if (c.contents)
            WriteFileBytes(path, *c.contents);
        EXPECT_EQ(ErrorOf([&] { LoadPicture(path); }, path), c.loadError);
        EXPECT_EQ(ErrorOf([&] { ReadPictureSize(path); }, path), c.sizeError);
        if (c.contents) {
            EXPECT_EQ(ErrorOf([&] { DecodePicture(*c.contents, c.name); }, c.name), c.loadError);
            EXPECT_EQ(ErrorOf([&] { DecodePictureSize(*c.contents, c.name); }, c.name),
                      c.sizeError);
        }
    }
    MakeFolder(dir / "folder.jpg");
    EXPECT_EQ(ErrorOf([&] { LoadPicture(dir / "folder.jpg"); }, dir / "folder.jpg"),
              "The picture file is not an ordinary file");
}

TEST(PictureDecoder, AFifoOrALinkInPlaceOfAPictureIsRefusedAtOnce) {
    TTempFolder dir;
    const std::string fifo = dir / "pipe.gif";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(ErrorOf([&] { ReadPictureSize(fifo); }, fifo),
              "The picture file is not an ordinary file");
    EXPECT_EQ(ErrorOf([&] { LoadPicture(fifo); }, fifo),
              "The picture file is not an ordinary file");
    WriteFileBytes(dir / "real.gif", "GIF89a");
    const std::string link = dir / "link.gif";
    std::filesystem::create_symlink(dir / "real.gif", link);
    EXPECT_EQ(ErrorOf([&] { ReadPictureSize(link); }, link),
              std::string("Cannot open the picture file: ") + std::strerror(ELOOP));
    // The bytes: through the link only for a file the user chose, never a FIFO.
    EXPECT_EQ(ErrorOf([&] { ReadPictureBytes(link, TPictureLinks::Refuse); }, link),
              std::string("Cannot open the picture file: ") + std::strerror(ELOOP));
    EXPECT_EQ(ReadPictureBytes(link, TPictureLinks::Follow), "GIF89a");
    EXPECT_EQ(ErrorOf([&] { ReadPictureBytes(fifo, TPictureLinks::Follow); }, fifo),
              "The picture file is not an ordinary file");
}

TEST(PictureDecoder, LimitsAreCheckedBeforeDecoding) {
    struct Case {
        const char* file;
        TPictureLimits limits;
        std::string error;
    } cases[] = {
        {"bands.jpg", {354, 48 * 32}, ""},
        {"bands.jpg", {353, 48 * 32}, "The picture file is larger than 353 bytes"},
        {"bands.jpg",
         {354, 48 * 32 - 1},
         "The picture is 48 x 32 pixels, more than the 1535 pixels allowed"},
        {"bands-progressive.jpg",
         {1000, 48 * 32 - 1},
         "The picture is 48 x 32 pixels, more than the 1535 pixels allowed"},
        {"bands.gif", {162, 48 * 32}, ""},
        {"bands.gif", {161, 48 * 32}, "The picture file is larger than 161 bytes"},
        {"bands.gif",
         {1000, 100},
         "The picture is 48 x 32 pixels, more than the 100 pixels "
         "allowed"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file + (": " + c.error));
        std::string path = PicturesFolder() + c.file;
        EXPECT_EQ(ErrorOf([&] { LoadPicture(path, c.limits); }, path), c.error);
        EXPECT_EQ(ErrorOf([&] { ReadPictureSize(path, c.limits); }, path), c.error);
        EXPECT_EQ(ErrorOf([&] { DecodePicture(Sample(c.file), c.file, c.limits); }, c.file),
                  c.error);
    }
}

// Every shortened or damaged copy of a sample either decodes to a whole picture or fails
// with a TError; a copy that lost more than its end marker or trailer never decodes.
TEST(PictureDecoder, CutOrDamagedSamplesFailCleanly) {
    const char* samples[] = {"bands.jpg", "bands-progressive.jpg", "gray.jpg",       "cmyk.jpg",
                             "bands.gif", "rows-interlaced.gif",   "transparent.gif"};
    for (const char* sample : samples) {
        SCOPED_TRACE(sample);
        const std::string bytes = Sample(sample);
        const TPicture whole = DecodePicture(bytes, sample);
        // A JPEG without its end marker (2 bytes), a GIF without the block terminator and
        // trailer (2 bytes) still hold every pixel.
        const std::size_t needed = bytes.size() - 2;
        for (std::size_t length = 0; length < bytes.size(); ++length) {
            std::string cut = bytes.substr(0, length);
            std::string error = ErrorOf([&] { DecodePicture(cut, sample); }, sample);
            if (length < needed) {
                EXPECT_NE(error, "") << length << " bytes";
            }
            std::string sizeError = ErrorOf([&] { DecodePictureSize(cut, sample); }, sample);
            if (error.empty()) {
                EXPECT_EQ(sizeError, "") << length << " bytes";
            }
        }
        for (std::size_t at = 0; at < bytes.size(); ++at) {
            std::string damaged = bytes;
            damaged[at] = static_cast<char>(damaged[at] ^ 0x5A);
            try {
                TPicture picture = DecodePicture(damaged, sample);
                EXPECT_EQ(picture.Pixels.size(), std::size_t(picture.Width) * picture.Height * 4);
                TPictureSize size = DecodePictureSize(damaged, sample);
                EXPECT_EQ(size.Width, picture.Width);
                EXPECT_EQ(size.Height, picture.Height);
            } catch (const TError& e) {
                EXPECT_EQ(e.FileName(), sample);
            }
        }
    }
}

TEST(PictureDecoder, CopyIntoImagesIsByteForByte) {
    const char* samples[] = {"bands.jpg", "cmyk.jpg", "bands.gif", "transparent.gif"};
    TTempFolder dir;
    MakeFolder(dir / "Images");
    int n = 0;
    for (const char* sample : samples) {
        SCOPED_TRACE(sample);
        std::string source = PicturesFolder() + sample;
        TPicture original = LoadPicture(source);
        std::string target = dir / "Images/File" + std::to_string(++n) + FileExtension(sample);
        ASSERT_TRUE(CopyFileReplacing(source, target));
        EXPECT_EQ(ReadFileBytes(target), ReadFileBytes(source));
        TPicture copy = LoadPicture(target);
        EXPECT_EQ(copy.Width, original.Width);
        EXPECT_EQ(copy.Height, original.Height);
        EXPECT_EQ(copy.Pixels, original.Pixels);
    }
}

} // namespace
