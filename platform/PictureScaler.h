#pragma once

#include "platform/PictureDecoder.h"

#include <string>
#include <string_view>

// Web-sized copies of JPEG pictures: turned upright as their EXIF orientation says, scaled
// down so that their longer side keeps a limit, and written again through libjpeg without
// any of the original's metadata (no EXIF, so no camera data and no orientation left to
// apply twice).

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

struct TScaledJpeg {
    std::string Bytes;
    int Width = 0;
    int Height = 0;
};

// The copy the site gets of a JPEG (its file data) whose longer side is above maxSide:
// decoded, upright, scaled to fit maxSide and written at quality 85. Throws TError naming
// fileName for a picture that cannot be decoded.
TScaledJpeg ScaleJpeg(std::string_view bytes, int maxSide, const std::string& fileName,
                      const TPictureLimits& limits = {});
