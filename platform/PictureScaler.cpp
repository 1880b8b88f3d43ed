#include "platform/PictureScaler.h"

#include "platform/Error.h"

#include <algorithm>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

// jpeglib.h needs FILE and size_t declared before it.
#include <jpeglib.h>
#include <png.h>
#include <webp/decode.h>
#include <webp/encode.h>

namespace {

constexpr int WebQuality = 85;

// ---- EXIF: APP1 "Exif\0\0", a TIFF header and the first directory's tag 0x0112.

unsigned Read16(const unsigned char* p, bool bigEndian) {
    return bigEndian ? (unsigned{p[0]} << 8) | p[1] : (unsigned{p[1]} << 8) | p[0];
}

std::uint32_t Read32(const unsigned char* p, bool bigEndian) {
    return bigEndian ? (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) |
                           (std::uint32_t{p[2]} << 8) | p[3]
                     : (std::uint32_t{p[3]} << 24) | (std::uint32_t{p[2]} << 16) |
                           (std::uint32_t{p[1]} << 8) | p[0];
}

int OrientationInTiff(const unsigned char* tiff, std::size_t size) {
    if (size < 8)
        return 1;
    bool bigEndian;
    if (tiff[0] == 'I' && tiff[1] == 'I')
        bigEndian = false;
    else if (tiff[0] == 'M' && tiff[1] == 'M')
        bigEndian = true;
    else
        return 1;
    if (Read16(tiff + 2, bigEndian) != 42)
        return 1;
    const std::uint32_t directory = Read32(tiff + 4, bigEndian);
    if (directory > size - 2 || directory < 8)
        return 1;
    const unsigned entries = Read16(tiff + directory, bigEndian);
    for (unsigned i = 0; i < entries; ++i) {
        const std::size_t at = std::size_t{directory} + 2 + std::size_t{i} * 12;
        if (at + 12 > size)
            return 1;
        if (Read16(tiff + at, bigEndian) != 0x0112)
            continue;
        // A SHORT (type 3), one of them, held in the first two bytes of the value.
        if (Read16(tiff + at + 2, bigEndian) != 3 || Read32(tiff + at + 4, bigEndian) != 1)
            return 1;
        const unsigned value = Read16(tiff + at + 8, bigEndian);
        return value >= 1 && value <= 8 ? static_cast<int>(value) : 1;
    }
    return 1;
}

// ---- Encoding. libjpeg reports a fatal error through error_exit, which must not return;
// as in the decoder, ours longjmps back to the function that started the job, which holds no
// object with a destructor (see PictureDecoder.cpp for why that is sound).

struct TEncodeJob {
    const TPicture* Picture;
    int Quality;
    unsigned char* Buffer; // malloc'd by libjpeg's memory destination
    unsigned long Size;
    char Message[JMSG_LENGTH_MAX];
    jpeg_compress_struct Info;
    jpeg_error_mgr Error;
    std::jmp_buf Jump;
};

void EncodeErrorExit(j_common_ptr info) {
    auto* job = static_cast<TEncodeJob*>(info->client_data);
    (*info->err->format_message)(info, job->Message);
    std::longjmp(job->Jump, 1);
}

void EncodeOutputMessage(j_common_ptr) {}

[[gnu::noinline]] bool RunEncodeJob(TEncodeJob* job) {
    j_compress_ptr const info = &job->Info;
    info->err = jpeg_std_error(&job->Error);
    job->Error.error_exit = EncodeErrorExit;
    job->Error.output_message = EncodeOutputMessage;
    info->client_data = job;
    if (setjmp(job->Jump) != 0) {
        jpeg_destroy_compress(info);
        return false;
    }
    jpeg_create_compress(info);
    jpeg_mem_dest(info, &job->Buffer, &job->Size);
    const TPicture& picture = *job->Picture;
    info->image_width = static_cast<JDIMENSION>(picture.Width);
    info->image_height = static_cast<JDIMENSION>(picture.Height);
    info->input_components = 3;
    info->in_color_space = JCS_RGB;
    jpeg_set_defaults(info);
    jpeg_set_quality(info, job->Quality, TRUE);
    jpeg_start_compress(info, TRUE);
    // One row of RGB from libjpeg's own pool, released with the compressor.
    JSAMPARRAY row = (*info->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(info), JPOOL_IMAGE,
                                                info->image_width * 3, 1);
    const std::size_t stride = std::size_t(picture.Width) * 4;
    while (info->next_scanline < info->image_height) {
        const std::uint8_t* in = picture.Pixels.data() + stride * info->next_scanline;
        JSAMPLE* out = row[0];
        for (int x = 0; x < picture.Width; ++x, in += 4, out += 3) {
            out[0] = in[0];
            out[1] = in[1];
            out[2] = in[2];
        }
        jpeg_write_scanlines(info, row, 1);
    }
    jpeg_finish_compress(info);
    jpeg_destroy_compress(info);
    return true;
}

// The source range [from, to) that output position i of n covers in a side of length size.
void Covered(int i, int n, int size, int& from, int& to) {
    from = static_cast<int>(std::int64_t{i} * size / n);
    to = static_cast<int>(std::int64_t{i + 1} * size / n);
    if (to <= from)
        to = from + 1;
}

} // namespace

