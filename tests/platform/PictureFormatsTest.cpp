// PNG and WebP beside JPEG and GIF: every kind the dialogs may be given decodes with its
// natural size, hostile or cut files give an error naming them, and the web-sized copies keep
// or change their format as asked.

#include "PictureSupport.h"
#include "TestSupport.h"
#include "platform/Error.h"
#include "platform/ErrorOf.h"
#include "platform/FileSystem.h"
#include "platform/PictureDecoder.h"
#include "platform/PictureScaler.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>

namespace {

std::uint32_t Crc(const std::string& bytes) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const char c : bytes) {
        crc ^= static_cast<unsigned char>(c);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

std::string Be32(std::uint32_t v) {
    return {char(v >> 24), char(v >> 16 & 255), char(v >> 8 & 255), char(v & 255)};
}

// The PNG with its header's width and height replaced, the header's CRC made right again.
std::string WithPngSize(std::string png, std::uint32_t width, std::uint32_t height) {
    png.replace(16, 8, Be32(width) + Be32(height));
    png.replace(29, 4, Be32(Crc(png.substr(12, 17))));
    return png;
}

std::string Le(std::uint32_t v, int bytes) {
    std::string out;
    for (int i = 0; i < bytes; ++i)
        out += char(v >> (8 * i) & 255);
    return out;
}

// A WebP container of an extended header alone: its flags and canvas size, no picture.
std::string ExtendedWebp(std::uint8_t flags, std::uint32_t width, std::uint32_t height) {
    const std::string chunk = "VP8X" + Le(10, 4) + std::string(1, char(flags)) +
                              std::string(3, '\0') + Le(width - 1, 3) + Le(height - 1, 3);
    return "RIFF" + Le(static_cast<std::uint32_t>(4 + chunk.size()), 4) + "WEBP" + chunk;
}

TPicture WithClearCorner(TPicture picture) {
    picture.Pixels[3] = 0;  // the top-left pixel transparent
    picture.Pixels[7] = 99; // the next one half
    return picture;
}

TEST(PictureFormats, EveryKindOfPngAndWebpHasItsSizeAndColours) {
    const TPicture marked = MarkedPicture(24, 16);
    const TPicture clear = WithClearCorner(marked);
    struct Case {
        const char* name;
        std::string bytes;
        TPictureFormat format;
        int tolerance; // per channel: 0 for what is stored losslessly
        bool keepsAlpha;
    } cases[] = {
        {"rgb.png", EncodePng(marked, "rgb.png"), TPictureFormat::Png, 0, false},
        {"RGBA.PNG", EncodePng(clear, "rgba.png"), TPictureFormat::Png, 0, true},
        {"lossless.webp", EncodeWebp(clear, 85, true, "lossless.webp"), TPictureFormat::Webp, 0,
         true},
        {"lossy.webp", EncodeWebp(marked, 90, false, "lossy.webp"), TPictureFormat::Webp, 40,
         false},
        {"alpha-lossy.webp", EncodeWebp(clear, 90, false, "alpha-lossy.webp"), TPictureFormat::Webp,
         255, true},
        {"png-named.jpg", EncodePng(marked, "x"), TPictureFormat::Png, 0, false},
        {"webp-named.gif", EncodeWebp(marked, 85, true, "x"), TPictureFormat::Webp, 0, false},
    };
    TTempFolder dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFileBytes(dir / c.name, c.bytes);
        const TPicture picture = LoadPicture(dir / c.name);
        EXPECT_EQ(picture.Format, c.format);
        EXPECT_EQ(picture.Width, 24);
        EXPECT_EQ(picture.Height, 16);
        ASSERT_EQ(picture.Pixels.size(), std::size_t(24) * 16 * 4);
        for (const auto& [x, y] : {std::pair{20, 12}, std::pair{2, 2}, std::pair{20, 2}}) {
            const TRgba got = picture.PixelAt(x, y), want = marked.PixelAt(x, y);
            EXPECT_LE(std::abs(got.R - want.R), c.tolerance) << x << "," << y;
            EXPECT_LE(std::abs(got.B - want.B), c.tolerance) << x << "," << y;
        }
        EXPECT_EQ(picture.PixelAt(0, 0).A, c.keepsAlpha ? 0 : 255);
        EXPECT_EQ(picture.PixelAt(23, 15).A, 255);
        const TPictureSize size = ReadPictureSize(dir / c.name);
        EXPECT_EQ(size.Format, c.format);
        EXPECT_EQ(size.Width, 24);
        EXPECT_EQ(size.Height, 16);
        EXPECT_EQ(DecodePictureSize(c.bytes, c.name).Width, 24);
    }
}

