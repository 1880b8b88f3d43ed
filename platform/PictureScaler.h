#pragma once

#include "platform/PictureDecoder.h"

#include <string>
#include <string_view>

// Web-sized copies of pictures: turned upright as a JPEG's EXIF orientation says, scaled
// down so that their longer side keeps a limit, and written again as JPEG (libjpeg), PNG
// (libpng) or WebP (libwebp) without any of the original's metadata (no EXIF, so no camera
// data and no orientation left to apply twice).

// The EXIF orientation of JPEG data, 1 to 8; 1 when it has none, or one that cannot be read.
int JpegOrientation(std::string_view bytes);

// The picture as it is to be seen under the EXIF orientation (2 to 8 mirror and turn it;
// 5 to 8 swap its width and height); any other value leaves it as it is.
TPicture Oriented(const TPicture& picture, int orientation);

// The picture scaled down so that neither side is longer than maxSide, its proportions kept
// (each side rounded, at least 1); every new pixel is the mean of the pixels it covers. A
// picture that fits already comes back unchanged.
TPicture ScaledToFit(const TPicture& picture, int maxSide);

// The picture as JPEG file data (baseline, RGB, no metadata) at quality 1 to 100. Throws
// TError naming fileName when libjpeg cannot write it.
std::string EncodeJpeg(const TPicture& picture, int quality, const std::string& fileName);

// The picture as PNG file data (8-bit RGB when every pixel is opaque, else RGBA; no metadata).
// Throws TError naming fileName when libpng cannot write it.
std::string EncodePng(const TPicture& picture, const std::string& fileName);

// The picture as WebP file data: lossy at quality 1 to 100, or lossless. Throws TError naming
// fileName when libwebp cannot write it.
std::string EncodeWebp(const TPicture& picture, int quality, bool lossless,
                       const std::string& fileName);

// True for WebP data whose picture is stored losslessly (VP8L).
bool IsLosslessWebp(std::string_view bytes);

struct TScaledPicture {
    std::string Bytes;
    TPictureFormat Format = TPictureFormat::Jpeg;
    int Width = 0;
    int Height = 0;
};

// The copy the site gets of a picture (its file data in any format the decoder reads):
// decoded, upright, scaled to fit maxSide (not at all when it is 0 or the picture fits) and
// written as format: JPEG at quality 85, PNG, or WebP (lossless when the picture was a
// lossless WebP, else at quality 85). GIF cannot be written. Throws TError naming fileName for
// a picture that cannot be decoded or written.
TScaledPicture ScalePicture(std::string_view bytes, int maxSide, TPictureFormat format,
                            const std::string& fileName, const TPictureLimits& limits = {});

struct TScaledJpeg {
    std::string Bytes;
    int Width = 0;
    int Height = 0;
};

// The copy the site gets of a JPEG (its file data) whose longer side is above maxSide:
// ScalePicture written as JPEG. Throws TError naming
// fileName for a picture that cannot be decoded.
TScaledJpeg ScaleJpeg(std::string_view bytes, int maxSide, const std::string& fileName,
                      const TPictureLimits& limits = {});
