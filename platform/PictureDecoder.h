#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Decoding of the pictures the dialogs show: JPEG (through libjpeg), GIF (through giflib),
// PNG (through libpng) and WebP (through libwebp), with no user interface. A picture gives its
// natural width and height in pixels and its pixels as 8-bit RGBA for a preview. The copy of a
// picture into the Images folder is not made here: it is a byte-for-byte file copy
// (CopyFileReplacing).
//
// Which decoder reads a file is decided by its first bytes (FF D8 FF for JPEG, "GIF8" for
// GIF, the PNG signature, "RIFF" and "WEBP" for WebP); a file that starts with none of them
// is given to the decoder that its extension names, so that the error speaks of the format
// the user expected. Only names ending in .jpg, .jpeg, .gif, .png or .webp, in any letter
// case, are accepted.
//
// Every failure is a TError naming the file: a missing, unreadable, empty or oversized file,
// a picture with no pixels or too many, a truncated or damaged picture. Nothing is ever
// printed and the process never ends because of a picture.
//
// Truncated pictures are refused: when the data ends before the last pixel row has been
// decoded (libjpeg would fill the rest with grey, giflib stops), the result is the error
// "The JPEG picture is truncated" (GIF, PNG, WebP alike) rather than a half-grey preview. JPEG data
// that is damaged but complete (libjpeg recovers with a warning, as it does for the extraneous
// bytes some cameras write) is accepted as libjpeg decodes it; a JPEG whose pixel data is complete
// but whose final end marker is missing is accepted too.
//
// GIF: the first frame is drawn onto a transparent canvas of the logical screen's size
// (which is the natural size), clipped to that screen, with its local colour table or else
// the global one; interlaced frames are put in their rows; the transparent index of the
// graphics control extension before the frame leaves its pixels transparent. An index past
// the end of the colour table is drawn black; a frame of width or height 0 leaves the whole
// canvas transparent. A logical screen of width or height 0 is refused.
//
// PNG: every kind (palette, grey, 16 bits, with or without alpha or gamma) comes out as 8-bit
// RGBA in sRGB; an animated PNG gives its default picture. A PNG whose pixel data is whole
// but whose IEND is missing is accepted, as a JPEG without its end marker is. WebP: lossy,
// lossless and with alpha; an animated WebP is refused. The natural size of every format is
// the size the file stores; a JPEG's EXIF orientation is applied by whoever shows it
// (JpegOrientation, PictureScaler.h).

enum class TPictureFormat { Jpeg, Gif, Png, Webp };

// The bounds a picture must keep, checked before anything large is allocated.
struct TPictureLimits {
    // Bytes of the file read at most; a larger file is refused without reading it.
    std::int64_t MaxFileBytes = std::int64_t{64} << 20;
    // Pixels of the natural size (width times height): 64 megapixels, 256 MiB of RGBA. The
    // first frame of a GIF is bounded the same way even where it lies off the screen.
    std::int64_t MaxPixels = std::int64_t{64} << 20;
};

struct TPictureSize {
    TPictureFormat Format = TPictureFormat::Jpeg;
    int Width = 0;
    int Height = 0;
};

struct TRgba {
    std::uint8_t R = 0;
    std::uint8_t G = 0;
    std::uint8_t B = 0;
    std::uint8_t A = 0;
    bool operator==(const TRgba&) const = default;
};

class TPicture {
  public:
    TPictureFormat Format = TPictureFormat::Jpeg;
    int Width = 0;
    int Height = 0;
    // Width * Height * 4 bytes: R, G, B, A of each pixel, rows from top to bottom.
    std::vector<std::uint8_t> Pixels;

    // The pixel in column x, row y (both counted from 0 at the top left; must be inside).
    TRgba PixelAt(int x, int y) const;
    TPictureSize Size() const { return {Format, Width, Height}; }
};

// True for a name ending in .jpg, .jpeg, .gif, .png or .webp, in any letter case.
bool IsPictureFileName(const std::string& fileName);
// The format that the name's extension names; TError naming the file for any other name.
TPictureFormat PictureFormatOfName(const std::string& fileName);

// Whether a picture file is read through a symbolic link: only one the user chose in a file
// dialog, never one whose name comes from a document.
enum class TPictureLinks { Follow, Refuse };
// The bytes of a picture file, refused (naming the file) when it is not an ordinary file, is
// empty or larger than the limits allow.
std::string ReadPictureBytes(const std::string& fileName, TPictureLinks links,
                             const TPictureLimits& limits = {});

// The same for a name that comes from a document: never through a link.
std::string ReadPictureBytes(const std::string& fileName, const TPictureLimits& limits = {});

// Reads and decodes a picture file; never through a link.
TPicture LoadPicture(const std::string& fileName, const TPictureLimits& limits = {});
// Reads only as much of a picture file as its size needs: the JPEG headers up to the first
// scan, the GIF screen descriptor, the PNG chunks before the pixel data, the WebP header. A picture
// measured here may still fail to load later when its pixel data is damaged, but never for a reason
// of size.
TPictureSize ReadPictureSize(const std::string& fileName, const TPictureLimits& limits = {});

// The same from bytes in memory; fileName chooses the decoder as above and names the
// picture in errors.
TPicture DecodePicture(std::string_view bytes, const std::string& fileName,
                       const TPictureLimits& limits = {});
TPictureSize DecodePictureSize(std::string_view bytes, const std::string& fileName,
                               const TPictureLimits& limits = {});
