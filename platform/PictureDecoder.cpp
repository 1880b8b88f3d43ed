#include "platform/PictureDecoder.h"

#include "platform/Error.h"
#include "platform/FileSystem.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <new>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

// jpeglib.h needs FILE and size_t declared before it.
#include <gif_lib.h>
#include <jerror.h>
#include <jpeglib.h>
#include <png.h>
#include <webp/decode.h>

namespace {

// A progressive JPEG may split its data into any number of scans, each of which makes the
// decoder pass over the whole picture again; a few hundred bytes of scan headers could keep
// it busy for minutes. Real pictures use about ten.
constexpr int MaxJpegScans = 500;

// Where the bytes of a picture come from: a buffer in memory or an open file.
struct TInput {
    const unsigned char* Data = nullptr;
    std::size_t Size = 0;
    std::size_t Position = 0;
    std::FILE* File = nullptr;
    // Set when a read asked for more than was left.
    bool ReachedEnd = false;
};

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// The decoder that the first bytes ask for, or the one the name asks for.
TPictureFormat FormatOfContent(const unsigned char* head, std::size_t size, TPictureFormat byName) {
    if (size >= 3 && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF)
        return TPictureFormat::Jpeg;
    if (size >= 4 && std::memcmp(head, "GIF8", 4) == 0)
        return TPictureFormat::Gif;
    if (size >= 8 && std::memcmp(head, "\x89PNG\r\n\x1A\n", 8) == 0)
        return TPictureFormat::Png;
    if (size >= 12 && std::memcmp(head, "RIFF", 4) == 0 && std::memcmp(head + 8, "WEBP", 4) == 0)
        return TPictureFormat::Webp;
    return byName;
}

// Refuses a size with no pixels or with more than the limits allow.
void CheckDimensions(std::int64_t width, std::int64_t height, const TPictureLimits& limits,
                     const std::string& fileName) {
    if (width <= 0 || height <= 0)
        throw TError("The picture has no pixels (its width or height is 0)", fileName);
    if (width * height > limits.MaxPixels)
        throw TError("The picture is " + std::to_string(width) + " x " + std::to_string(height) +
                         " pixels, more than the " + std::to_string(limits.MaxPixels) +
                         " pixels allowed",
                     fileName);
}

bool DimensionsFit(std::int64_t width, std::int64_t height, const TPictureLimits& limits) {
    return width > 0 && height > 0 && width * height <= limits.MaxPixels;
}

// Makes room for the pixels; null when there is not enough memory. Called from inside the
// JPEG decoding, so it must not throw.
std::uint8_t* ReservePixels(void* owner, std::size_t bytes) noexcept {
    try {
        auto* pixels = static_cast<std::vector<std::uint8_t>*>(owner);
        pixels->assign(bytes, 0);
        return pixels->data();
    } catch (const std::bad_alloc&) {
        return nullptr;
    } catch (const std::length_error&) {
        return nullptr;
    }
}

[[noreturn]] void OutOfMemory(const std::string& fileName) {
    throw TError("Not enough memory for the picture", fileName);
}

// ---------------------------------------------------------------------------------------
// JPEG
//
// libjpeg reports a fatal error by calling error_exit, which must not return; its default
// ends the process. Ours longjmps back to the function that started the decoding. Throwing
// a C++ exception from error_exit instead would have to unwind through the library's C
// frames, which is only defined when the library was built with unwind tables for
// exceptions; nothing promises that for a system libjpeg (and libjpeg-turbo has assembly
// paths). longjmp is the library's own documented recovery, and it is correct here because:
// - the only frames it leaves are libjpeg's and our callbacks', which hold no C++ objects;
// - the function that calls setjmp (RunJpegJob) holds no object with a destructor and is
//   never inlined into its C++ caller; what it reads after longjmp (the decompressor, the
//   outcome, the message) lives in the job, in the caller's frame, and its own locals set
//   after setjmp are never read there, so no value made indeterminate by longjmp is used;
// - the pixel buffer is a vector owned by the caller, outside the frame that longjmp
//   returns to; it is only reached through a pointer from inside.

enum class TJpegOutcome { Done, LibraryError, Truncated, BadDimensions, OutOfMemory };

struct TJpegJob {
    // What to read and how far.
    TInput* Input;
    bool SizeOnly;
    TPictureLimits Limits;
    long MaxLibraryMemory;
    std::uint8_t* (*Reserve)(void* owner, std::size_t bytes) noexcept;
    void* Owner;
    // What came out.
    TJpegOutcome Outcome;
    unsigned Width;
    unsigned Height;
    char Message[JMSG_LENGTH_MAX];
    // The library's state and the way back from its errors.
    bool Truncated;
    jpeg_decompress_struct Info;
    jpeg_error_mgr Error;
    jpeg_progress_mgr Progress;
    std::jmp_buf Jump;
};

TJpegJob* JobOf(j_common_ptr info) {
    return static_cast<TJpegJob*>(info->client_data);
}

void JpegErrorExit(j_common_ptr info) {
    TJpegJob* job = JobOf(info);
    (*info->err->format_message)(info, job->Message);
    job->Outcome = TJpegOutcome::LibraryError;
    std::longjmp(job->Jump, 1);
}

// Warnings are counted, never printed; the end of the data is remembered.
void JpegEmitMessage(j_common_ptr info, int level) {
    if (level >= 0)
        return;
    info->err->num_warnings++;
    if (info->err->msg_code == JWRN_JPEG_EOF)
        JobOf(info)->Truncated = true;
}

void JpegOutputMessage(j_common_ptr) {}

void JpegProgress(j_common_ptr info) {
    if (!info->is_decompressor)
        return;
    if (reinterpret_cast<j_decompress_ptr>(info)->input_scan_number <= MaxJpegScans)
        return;
    TJpegJob* job = JobOf(info);
    std::snprintf(job->Message, sizeof job->Message,
                  "Progressive JPEG image has more than %d scans", MaxJpegScans);
    job->Outcome = TJpegOutcome::LibraryError;
    std::longjmp(job->Jump, 1);
}

// Turns one decoded row of 1 (grey), 3 (RGB) or 4 (CMYK) components per pixel, stored at
// the row's start, into RGBA in place. Works from the right end so that no component is
// overwritten before it is read.
void ExpandRow(std::uint8_t* row, unsigned width, int components, bool invertedCmyk) {
    if (components == 4) {
        for (unsigned x = 0; x < width; ++x) {
            std::uint8_t* p = row + std::size_t{x} * 4;
            // Adobe's CMYK JPEGs store the inks inverted (255 = no ink).
            unsigned c = invertedCmyk ? p[0] : 255u - p[0];
            unsigned m = invertedCmyk ? p[1] : 255u - p[1];
            unsigned y = invertedCmyk ? p[2] : 255u - p[2];
            unsigned k = invertedCmyk ? p[3] : 255u - p[3];
            p[0] = static_cast<std::uint8_t>((c * k + 127) / 255);
            p[1] = static_cast<std::uint8_t>((m * k + 127) / 255);
            p[2] = static_cast<std::uint8_t>((y * k + 127) / 255);
            p[3] = 255;
        }
        return;
    }
    for (unsigned x = width; x-- > 0;) {
        std::uint8_t r, g, b;
        if (components == 3) {
            r = row[std::size_t{x} * 3];
            g = row[std::size_t{x} * 3 + 1];
            b = row[std::size_t{x} * 3 + 2];
        } else {
            r = g = b = row[x];
        }
        std::uint8_t* p = row + std::size_t{x} * 4;
        p[0] = r;
        p[1] = g;
        p[2] = b;
        p[3] = 255;
    }
}

// Ends a job early with an outcome of our own (not through longjmp).
bool StopJpegJob(TJpegJob* job, TJpegOutcome outcome) {
    job->Outcome = outcome;
    jpeg_destroy_decompress(&job->Info);
    return false;
}

// The decoding itself, with the setjmp that libjpeg's errors return to. See above for what
// this function may and may not hold.
[[gnu::noinline]] bool RunJpegJob(TJpegJob* job) {
    j_decompress_ptr const info = &job->Info;
    info->err = jpeg_std_error(&job->Error);
    job->Error.error_exit = JpegErrorExit;
    job->Error.emit_message = JpegEmitMessage;
    job->Error.output_message = JpegOutputMessage;
    info->client_data = job;
    if (setjmp(job->Jump) != 0) {
        // info->mem is null when the decompressor was never created; destroy allows that.
        jpeg_destroy_decompress(info);
        return false;
    }
    jpeg_create_decompress(info);
    info->mem->max_memory_to_use = job->MaxLibraryMemory;
    job->Progress.progress_monitor = JpegProgress;
    info->progress = &job->Progress;
    if (job->Input->File)
        jpeg_stdio_src(info, job->Input->File);
    else
        jpeg_mem_src(info, job->Input->Data, static_cast<unsigned long>(job->Input->Size));

    jpeg_read_header(info, TRUE);
    job->Width = info->image_width;
    job->Height = info->image_height;
    if (job->Truncated)
        return StopJpegJob(job, TJpegOutcome::Truncated);
    if (!DimensionsFit(job->Width, job->Height, job->Limits))
        return StopJpegJob(job, TJpegOutcome::BadDimensions);
    if (job->SizeOnly) {
        jpeg_destroy_decompress(info);
        job->Outcome = TJpegOutcome::Done;
        return true;
    }

    switch (info->jpeg_color_space) {
    case JCS_GRAYSCALE:
        info->out_color_space = JCS_GRAYSCALE;
        break;
    case JCS_CMYK:
    case JCS_YCCK:
        info->out_color_space = JCS_CMYK;
        break;
    default:
        info->out_color_space = JCS_RGB;
        break;
    }
    jpeg_start_decompress(info);
    // A progressive picture has read all its data by now.
    if (job->Truncated)
        return StopJpegJob(job, TJpegOutcome::Truncated);
    const int components = info->output_components;
    if (info->output_width != job->Width || info->output_height != job->Height ||
        (components != 1 && components != 3 && components != 4)) {
        std::snprintf(job->Message, sizeof job->Message, "Unexpected output format");
        return StopJpegJob(job, TJpegOutcome::LibraryError);
    }
    const std::size_t stride = std::size_t{job->Width} * 4;
    std::uint8_t* const pixels = job->Reserve(job->Owner, stride * job->Height);
    if (!pixels)
        return StopJpegJob(job, TJpegOutcome::OutOfMemory);
    const bool invertedCmyk = info->saw_Adobe_marker;
    while (info->output_scanline < info->output_height) {
        JSAMPROW row = pixels + std::size_t{info->output_scanline} * stride;
        if (jpeg_read_scanlines(info, &row, 1) != 1 || job->Truncated)
            return StopJpegJob(job, TJpegOutcome::Truncated);
        ExpandRow(row, job->Width, components, invertedCmyk);
    }
    // No jpeg_finish_decompress: every pixel is there, and a missing end marker after the
    // last scan is no reason to refuse the picture.
    jpeg_destroy_decompress(info);
    job->Outcome = TJpegOutcome::Done;
    return true;
}

void DecodeJpeg(TInput& input, const std::string& fileName, const TPictureLimits& limits,
                TPicture& picture, bool sizeOnly) {
    TJpegJob job{};
    job.Input = &input;
    job.SizeOnly = sizeOnly;
    job.Limits = limits;
    // The coefficients of a progressive picture take up to 8 bytes a pixel (four components
    // at full resolution); the rest of libjpeg's memory is a few rows.
    std::int64_t libraryMemory = limits.MaxPixels * 8 + (std::int64_t{16} << 20);
    job.MaxLibraryMemory = static_cast<long>(std::min<std::int64_t>(libraryMemory, LONG_MAX));
    job.Reserve = ReservePixels;
    job.Owner = &picture.Pixels;
    if (RunJpegJob(&job)) {
        picture.Width = static_cast<int>(job.Width);
        picture.Height = static_cast<int>(job.Height);
        return;
    }
    picture.Pixels.clear();
    // Data that ends early makes libjpeg invent an end marker, after which it may also
    // complain that there is no image: the end of the data is the real cause.
    if (job.Truncated && job.Outcome == TJpegOutcome::LibraryError)
        job.Outcome = TJpegOutcome::Truncated;
    switch (job.Outcome) {
    case TJpegOutcome::Truncated:
        throw TError("The JPEG picture is truncated", fileName);
    case TJpegOutcome::BadDimensions:
        CheckDimensions(job.Width, job.Height, limits, fileName);
        break;
    case TJpegOutcome::OutOfMemory:
        OutOfMemory(fileName);
    case TJpegOutcome::LibraryError:
    case TJpegOutcome::Done:
        break;
    }
    job.Message[sizeof job.Message - 1] = '\0';
    throw TError(std::string("Cannot decode the JPEG picture: ") + job.Message, fileName);
}

// ---------------------------------------------------------------------------------------
// GIF: giflib reports errors by return values, so plain C++ with a guard will do.

int GifRead(GifFileType* gif, GifByteType* buffer, int length) {
    auto* input = static_cast<TInput*>(gif->UserData);
    if (length <= 0)
        return 0;
    std::size_t wanted = static_cast<std::size_t>(length);
    std::size_t got;
    if (input->File) {
        got = std::fread(buffer, 1, wanted, input->File);
    } else {
        got = std::min(wanted, input->Size - input->Position);
        std::memcpy(buffer, input->Data + input->Position, got);
        input->Position += got;
    }
    if (got < wanted)
        input->ReachedEnd = true;
    return static_cast<int>(got);
}

struct TGifCloser {
    void operator()(GifFileType* gif) const {
        int ignored = 0;
        DGifCloseFile(gif, &ignored);
    }
};

[[noreturn]] void GifFailure(int error, const TInput& input, const std::string& fileName) {
    if (input.ReachedEnd)
        throw TError("The GIF picture is truncated", fileName);
    // giflib also gives its read error for image data that is not where it should be.
    if (error == D_GIF_ERR_READ_FAILED)
        throw TError("Cannot decode the GIF picture: damaged image data", fileName);
    const char* text = GifErrorString(error);
    throw TError(std::string("Cannot decode the GIF picture: ") +
                     (text ? text : "error " + std::to_string(error)),
                 fileName);
}

// Draws the first frame, whose descriptor has just been read, onto the transparent canvas.
void DrawGifFrame(GifFileType* gif, int transparent, const TInput& input,
                  const std::string& fileName, const TPictureLimits& limits, TPicture& picture) {
    const GifImageDesc& frame = gif->Image;
    const ColorMapObject* colours = frame.ColorMap ? frame.ColorMap : gif->SColorMap;
    if (!colours)
        throw TError("The GIF picture has no colour table", fileName);
    const int frameWidth = frame.Width;
    const int frameHeight = frame.Height;
    if (frameWidth <= 0 || frameHeight <= 0)
        return;
    if (std::int64_t{frameWidth} * frameHeight > limits.MaxPixels)
        throw TError("The first frame of the GIF picture is " + std::to_string(frameWidth) + " x " +
                         std::to_string(frameHeight) + " pixels, more than the " +
                         std::to_string(limits.MaxPixels) + " pixels allowed",
                     fileName);
    std::vector<GifPixelType> line(static_cast<std::size_t>(frameWidth));
    // An interlaced frame stores every 8th row from row 0, then every 8th from row 4, every
    // 4th from row 2 and every 2nd from row 1.
    static constexpr int InterlacedStart[] = {0, 4, 2, 1};
    static constexpr int InterlacedStep[] = {8, 8, 4, 2};
    const int passes = frame.Interlace ? 4 : 1;
    for (int pass = 0; pass < passes; ++pass) {
        const int start = frame.Interlace ? InterlacedStart[pass] : 0;
        const int step = frame.Interlace ? InterlacedStep[pass] : 1;
        for (int row = start; row < frameHeight; row += step) {
            if (DGifGetLine(gif, line.data(), frameWidth) == GIF_ERROR)
                GifFailure(gif->Error, input, fileName);
            const int y = frame.Top + row;
            const int visible = std::min(frameWidth, picture.Width - frame.Left);
            if (y >= picture.Height || visible <= 0)
                continue;
            std::uint8_t* out =
                picture.Pixels.data() + (std::size_t(y) * picture.Width + frame.Left) * 4;
            for (int x = 0; x < visible; ++x, out += 4) {
                const int index = line[static_cast<std::size_t>(x)];
                if (index == transparent)
                    continue;
                if (index < colours->ColorCount) {
                    const GifColorType& c = colours->Colors[index];
                    out[0] = c.Red;
                    out[1] = c.Green;
                    out[2] = c.Blue;
                } else {
                    out[0] = out[1] = out[2] = 0;
                }
                out[3] = 255;
            }
        }
    }
}

void DecodeGif(TInput& input, const std::string& fileName, const TPictureLimits& limits,
               TPicture& picture, bool sizeOnly) {
    int error = 0;
    std::unique_ptr<GifFileType, TGifCloser> gif(DGifOpen(&input, GifRead, &error));
    if (!gif)
        GifFailure(error, input, fileName);
    CheckDimensions(gif->SWidth, gif->SHeight, limits, fileName);
    picture.Width = gif->SWidth;
    picture.Height = gif->SHeight;
    if (sizeOnly)
        return;
    try {
        picture.Pixels.assign(std::size_t(picture.Width) * picture.Height * 4, 0);
    } catch (const std::bad_alloc&) {
        OutOfMemory(fileName);
    }
    int transparent = NO_TRANSPARENT_COLOR;
    for (;;) {
        GifRecordType type = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif.get(), &type) == GIF_ERROR)
            GifFailure(gif->Error, input, fileName);
        if (type == IMAGE_DESC_RECORD_TYPE) {
            if (DGifGetImageDesc(gif.get()) == GIF_ERROR)
                GifFailure(gif->Error, input, fileName);
            DrawGifFrame(gif.get(), transparent, input, fileName, limits, picture);
            return;
        }
        if (type == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType* block = nullptr;
            if (DGifGetExtension(gif.get(), &code, &block) == GIF_ERROR)
                GifFailure(gif->Error, input, fileName);
            GraphicsControlBlock control;
            if (code == GRAPHICS_EXT_FUNC_CODE && block &&
                DGifExtensionToGCB(block[0], block + 1, &control) == GIF_OK)
                transparent = control.TransparentColor;
            while (block) {
                if (DGifGetExtensionNext(gif.get(), &block) == GIF_ERROR)
                    GifFailure(gif->Error, input, fileName);
            }
            continue;
        }
        if (type == TERMINATE_RECORD_TYPE)
            throw TError("The GIF picture holds no image", fileName);
        throw TError("Cannot decode the GIF picture: unexpected record", fileName);
    }
}