int JpegOrientation(std::string_view bytes) {
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t size = bytes.size();
    if (size < 4 || data[0] != 0xFF || data[1] != 0xD8)
        return 1;
    std::size_t at = 2;
    while (at + 4 <= size) {
        if (data[at] != 0xFF)
            return 1;
        const unsigned char marker = data[at + 1];
        if (marker == 0xFF) { // fill byte
            ++at;
            continue;
        }
        if (marker == 0xDA || marker == 0xD9) // the picture data: no EXIF after it
            return 1;
        const std::size_t length = (std::size_t{data[at + 2]} << 8) | data[at + 3];
        if (length < 2 || at + 2 + length > size)
            return 1;
        const unsigned char* segment = data + at + 4;
        const std::size_t segmentSize = length - 2;
        if (marker == 0xE1 && segmentSize >= 6 && std::memcmp(segment, "Exif\0\0", 6) == 0)
            return OrientationInTiff(segment + 6, segmentSize - 6);
        at += 2 + length;
    }
    return 1;
}

TPicture Oriented(const TPicture& picture, int orientation) {
    if (orientation < 2 || orientation > 8)
        return picture;
    const int w = picture.Width, h = picture.Height;
    const bool swapped = orientation >= 5;
    TPicture result;
    result.Format = picture.Format;
    result.Width = swapped ? h : w;
    result.Height = swapped ? w : h;
    result.Pixels.resize(picture.Pixels.size());
    for (int y = 0; y < result.Height; ++y)
        for (int x = 0; x < result.Width; ++x) {
            int sx = x, sy = y;
            switch (orientation) {
            case 2: // mirrored
                sx = w - 1 - x;
                break;
            case 3: // turned half round
                sx = w - 1 - x;
                sy = h - 1 - y;
                break;
            case 4: // mirrored top to bottom
                sy = h - 1 - y;
                break;
            case 5: // mirrored along the diagonal
                sx = y;
                sy = x;
                break;
            case 6: // to be turned a quarter clockwise
                sx = y;
                sy = h - 1 - x;
                break;
            case 7: // mirrored along the other diagonal
                sx = w - 1 - y;
                sy = h - 1 - x;
                break;
            default: // 8: to be turned a quarter anticlockwise
                sx = w - 1 - y;
                sy = x;
                break;
            }
            std::memcpy(result.Pixels.data() + (std::size_t(y) * result.Width + x) * 4,
                        picture.Pixels.data() + (std::size_t(sy) * w + sx) * 4, 4);
        }
    return result;
}

TPicture ScaledToFit(const TPicture& picture, int maxSide) {
    const int w = picture.Width, h = picture.Height;
    const int longer = std::max(w, h);
    if (maxSide <= 0 || longer <= maxSide)
        return picture;
    const auto side = [&](int length) {
        return std::max(1,
                        static_cast<int>((std::int64_t{length} * maxSide + longer / 2) / longer));
    };
    const int nw = side(w), nh = side(h);
    // Across first (nw x h), then down (nw x nh); each pass takes the mean of what it covers.
    std::vector<std::uint8_t> across(std::size_t(nw) * h * 4);
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* in = picture.Pixels.data() + std::size_t(y) * w * 4;
        std::uint8_t* out = across.data() + std::size_t(y) * nw * 4;
        for (int x = 0; x < nw; ++x) {
            int from, to;
            Covered(x, nw, w, from, to);
            for (int c = 0; c < 4; ++c) {
                unsigned sum = 0;
                for (int sx = from; sx < to; ++sx)
                    sum += in[std::size_t(sx) * 4 + c];
                const unsigned count = static_cast<unsigned>(to - from);
                out[std::size_t(x) * 4 + c] = static_cast<std::uint8_t>((sum + count / 2) / count);
            }
        }
    }
    TPicture result;
    result.Format = picture.Format;
    result.Width = nw;
    result.Height = nh;
    result.Pixels.resize(std::size_t(nw) * nh * 4);
    std::vector<unsigned> sums(std::size_t(nw) * 4);
    for (int y = 0; y < nh; ++y) {
        int from, to;
        Covered(y, nh, h, from, to);
        std::fill(sums.begin(), sums.end(), 0u);
        for (int sy = from; sy < to; ++sy) {
            const std::uint8_t* in = across.data() + std::size_t(sy) * nw * 4;
            for (std::size_t i = 0; i < sums.size(); ++i)
                sums[i] += in[i];
        }
        const unsigned count = static_cast<unsigned>(to - from);
        std::uint8_t* out = result.Pixels.data() + std::size_t(y) * nw * 4;
        for (std::size_t i = 0; i < sums.size(); ++i)
            out[i] = static_cast<std::uint8_t>((sums[i] + count / 2) / count);
    }
    return result;
}

