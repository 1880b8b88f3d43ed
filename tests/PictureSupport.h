#pragma once

// Pictures made for the tests: a picture of one colour with marked corners, and JPEG data
// with an EXIF orientation put in.

#include "platform/PictureDecoder.h"
#include "platform/PictureScaler.h"

#include <cstdint>
#include <string>

// width x height of grey, with the top-left quarter red and the bottom-right quarter blue,
// so that where the corners went after a turn or a mirroring can be told.
inline TPicture MarkedPicture(int width, int height) {
    TPicture picture;
    picture.Width = width;
    picture.Height = height;
    picture.Pixels.assign(std::size_t(width) * height * 4, 0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = picture.Pixels.data() + (std::size_t(y) * width + x) * 4;
            const bool red = x < width / 2 && y < height / 2;
            const bool blue = x >= width - width / 2 && y >= height - height / 2;
            p[0] = red ? 220 : blue ? 20 : 128;
            p[1] = red ? 20 : blue ? 20 : 128;
            p[2] = red ? 20 : blue ? 220 : 128;
            p[3] = 255;
        }
    return picture;
}

// JPEG data with an APP1 EXIF segment holding orientation (tag 0x0112) right after its SOI.
inline std::string WithOrientation(const std::string& jpeg, int orientation,
                                   bool bigEndian = false) {
    auto u16 = [&](unsigned v) {
        return bigEndian ? std::string{char(v >> 8), char(v & 255)}
                         : std::string{char(v & 255), char(v >> 8)};
    };
    auto u32 = [&](std::uint32_t v) {
        return bigEndian ? u16(v >> 16) + u16(v & 0xFFFF) : u16(v & 0xFFFF) + u16(v >> 16);
    };
    std::string tiff = bigEndian ? std::string("MM") : std::string("II");
    tiff += u16(42) + u32(8);
    tiff += u16(1); // one entry
    tiff += u16(0x0112) + u16(3) + u32(1) + u16(static_cast<unsigned>(orientation)) + u16(0);
    tiff += u32(0); // no next directory
    const std::string payload = std::string("Exif\0\0", 6) + tiff;
    const std::size_t length = payload.size() + 2;
    std::string segment = "\xFF\xE1";
    segment += char(length >> 8);
    segment += char(length & 255);
    segment += payload;
    return jpeg.substr(0, 2) + segment + jpeg.substr(2);
}