// ---------------------------------------------------------------------------------------
// PNG, through libpng's simplified reading: it keeps its own setjmp inside the library and
// reports every error by its return value and image.message, never printing anything. The
// pixels come out as 8-bit RGBA in sRGB whatever the file holds (palette, grey, 16 bits,
// gamma); an animated PNG gives its default picture.

struct TPngImage {
    png_image Image{};
    TPngImage() { Image.version = PNG_IMAGE_VERSION; }
    ~TPngImage() { png_image_free(&Image); }
    TPngImage(const TPngImage&) = delete;
    TPngImage& operator=(const TPngImage&) = delete;
};

[[noreturn]] void PngFailure(const png_image& image, const std::string& fileName) {
    const std::string message(image.message);
    // libpng's words for data that stops early, in the header, the pixels or before IEND.
    if (message.find("end of data") != std::string::npos ||
        message.find("Not enough image data") != std::string::npos ||
        message.find("Read Error") != std::string::npos ||
        message.find("truncated") != std::string::npos)
        throw TError("The PNG picture is truncated", fileName);
    throw TError("Cannot decode the PNG picture: " + message, fileName);
}

void DecodePng(TInput& input, const std::string& fileName, const TPictureLimits& limits,
               TPicture& picture, bool sizeOnly) {
    TPngImage png;
    const int begun = input.File
                          ? png_image_begin_read_from_stdio(&png.Image, input.File)
                          : png_image_begin_read_from_memory(&png.Image, input.Data, input.Size);
    if (!begun)
        PngFailure(png.Image, fileName);
    CheckDimensions(png.Image.width, png.Image.height, limits, fileName);
    picture.Width = static_cast<int>(png.Image.width);
    picture.Height = static_cast<int>(png.Image.height);
    if (sizeOnly)
        return;
    png.Image.format = PNG_FORMAT_RGBA;
    try {
        picture.Pixels.assign(std::size_t(picture.Width) * picture.Height * 4, 0);
    } catch (const std::bad_alloc&) {
        OutOfMemory(fileName);
    }
    if (!png_image_finish_read(&png.Image, nullptr, picture.Pixels.data(), 0, nullptr)) {
        picture.Pixels.clear();
        PngFailure(png.Image, fileName);
    }
}