TEST(PictureFormats, BadPngAndWebpFilesGiveErrorsNamingThem) {
    const std::string png = EncodePng(MarkedPicture(24, 16), "p.png");
    const std::string webp = EncodeWebp(MarkedPicture(24, 16), 85, true, "p.webp");
    const std::string lossy = EncodeWebp(MarkedPicture(24, 16), 85, false, "p.webp");
    std::string damagedPixels = png;
    damagedPixels[png.size() - 20] ^= 0x55;
    std::string damagedWebp = lossy;
    for (std::size_t i = 30; i < damagedWebp.size(); ++i)
        damagedWebp[i] = '\x55';
    const char* truncated = "The PNG picture is truncated";
    const char* truncatedWebp = "The WebP picture is truncated";
    struct Case {
        const char* name;
        std::string contents;
        std::string loadError; // "": loads
        std::string sizeError; // "": measures
    } cases[] = {
        {"empty.png", "", "The picture file is empty", "The picture file is empty"},
        {"notes.png", "Hello, this is text\n", "Cannot decode the PNG picture: Not a PNG file",
         "Cannot decode the PNG picture: Not a PNG file"},
        {"notes.webp", "Hello, this is text\n", "Cannot decode the WebP picture: damaged data",
         "Cannot decode the WebP picture: damaged data"},
        {"cut-in-signature.png", png.substr(0, 5), truncated, truncated},
        {"cut-in-header.png", png.substr(0, 20), truncated, truncated},
        {"cut-in-pixels.png", png.substr(0, png.size() - 20), truncated, ""},
        {"no-iend.png", png.substr(0, png.size() - 12), "", ""},
        {"damaged-pixels.png", damagedPixels,
         "Cannot decode the PNG picture: IDAT: incorrect data check", ""},
        {"zero-width.png", WithPngSize(png, 0, 16),
         "Cannot decode the PNG picture: Invalid IHDR data",
         "Cannot decode the PNG picture: Invalid IHDR data"},
        {"large.png", WithPngSize(png, 20000, 20000),
         "The picture is 20000 x 20000 pixels, more than the 67108864 pixels allowed",
         "The picture is 20000 x 20000 pixels, more than the 67108864 pixels allowed"},
        {"cut-in-header.webp", webp.substr(0, 10), truncatedWebp, truncatedWebp},
        {"cut-in-pixels.webp", webp.substr(0, webp.size() - 5), truncatedWebp, ""},
        {"cut-in-lossy.webp", lossy.substr(0, lossy.size() - 5), truncatedWebp, ""},
        {"damaged.webp", damagedWebp, "Cannot decode the WebP picture: damaged data", ""},
        {"animated.webp", ExtendedWebp(0x02, 10, 10),
         "The WebP picture is animated; only still pictures can be shown",
         "The WebP picture is animated; only still pictures can be shown"},
        {"large.webp", ExtendedWebp(0, 16384, 16384),
         "The picture is 16384 x 16384 pixels, more than the 67108864 pixels allowed",
         "The picture is 16384 x 16384 pixels, more than the 67108864 pixels allowed"},
        {"header-alone.webp", ExtendedWebp(0, 10, 10), truncatedWebp, ""},
    };
    TTempFolder dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir / c.name;
        WriteFileBytes(path, c.contents);
        EXPECT_EQ(ErrorOf([&] { LoadPicture(path); }, path), c.loadError);
        EXPECT_EQ(ErrorOf([&] { ReadPictureSize(path); }, path), c.sizeError);
        EXPECT_EQ(ErrorOf([&] { DecodePicture(c.contents, c.name); }, c.name), c.loadError);
        EXPECT_EQ(ErrorOf([&] { DecodePictureSize(c.contents, c.name); }, c.name), c.sizeError);
    }
}

