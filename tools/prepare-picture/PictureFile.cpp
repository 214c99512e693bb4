#include "tools/prepare-picture/PictureFile.h"

#include "jpeg/Exif.h"
#include "jpeg/JpegDecoder.h"
#include "jpeg/JpegError.h"
#include "jpeg/JpegInputStream.h"
#include "slideshow/PictureDecoding.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

// Larger pictures are refused rather than risking an overflow: far beyond any screen.
constexpr long MaxSide = 1 << 15;

bool IsSpace(std::uint8_t c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// Reads one decimal header field, skipping white space and comments before it.
bool ReadField(const std::vector<std::uint8_t>& bytes, std::size_t& at, long& value) {
    for (;;) {
        while (at < bytes.size() && IsSpace(bytes[at]))
            ++at;
        if (at < bytes.size() && bytes[at] == '#') {
            while (at < bytes.size() && bytes[at] != '\n' && bytes[at] != '\r')
                ++at;
            continue;
        }
        break;
    }
    if (at >= bytes.size() || bytes[at] < '0' || bytes[at] > '9') return false;
    value = 0;
    while (at < bytes.size() && bytes[at] >= '0' && bytes[at] <= '9') {
        value = value * 10 + (bytes[at++] - '0');
        if (value > 1000000) return false;
    }
    return true;
}

std::string DecoderError(int code) {
    const char* name = jpegErrorName(code);
    return std::string("error ") + (name != nullptr ? name : "Unknown") + " (" +
           std::to_string(code) + ")";
}

bool ReadJpeg(const std::string& path, const std::vector<std::uint8_t>& bytes, bool useSimd,
              RasterImage& image, std::string& error, std::string& warning) {
    MemoryInputStream stream(bytes.data(), bytes.size());
    DecodedPicture outcome;
    if (!DecodePicture(stream, useSimd, image, outcome,
                       readExif(bytes.data(), bytes.size()).orientation)) {
        error = path + ": out of memory for the decoded picture";
        return false;
    }
    if (image.Width() == 0 || outcome.Lines == 0) {
        error = path + ": " + DecoderError(outcome.ErrorCode) +
                ": the screen saver would show no picture";
        return false;
    }
    if (outcome.ErrorCode != 0)
        warning = path + ": " + DecoderError(outcome.ErrorCode) + " after " +
                  std::to_string(outcome.Lines) + " of " + std::to_string(image.Height()) +
                  " lines; the rest is black";
    return true;
}

} // namespace

bool ReadPpm(const std::vector<std::uint8_t>& bytes, RasterImage& image, std::string& error) {
    std::size_t at = 2;
    long width = 0, height = 0, maxval = 0;
    if (bytes.size() < 2 || bytes[0] != 'P' || bytes[1] != '6') {
        error = "not a binary PPM (P6) file";
        return false;
    }
    if (!ReadField(bytes, at, width) || !ReadField(bytes, at, height) ||
        !ReadField(bytes, at, maxval) || at >= bytes.size() || !IsSpace(bytes[at])) {
        error = "damaged PPM header";
        return false;
    }
    ++at; // the single white-space character before the samples
    if (width < 1 || height < 1 || width > MaxSide || height > MaxSide) {
        error = "unsupported PPM size " + std::to_string(width) + "x" + std::to_string(height);
        return false;
    }
    if (maxval < 1 || maxval > 255) {
        error = "unsupported PPM maxval " + std::to_string(maxval) + " (1 to 255 are read)";
        return false;
    }
    const std::size_t samples = static_cast<std::size_t>(width) * height * 3;
    if (bytes.size() - at < samples) {
        error = "PPM data is cut short";
        return false;
    }
    Pixel* pixels = AllocatePixels(static_cast<int>(width), static_cast<int>(height));
    if (pixels == nullptr) {
        error = "out of memory";
        return false;
    }
    const std::uint8_t* in = bytes.data() + at;
    for (std::size_t i = 0; i < samples / 3; ++i, in += 3) {
        unsigned rgb[3];
        for (int c = 0; c < 3; ++c)
            rgb[c] =
                ((in[c] > maxval ? maxval : in[c]) * 255u + static_cast<unsigned>(maxval) / 2) /
                static_cast<unsigned>(maxval);
        pixels[i] = PackPixel(rgb[0], rgb[1], rgb[2]);
    }
    image.Replace(pixels, static_cast<int>(width), static_cast<int>(height));
    return true;
}