// ---------------------------------------------------------------------------------------
// WebP, through libwebp's decoder into our own buffer. An animated WebP is refused: the
// decoder of still pictures does not read it, and a page shows still pictures.

[[noreturn]] void WebpFailure(VP8StatusCode status, const std::string& fileName) {
    switch (status) {
    case VP8_STATUS_NOT_ENOUGH_DATA:
        throw TError("The WebP picture is truncated", fileName);
    case VP8_STATUS_OUT_OF_MEMORY:
        OutOfMemory(fileName);
    case VP8_STATUS_UNSUPPORTED_FEATURE:
        throw TError("Cannot decode the WebP picture: it uses a feature this program does "
                     "not read",
                     fileName);
    default:
        throw TError("Cannot decode the WebP picture: damaged data", fileName);
    }
}

// The first bytes of a WebP file hold its size and features (the VP8X, VP8 or VP8L header
// within 30 bytes, a few more for chunks before it).
constexpr std::size_t WebpHeadBytes = 4096;

void DecodeWebp(TInput& input, const std::string& fileName, const TPictureLimits& limits,
                TPicture& picture, bool sizeOnly) {
    std::string head;
    if (input.File) {
        head.resize(WebpHeadBytes);
        head.resize(std::fread(head.data(), 1, head.size(), input.File));
        input.Data = reinterpret_cast<const unsigned char*>(head.data());
        input.Size = head.size();
    }
    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config))
        throw TError("Cannot decode the WebP picture: the library does not match", fileName);
    const VP8StatusCode status = WebPGetFeatures(input.Data, input.Size, &config.input);
    if (status != VP8_STATUS_OK)
        WebpFailure(status, fileName);
    if (config.input.has_animation)
        throw TError("The WebP picture is animated; only still pictures can be shown", fileName);
    CheckDimensions(config.input.width, config.input.height, limits, fileName);
    picture.Width = config.input.width;
    picture.Height = config.input.height;
    if (sizeOnly)
        return;
    const std::size_t stride = std::size_t(picture.Width) * 4;
    try {
        picture.Pixels.assign(stride * picture.Height, 0);
    } catch (const std::bad_alloc&) {
        OutOfMemory(fileName);
    }
    config.output.colorspace = MODE_RGBA;
    config.output.is_external_memory = 1;
    config.output.u.RGBA.rgba = picture.Pixels.data();
    config.output.u.RGBA.stride = static_cast<int>(stride);
    config.output.u.RGBA.size = picture.Pixels.size();
    const VP8StatusCode decoded = WebPDecode(input.Data, input.Size, &config);
    WebPFreeDecBuffer(&config.output);
    if (decoded != VP8_STATUS_OK) {
        picture.Pixels.clear();
        WebpFailure(decoded, fileName);
    }
}