// Every shortened or damaged copy either decodes to a whole picture or fails with a TError.
TEST(PictureFormats, CutOrDamagedPngAndWebpFailCleanly) {
    const TPicture clear = WithClearCorner(MarkedPicture(12, 8));
    const std::pair<const char*, std::string> samples[] = {
        {"a.png", EncodePng(clear, "a.png")},
        {"c.webp", EncodeWebp(clear, 85, true, "c.webp")},
        {"d.webp", EncodeWebp(clear, 85, false, "d.webp")},
    };
    for (const auto& sample : samples) {
        // Named copies: a lambda cannot take a structured binding in C++20 as clang reads it.
        const char* const name = sample.first;
        const std::string& bytes = sample.second;
        SCOPED_TRACE(name);
        for (std::size_t length = 0; length < bytes.size(); ++length) {
            const std::string cut = bytes.substr(0, length);
            const std::string error = ErrorOf([&] { DecodePicture(cut, name); }, name);
            // A PNG without its IEND chunk (12 bytes) still holds every pixel.
            if (length + 12 < bytes.size()) {
                EXPECT_NE(error, "") << length << " bytes";
            }
        }
        for (std::size_t at = 0; at < bytes.size(); ++at) {
            std::string damaged = bytes;
            damaged[at] = static_cast<char>(damaged[at] ^ 0x5A);
            try {
                const TPicture picture = DecodePicture(damaged, name);
                EXPECT_EQ(picture.Pixels.size(), std::size_t(picture.Width) * picture.Height * 4);
                EXPECT_EQ(DecodePictureSize(damaged, name).Width, picture.Width);
            } catch (const TError& e) {
                EXPECT_EQ(e.FileName(), name);
            }
        }
    }
}

TEST(PictureFormats, WebCopiesKeepOrChangeTheirFormatAsAsked) {
    const TPicture clear = WithClearCorner(MarkedPicture(400, 300));
    const std::string turnedJpeg =
        WithOrientation(EncodeJpeg(MarkedPicture(400, 300), 92, "p.jpg"), 6);
    struct Case {
        const char* name;
        std::string bytes;
        TPictureFormat as;
        int width, height;
        bool transparentCorner; // the top-left pixel of the copy
        bool lossless;          // for a WebP copy
    } cases[] = {
        {"p.png", EncodePng(clear, "p.png"), TPictureFormat::Png, 200, 150, true, false},
        {"lossless.webp", EncodeWebp(clear, 85, true, "x"), TPictureFormat::Webp, 200, 150, true,
         true},
        {"lossy.webp", EncodeWebp(clear, 85, false, "x"), TPictureFormat::Webp, 200, 150, true,
         false},
        {"lossy-to-png.webp", EncodeWebp(clear, 85, false, "x"), TPictureFormat::Png, 200, 150,
         true, false},
        {"turned.jpg", turnedJpeg, TPictureFormat::Png, 150, 200, false, false},
        {"turned-as-jpeg.jpg", turnedJpeg, TPictureFormat::Jpeg, 150, 200, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TScaledPicture copy = ScalePicture(c.bytes, 200, c.as, c.name);
        EXPECT_EQ(copy.Format, c.as);
        EXPECT_EQ(copy.Width, c.width);
        EXPECT_EQ(copy.Height, c.height);
        const TPicture decoded = DecodePicture(copy.Bytes, "copy.jpg");
        EXPECT_EQ(decoded.Format, c.as);
        EXPECT_EQ(decoded.Width, c.width);
        EXPECT_EQ(decoded.Height, c.height);
        EXPECT_LT(decoded.PixelAt(0, 0).A, c.transparentCorner ? 255 : 256);
        EXPECT_EQ(decoded.PixelAt(c.width - 1, c.height - 1).A, 255);
        if (c.as == TPictureFormat::Webp) {
            EXPECT_EQ(IsLosslessWebp(copy.Bytes), c.lossless);
        }
        EXPECT_EQ(copy.Bytes.find("Exif"), std::string::npos);
    }
    // Not scaled at all (0, or the picture fits), yet written in the format asked for.
    const TScaledPicture same =
        ScalePicture(EncodeWebp(clear, 85, true, "x"), 0, TPictureFormat::Png, "whole.webp");
    EXPECT_EQ(same.Width, 400);
    EXPECT_EQ(DecodePicture(same.Bytes, "whole.png").Pixels,
              DecodePicture(EncodeWebp(clear, 85, true, "x"), "x.webp").Pixels);

    EXPECT_EQ(
        ErrorOf([&] { ScalePicture("GIF89a", 10, TPictureFormat::Png, "cut.gif"); }, "cut.gif"),
        "The GIF picture is truncated");
    EXPECT_EQ(
        ErrorOf([&] { ScalePicture(EncodePng(clear, "x"), 10, TPictureFormat::Gif, "p.png"); },
                "p.png"),
        "Cannot write a GIF picture");
    EXPECT_EQ(ErrorOf([&] { EncodePng(TPicture(), "empty.png"); }, "empty.png"),
              "The picture to write has no pixels");
    EXPECT_EQ(ErrorOf([&] { EncodeWebp(TPicture(), 85, false, "empty.webp"); }, "empty.webp"),
              "The picture to write has no pixels");
}

} // namespace