bool ReadPicture(const std::string& path, bool useSimd, RasterImage& image, std::string& error,
                 std::string& warning) {
    std::ifstream file(std::filesystem::u8path(path), std::ios::binary);
    if (!file) {
        error = "cannot open " + path;
        return false;
    }
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(file)),
                                          std::istreambuf_iterator<char>());
    if (bytes.size() >= 2 && bytes[0] == 'P' && bytes[1] == '6')
        return ReadPpm(bytes, image, error);
    if (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xD8)
        return ReadJpeg(path, bytes, useSimd, image, error, warning);
    error = path + ": neither a binary PPM (P6) nor a JPEG file";
    return false;
}

namespace {

// Writes the header and then the file's rows, `row`(n, bytes) filling its n-th row of `rowBytes`.
template <typename RowWriter>
bool WritePicture(const std::string& path, const std::string& header, const RasterImage& image,
                  std::size_t rowBytes, RowWriter row, std::string& error) {
    std::ofstream file(std::filesystem::u8path(path), std::ios::binary);
    file << header;
    std::vector<char> bytes(rowBytes);
    for (int y = 0; y < image.Height() && file; ++y) {
        row(y, bytes.data());
        file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    if (!file.flush()) {
        error = "cannot write " + path;
        return false;
    }
    return true;
}

std::string LittleEndian(std::uint32_t value, int bytes) {
    std::string text;
    for (int i = 0; i < bytes; ++i)
        text += static_cast<char>(value >> 8 * i & 0xFF);
    return text;
}

} // namespace

bool WritePpm(const std::string& path, const RasterImage& image, std::string& error) {
    const std::string header =
        "P6\n" + std::to_string(image.Width()) + " " + std::to_string(image.Height()) + "\n255\n";
    return WritePicture(
        path, header, image, static_cast<std::size_t>(image.Width()) * 3,
        [&](int y, char* out) {
            const Pixel* pixels = image.Pixels() + static_cast<std::size_t>(y) * image.Width();
            for (int x = 0; x < image.Width(); ++x, out += 3) {
                out[0] = static_cast<char>(PixelRed(pixels[x]));
                out[1] = static_cast<char>(PixelGreen(pixels[x]));
                out[2] = static_cast<char>(PixelBlue(pixels[x]));
            }
        },
        error);
}

bool WriteBmp(const std::string& path, const RasterImage& image, std::string& error) {
    const std::uint64_t rowBytes = (static_cast<std::uint64_t>(image.Width()) * 3 + 3) / 4 * 4;
    const std::uint64_t size = 54 + rowBytes * static_cast<std::uint64_t>(image.Height());
    if (size > 0xFFFFFFFFu) {
        error = path + ": too large for a BMP file";
        return false;
    }
    // BITMAPFILEHEADER and BITMAPINFOHEADER: 24 bits per pixel, uncompressed, rows bottom-up.
    const std::string header =
        "BM" + LittleEndian(static_cast<std::uint32_t>(size), 4) + LittleEndian(0, 4) +
        LittleEndian(54, 4) + LittleEndian(40, 4) + LittleEndian(image.Width(), 4) +
        LittleEndian(image.Height(), 4) + LittleEndian(1, 2) + LittleEndian(24, 2) +
        LittleEndian(0, 4) + LittleEndian(static_cast<std::uint32_t>(size - 54), 4) +
        LittleEndian(2835, 4) + LittleEndian(2835, 4) + LittleEndian(0, 4) + LittleEndian(0, 4);
    return WritePicture(
        path, header, image, static_cast<std::size_t>(rowBytes),
        [&](int n, char* out) {
            const int y = image.Height() - 1 - n;
            const Pixel* pixels = image.Pixels() + static_cast<std::size_t>(y) * image.Width();
            for (int x = 0; x < image.Width(); ++x, out += 3) {
                out[0] = static_cast<char>(PixelBlue(pixels[x]));
                out[1] = static_cast<char>(PixelGreen(pixels[x]));
                out[2] = static_cast<char>(PixelRed(pixels[x]));
            }
        },
        error);
}