// ---------------------------------------------------------------------------------------

void Decode(TInput& input, TPictureFormat format, const std::string& fileName,
            const TPictureLimits& limits, TPicture& picture, bool sizeOnly) {
    picture.Format = format;
    switch (format) {
    case TPictureFormat::Jpeg:
        DecodeJpeg(input, fileName, limits, picture, sizeOnly);
        break;
    case TPictureFormat::Gif:
        DecodeGif(input, fileName, limits, picture, sizeOnly);
        break;
    case TPictureFormat::Png:
        DecodePng(input, fileName, limits, picture, sizeOnly);
        break;
    case TPictureFormat::Webp:
        DecodeWebp(input, fileName, limits, picture, sizeOnly);
        break;
    }
}

TPicture DecodeBytes(std::string_view bytes, const std::string& fileName,
                     const TPictureLimits& limits, bool sizeOnly) {
    TPictureFormat byName = PictureFormatOfName(fileName);
    if (bytes.empty())
        throw TError("The picture file is empty", fileName);
    if (static_cast<std::uint64_t>(bytes.size()) > static_cast<std::uint64_t>(limits.MaxFileBytes))
        throw TError("The picture file is larger than " + std::to_string(limits.MaxFileBytes) +
                         " bytes",
                     fileName);
    TInput input;
    input.Data = reinterpret_cast<const unsigned char*>(bytes.data());
    input.Size = bytes.size();
    TPicture picture;
    Decode(input, FormatOfContent(input.Data, input.Size, byName), fileName, limits, picture,
           sizeOnly);
    return picture;
}