std::string EncodeJpeg(const TPicture& picture, int quality, const std::string& fileName) {
    if (picture.Width <= 0 || picture.Height <= 0 ||
        picture.Pixels.size() != std::size_t(picture.Width) * picture.Height * 4)
        throw TError("The picture to write has no pixels", fileName);
    TEncodeJob job{};
    job.Picture = &picture;
    job.Quality = std::clamp(quality, 1, 100);
    const bool done = RunEncodeJob(&job);
    std::string bytes;
    if (done && job.Buffer)
        bytes.assign(reinterpret_cast<const char*>(job.Buffer), job.Size);
    std::free(job.Buffer);
    if (!done) {
        job.Message[sizeof job.Message - 1] = '\0';
        throw TError(std::string("Cannot write the JPEG picture: ") + job.Message, fileName);
    }
    return bytes;
}

namespace {

void CheckPixels(const TPicture& picture, const std::string& fileName) {
    if (picture.Width <= 0 || picture.Height <= 0 ||
        picture.Pixels.size() != std::size_t(picture.Width) * picture.Height * 4)
        throw TError("The picture to write has no pixels", fileName);
}

bool AllOpaque(const TPicture& picture) {
    for (std::size_t i = 3; i < picture.Pixels.size(); i += 4)
        if (picture.Pixels[i] != 255)
            return false;
    return true;
}

struct TWebpFree {
    void operator()(std::uint8_t* data) const { WebPFree(data); }
};

} // namespace

std::string EncodePng(const TPicture& picture, const std::string& fileName) {
    CheckPixels(picture, fileName);
    const bool opaque = AllOpaque(picture);
    std::vector<std::uint8_t> rgb;
    const void* pixels = picture.Pixels.data();
    if (opaque) {
        rgb.resize(std::size_t(picture.Width) * picture.Height * 3);
        for (std::size_t i = 0, o = 0; i < picture.Pixels.size(); i += 4, o += 3)
            std::memcpy(rgb.data() + o, picture.Pixels.data() + i, 3);
        pixels = rgb.data();
    }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(picture.Width);
    image.height = static_cast<png_uint_32>(picture.Height);
    image.format = opaque ? PNG_FORMAT_RGB : PNG_FORMAT_RGBA;
    png_alloc_size_t size = 0;
    std::string bytes;
    // The first call measures, the second writes.
    bool done = png_image_write_to_memory(&image, nullptr, &size, 0, pixels, 0, nullptr) != 0;
    if (done) {
        bytes.resize(size);
        done = png_image_write_to_memory(&image, bytes.data(), &size, 0, pixels, 0, nullptr) != 0;
        bytes.resize(size);
    }
    const std::string message = image.message;
    png_image_free(&image);
    if (!done)
        throw TError("Cannot write the PNG picture: " + message, fileName);
    return bytes;
}

std::string EncodeWebp(const TPicture& picture, int quality, bool lossless,
                       const std::string& fileName) {
    CheckPixels(picture, fileName);
    std::uint8_t* out = nullptr;
    const int stride = picture.Width * 4;
    const std::size_t size =
        lossless ? WebPEncodeLosslessRGBA(picture.Pixels.data(), picture.Width, picture.Height,
                                          stride, &out)
                 : WebPEncodeRGBA(picture.Pixels.data(), picture.Width, picture.Height, stride,
                                  static_cast<float>(std::clamp(quality, 1, 100)), &out);
    const std::unique_ptr<std::uint8_t, TWebpFree> owned(out);
    if (size == 0 || !out)
        throw TError("Cannot write the WebP picture", fileName);
    return std::string(reinterpret_cast<const char*>(out), size);
}

bool IsLosslessWebp(std::string_view bytes) {
    WebPBitstreamFeatures features;
    return WebPGetFeatures(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(),
                           &features) == VP8_STATUS_OK &&
           features.format == 2;
}

TScaledPicture ScalePicture(std::string_view bytes, int maxSide, TPictureFormat format,
                            const std::string& fileName, const TPictureLimits& limits) {
    const TPicture decoded = DecodePicture(bytes, fileName, limits);
    const int orientation = decoded.Format == TPictureFormat::Jpeg ? JpegOrientation(bytes) : 1;
    const TPicture scaled = ScaledToFit(Oriented(decoded, orientation), maxSide);
    TScaledPicture copy{{}, format, scaled.Width, scaled.Height};
    switch (format) {
    case TPictureFormat::Jpeg:
        copy.Bytes = EncodeJpeg(scaled, WebQuality, fileName);
        break;
    case TPictureFormat::Png:
        copy.Bytes = EncodePng(scaled, fileName);
        break;
    case TPictureFormat::Webp:
        copy.Bytes =
            EncodeWebp(scaled, WebQuality,
                       decoded.Format == TPictureFormat::Webp && IsLosslessWebp(bytes), fileName);
        break;
    case TPictureFormat::Gif:
        throw TError("Cannot write a GIF picture", fileName);
    }
    return copy;
}

TScaledJpeg ScaleJpeg(std::string_view bytes, int maxSide, const std::string& fileName,
                      const TPictureLimits& limits) {
    TScaledPicture copy = ScalePicture(bytes, maxSide, TPictureFormat::Jpeg, fileName, limits);
    return {std::move(copy.Bytes), copy.Width, copy.Height};
}
