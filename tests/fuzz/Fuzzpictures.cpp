// Any bytes as a JPEG, GIF, PNG or WebP picture: a whole picture or a TError naming the file,
// never a crash; a picture that decodes measures the same from its header alone, and its
// web-sized copies (the EXIF orientation read from the same bytes) are a JPEG, a PNG and a
// WebP of the size they promise.
#include "platform/Error.h"
#include "platform/PictureDecoder.h"
#include "platform/PictureScaler.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    // Smaller than the program's limits so that each input decodes quickly.
    TPictureLimits limits;
    limits.MaxPixels = 1 << 20;
    // Bytes that start with neither signature go to the decoder that the name asks for.
    for (const char* name : {"fuzz.jpg", "fuzz.gif", "fuzz.png", "fuzz.webp"}) {
        bool decoded = false;
        TPicture picture;
        try {
            picture = DecodePicture(bytes, name, limits);
            decoded = true;
        } catch (const TError& e) {
            if (e.FileName() != name || e.Message().empty())
                std::abort();
        }
        if (!decoded)
            continue;
        if (picture.Width <= 0 || picture.Height <= 0 ||
            std::int64_t{picture.Width} * picture.Height > limits.MaxPixels ||
            picture.Pixels.size() != std::size_t(picture.Width) * picture.Height * 4)
            std::abort();
        TPictureSize measured = DecodePictureSize(bytes, name, limits);
        if (measured.Width != picture.Width || measured.Height != picture.Height ||
            measured.Format != picture.Format)
            std::abort();
        const TPicture upright = Oriented(picture, JpegOrientation(bytes));
        const TPicture small = ScaledToFit(upright, 64);
        if (std::max(small.Width, small.Height) > 64 || small.Width <= 0 || small.Height <= 0)
            std::abort();
        const TPictureSize written = DecodePictureSize(EncodeJpeg(small, 85, name), "copy.jpg");
        if (written.Width != small.Width || written.Height != small.Height)
            std::abort();
        const TPicture png = DecodePicture(EncodePng(small, name), "copy.png");
        if (png.Width != small.Width || png.Height != small.Height || png.Pixels != small.Pixels)
            std::abort();
        const TPicture webp = DecodePicture(EncodeWebp(small, 85, true, name), "copy.webp");
        if (webp.Width != small.Width || webp.Height != small.Height)
            std::abort();
    }
    return 0;
}