struct TFileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using TFileHandle = std::unique_ptr<std::FILE, TFileCloser>;

// Opens a picture file for reading after checking its name, kind and size.
TFileHandle OpenPictureFile(const std::string& fileName, const TPictureLimits& limits,
                            std::size_t& size, bool followLinks = false) {
    PictureFormatOfName(fileName);
    // A picture's name comes from a document: never through a link, never waiting on a FIFO
    // or a device (non-blocking until fstat has found a regular file, where it changes nothing).
    int fd = ::open(fileName.c_str(),
                    O_RDONLY | O_NONBLOCK | O_CLOEXEC | (followLinks ? 0 : O_NOFOLLOW));
    TFileHandle file(fd >= 0 ? ::fdopen(fd, "rb") : nullptr);
    if (!file) {
        const int error = errno;
        if (fd >= 0)
            ::close(fd);
        throw TError(std::string("Cannot open the picture file: ") + std::strerror(error),
                     fileName);
    }
    struct stat status {};
    if (::fstat(fileno(file.get()), &status) != 0 || !S_ISREG(status.st_mode))
        throw TError("The picture file is not an ordinary file", fileName);
    if (status.st_size == 0)
        throw TError("The picture file is empty", fileName);
    if (status.st_size > limits.MaxFileBytes)
        throw TError("The picture file is larger than " + std::to_string(limits.MaxFileBytes) +
                         " bytes",
                     fileName);
    size = static_cast<std::size_t>(status.st_size);
    return file;
}

} // namespace

