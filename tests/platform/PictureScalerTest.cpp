// Web-sized JPEG copies: the EXIF orientation read and applied, the scaling down, and the
// encoding through libjpeg without metadata.

#include "platform/PictureScaler.h"
#include "PictureSupport.h"
#include "platform/Error.h"
#include "platform/PictureDecoder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

// The colour of a pixel as red, green or blue, or grey: what the marks of MarkedPicture are
// after JPEG has blurred them a little.
char ColourAt(const TPicture& picture, int x, int y) {
    const TRgba p = picture.PixelAt(x, y);
    if (p.R > 170 && p.G < 90 && p.B < 90)
        return 'r';
    if (p.B > 170 && p.R < 90 && p.G < 90)
        return 'b';
    if (std::abs(p.R - 128) < 30 && std::abs(p.G - 128) < 30 && std::abs(p.B - 128) < 30)
        return 'g';
    return '?';
}

// The four corners (top-left, top-right, bottom-left, bottom-right), 2 pixels in.
std::string Corners(const TPicture& picture) {
    const int r = picture.Width - 3, b = picture.Height - 3;
    return {ColourAt(picture, 2, 2), ColourAt(picture, r, 2), ColourAt(picture, 2, b),
            ColourAt(picture, r, b)};
}

TEST(PictureScaler, TheOrientationIsReadFromTheExifSegment) {
    const std::string plain = EncodeJpeg(MarkedPicture(16, 8), 90, "plain.jpg");
    EXPECT_EQ(JpegOrientation(plain), 1);
    for (int orientation = 1; orientation <= 8; ++orientation) {
        EXPECT_EQ(JpegOrientation(WithOrientation(plain, orientation)), orientation);
        EXPECT_EQ(JpegOrientation(WithOrientation(plain, orientation, true)), orientation);
    }
    EXPECT_EQ(JpegOrientation(WithOrientation(plain, 9)), 1);
    EXPECT_EQ(JpegOrientation(WithOrientation(plain, 0)), 1);
    EXPECT_EQ(JpegOrientation(""), 1);
    EXPECT_EQ(JpegOrientation("GIF89a"), 1);
    // Cut inside the EXIF segment, or a segment length beyond the data: none.
    const std::string turned = WithOrientation(plain, 6);
    EXPECT_EQ(JpegOrientation(turned.substr(0, 20)), 1);
    std::string longSegment = turned;
    longSegment[4] = '\x7F';
    EXPECT_EQ(JpegOrientation(longSegment.substr(0, 200)), 1);
}

TEST(PictureScaler, EachOrientationTurnsThePictureUpright) {
    // 16 x 8: the top-left quarter red, the bottom-right one blue.
    const TPicture source = MarkedPicture(16, 8);
    struct TCase {
        int Orientation;
        int Width, Height;
        const char* Corners; // top-left, top-right, bottom-left, bottom-right
    };
    const TCase cases[] = {
        {1, 16, 8, "rggb"}, {2, 16, 8, "grbg"}, {3, 16, 8, "bggr"}, {4, 16, 8, "gbrg"},
        {5, 8, 16, "rggb"}, {6, 8, 16, "grbg"}, {7, 8, 16, "bggr"}, {8, 8, 16, "gbrg"},
    };
    for (const TCase& c : cases) {
        const TPicture turned = Oriented(source, c.Orientation);
        EXPECT_EQ(turned.Width, c.Width) << c.Orientation;
        EXPECT_EQ(turned.Height, c.Height) << c.Orientation;
        EXPECT_EQ(Corners(turned), c.Corners) << "orientation " << c.Orientation;
    }
}

TEST(PictureScaler, ScalingKeepsTheProportionsAndAveragesThePixels) {
    struct TCase {
        int Width, Height, MaxSide, NewWidth, NewHeight;
    };
    const TCase cases[] = {
        {4000, 3000, 1600, 1600, 1200}, {3000, 4000, 1600, 1200, 1600}, {1000, 10, 100, 100, 1},
        {1000, 1, 100, 100, 1},         {100, 50, 100, 100, 50},        {100, 50, 0, 100, 50},
        {333, 100, 100, 100, 30},
    };
    for (const TCase& c : cases) {
        TPicture picture;
        picture.Width = c.Width;
        picture.Height = c.Height;
        picture.Pixels.assign(std::size_t(c.Width) * c.Height * 4, 200);
        const TPicture scaled = ScaledToFit(picture, c.MaxSide);
        EXPECT_EQ(scaled.Width, c.NewWidth) << c.Width << "x" << c.Height << " to " << c.MaxSide;
        EXPECT_EQ(scaled.Height, c.NewHeight) << c.Width << "x" << c.Height << " to " << c.MaxSide;
        EXPECT_EQ(scaled.Pixels.size(), std::size_t(c.NewWidth) * c.NewHeight * 4);
    }
    // Two black and two white pixels in a row give two greys of their mean.
    TPicture row;
    row.Width = 4;
    row.Height = 1;
    row.Pixels = {0, 0, 0, 255, 255, 255, 255, 255, 0, 0, 0, 255, 255, 255, 255, 255};
    const TPicture half = ScaledToFit(row, 2);
    ASSERT_EQ(half.Width, 2);
    EXPECT_EQ(half.PixelAt(0, 0), (TRgba{128, 128, 128, 255}));
    EXPECT_EQ(half.PixelAt(1, 0), (TRgba{128, 128, 128, 255}));
}

TEST(PictureScaler, AWebCopyIsUprightSmallAndWithoutExif) {
    const std::string photo = WithOrientation(EncodeJpeg(MarkedPicture(400, 300), 92, "p.jpg"), 6);
    ASSERT_NE(photo.find("Exif"), std::string::npos);
    const TScaledJpeg copy = ScaleJpeg(photo, 200, "p.jpg");
    EXPECT_EQ(copy.Width, 150);
    EXPECT_EQ(copy.Height, 200);
    EXPECT_EQ(copy.Bytes.find("Exif"), std::string::npos);
    EXPECT_EQ(JpegOrientation(copy.Bytes), 1);
    const TPicture decoded = DecodePicture(copy.Bytes, "copy.jpg");
    EXPECT_EQ(decoded.Width, 150);
    EXPECT_EQ(decoded.Height, 200);
    // Turned a quarter clockwise: the red quarter is now at the top right.
    EXPECT_EQ(Corners(decoded), "grbg");

    EXPECT_THROW(ScaleJpeg(photo.substr(0, photo.size() / 3), 200, "cut.jpg"), TError);
    TPicture empty;
    EXPECT_THROW(EncodeJpeg(empty, 85, "empty.jpg"), TError);
}

} // namespace