TRgba TPicture::PixelAt(int x, int y) const {
    if (x < 0 || y < 0 || x >= Width || y >= Height)
        throw std::out_of_range("pixel outside the picture");
    const std::uint8_t* p = Pixels.data() + (std::size_t(y) * std::size_t(Width) + x) * 4;
    return {p[0], p[1], p[2], p[3]};
}

bool IsPictureFileName(const std::string& fileName) {
    std::string extension = Lower(FileExtension(fileName));
    return extension == ".jpg" || extension == ".jpeg" || extension == ".gif" ||
           extension == ".png" || extension == ".webp";
}

TPictureFormat PictureFormatOfName(const std::string& fileName) {
    std::string extension = Lower(FileExtension(fileName));
    if (extension == ".jpg" || extension == ".jpeg")
        return TPictureFormat::Jpeg;
    if (extension == ".gif")
        return TPictureFormat::Gif;
    if (extension == ".png")
        return TPictureFormat::Png;
    if (extension == ".webp")
        return TPictureFormat::Webp;
    throw TError("Not a picture file name: a picture must end in .jpg, .jpeg, .gif, .png or .webp",
                 fileName);
}

TPicture DecodePicture(std::string_view bytes, const std::string& fileName,
                       const TPictureLimits& limits) {
    return DecodeBytes(bytes, fileName, limits, false);
}

TPictureSize DecodePictureSize(std::string_view bytes, const std::string& fileName,
                               const TPictureLimits& limits) {
    return DecodeBytes(bytes, fileName, limits, true).Size();
}

std::string ReadPictureBytes(const std::string& fileName, TPictureLinks links,
                             const TPictureLimits& limits) {
    std::size_t size = 0;
    TFileHandle file = OpenPictureFile(fileName, limits, size, links == TPictureLinks::Follow);
    std::string bytes;
    try {
        bytes.resize(size);
    } catch (const std::bad_alloc&) {
        OutOfMemory(fileName);
    }
    if (std::fread(bytes.data(), 1, size, file.get()) != size)
        throw TError("Cannot read the picture file", fileName);
    return bytes;
}

std::string ReadPictureBytes(const std::string& fileName, const TPictureLimits& limits) {
    return ReadPictureBytes(fileName, TPictureLinks::Refuse, limits);
}

TPicture LoadPicture(const std::string& fileName, const TPictureLimits& limits) {
    const std::string bytes = ReadPictureBytes(fileName, TPictureLinks::Refuse, limits);
    return DecodePicture(bytes, fileName, limits);
}

TPictureSize ReadPictureSize(const std::string& fileName, const TPictureLimits& limits) {
    std::size_t size = 0;
    TFileHandle file = OpenPictureFile(fileName, limits, size);
    unsigned char head[12] = {};
    std::size_t got = std::fread(head, 1, sizeof head, file.get());
    if (std::fseek(file.get(), 0, SEEK_SET) != 0)
        throw TError("Cannot read the picture file", fileName);
    TInput input;
    input.File = file.get();
    TPicture picture;
    Decode(input, FormatOfContent(head, got, PictureFormatOfName(fileName)), fileName, limits,
           picture, true);
    return picture.Size();
}
