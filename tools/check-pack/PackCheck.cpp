#include "tools/check-pack/PackCheck.h"

#include "imaging/Orientation.h"
#include "jpeg/Exif.h"
#include "jpeg/JpegDecoder.h"
#include "slideshow/Caption.h"
#include "slideshow/PictureFit.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

// What one path of the decoder made of a file.
struct Outcome {
    int Error = 0, Lines = 0, Width = 0, Height = 0, Components = 0;
    SamplingLayout Layout = SamplingLayout::Grey;
    bool Progressive = false, Rgb = false;
    long Consumed = 0;
    bool operator==(const Outcome& o) const { return Error == o.Error && Lines == o.Lines; }
};

Outcome Decode(const std::vector<uint8_t>& bytes, bool useSimd) {
    MemoryInputStream stream(bytes.data(), bytes.size());
    JpegDecoder decoder;
    decoder.begin(&stream, useSimd);
    Outcome o;
    if (decoder.beginDecoding() == 0) {
        const uint8_t* line = nullptr;
        int length = 0;
        while (decoder.decode(line, length) == 0)
            ++o.Lines;
    }
    o.Error = decoder.errorCode();
    o.Width = decoder.width();
    o.Height = decoder.height();
    o.Components = decoder.componentCount();
    o.Layout = decoder.samplingLayout();
    o.Progressive = decoder.isProgressive();
    o.Rgb = decoder.isRgb();
    o.Consumed = decoder.bytesConsumed();
    decoder.releaseAll();
    return o;
}

std::string ErrorName(const Outcome& o) {
    const char* name = jpegErrorName(o.Error);
    std::string text = std::string(name ? name : "Unknown") + " (" + std::to_string(o.Error) + ")";
    if (o.Lines > 0)
        text += " after " + std::to_string(o.Lines) + " of " + std::to_string(o.Height) + " lines";
    return text;
}

// What a file that is no JPEG picture is, by its first bytes.
std::string KindOf(const std::vector<uint8_t>& b) {
    const auto starts = [&](std::size_t at, const char* magic) {
        const std::size_t n = std::strlen(magic);
        return b.size() >= at + n && std::memcmp(b.data() + at, magic, n) == 0;
    };
    if (b.empty()) return "an empty file";
    if (starts(0, "\x89PNG")) return "a PNG picture";
    if (starts(0, "GIF8")) return "a GIF picture";
    if (starts(0, "BM")) return "a BMP picture";
    if (starts(0, "II*") || starts(0, "MM")) return "a TIFF picture";
    if (starts(0, "RIFF") && starts(8, "WEBP")) return "a WebP picture";
    if (starts(4, "ftyp")) return "a HEIF or AVIF picture";
    return "not a picture the screen saver knows";
}

std::string Advice(const Outcome& o, const std::vector<uint8_t>& bytes) {
    switch (o.Error) {
    case NoStartOfImage:
        return "not a JPEG file (" + KindOf(bytes) + "): save it as JPEG";
    case ArithmeticCoding:
        return "arithmetic-coded: save it as an ordinary (Huffman-coded) JPEG";
    case BadPrecision:
        return "not 8 bits per sample (12-bit?): save it with 8 bits per sample";
    case UnsupportedComponents:
        return o.Components == 4 ? "CMYK or YCCK (four colour components): save it as RGB"
                                 : std::to_string(o.Components) +
                                       " colour components: save it as RGB or greyscale";
    case UnsupportedFrame:
        return "lossless or hierarchical JPEG: save it as an ordinary JPEG";
    case UnsupportedSampling:
        return "chroma sampling the decoder lacks: save it with 4:4:4, 4:2:2 or 4:2:0";
    case BadWidth:
    case BadHeight:
        return "more than 8192 pixels across or down: scale it down";
    case OutOfMemory:
        return "out of memory";
    default:
        return o.Lines > 0 ? "damaged: the rest of the picture would show black"
                           : "damaged JPEG data";
    }
}

const char* LayoutName(SamplingLayout layout) {
    switch (layout) {
    case SamplingLayout::Grey:
        return "greyscale";
    case SamplingLayout::H1V1:
        return "4:4:4";
    case SamplingLayout::H2V1:
        return "4:2:2";
    case SamplingLayout::H1V2:
        return "4:4:0";
    case SamplingLayout::H2V2:
        return "4:2:0";
    }
    return "";
}

// How the show turns a picture of each EXIF orientation upright.
const char* const kTurns[9] = {"",
                               "",
                               "mirrored",
                               "turned 180 degrees",
                               "mirrored and turned 180 degrees",
                               "mirrored and turned 90 degrees anticlockwise",
                               "turned 90 degrees clockwise",
                               "mirrored and turned 90 degrees clockwise",
                               "turned 90 degrees anticlockwise"};

void CheckCaption(Pack& pack, const PackPicture& picture, int width, int height) {
    if (picture.Caption.empty()) return;
    const TextSize text = MeasureCaption(picture.Caption);
    std::string misfits;
    bool wide = false, tall = false;
    for (const ScreenSize& screen : kCaptionScreens) {
        const PictureFit fit = FitPicture(width, height, screen.Width, screen.Height, false);
        const Rect box = PlaceCaption(text.Width, text.Height, fit.Width, fit.Height).Box;
        if (box.left >= 0 && box.top >= 0) continue;
        wide = wide || box.left < 0;
        tall = tall || box.top < 0;
        misfits += std::string(misfits.empty() ? "" : ", ") + std::to_string(screen.Width) + " x " +
                   std::to_string(screen.Height) + " (shown " + std::to_string(fit.Width) + " x " +
                   std::to_string(fit.Height) + ")";
    }
    if (!misfits.empty())
        pack.Add(pack.LineOf(picture), Severity::Warning,
                 std::string("caption too ") +
                     (wide && tall ? "wide and too tall"
                      : wide       ? "wide"
                                   : "tall") +
                     " for its picture at " + misfits + ": it is " + std::to_string(text.Width) +
                     " x " + std::to_string(text.Height) + " pixels in an 8 x 16 font, and " +
                     std::to_string(kCaptionEdgeDistance + kCaptionBoxMargin) +
                     " more each way with its box and the gap to the picture's edge");
}

} // namespace

TextSize MeasureCaption(const std::string& caption) {
    int lines = 1, widest = 0, characters = 0;
    for (std::size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] == '\n') {
            ++lines;
            characters = 0;
            continue;
        }
        // "&&" draws one ampersand; a single '&' underlines the next character and takes no room.
        if (caption[i] == '&' && (i + 1 == caption.size() || caption[i + 1] != '&')) continue;
        if (caption[i] == '&') ++i;
        widest = std::max(widest, ++characters);
    }
    return {widest * kCaptionCharWidth, lines * kCaptionLineHeight};
}

std::string CheckPicture(Pack& pack, const PackPicture& picture) {
    const std::string path = PackFile(pack.Folder, picture.Name);
    std::ifstream file(std::filesystem::u8path(path), std::ios::binary);
    if (!file) return "not read";
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)),
                                     std::istreambuf_iterator<char>());
    const Outcome plain = Decode(bytes, false), packed = Decode(bytes, true);
    if (plain.Error != 0 || packed.Error != 0) {
        const std::string names =
            plain == packed
                ? ErrorName(plain) + " on both paths"
                : "plain path " + (plain.Error ? ErrorName(plain) : "accepted") + ", packed path " +
                      (packed.Error ? ErrorName(packed) : "accepted");
        pack.Add(path, Severity::Error,
                 names + ": " + Advice(plain.Error != 0 ? plain : packed, bytes));
        return "rejected: " + ErrorName(plain.Error != 0 ? plain : packed);
    }
    if (plain.Consumed >= static_cast<long>(bytes.size()) &&
        (bytes.size() < 2 || bytes[bytes.size() - 2] != 0xFF || bytes.back() != 0xD9)) {
        pack.Add(path, Severity::Error,
                 "truncated: the file ends before the picture does (its lower part would show "
                 "what the decoder makes of missing data): copy it again");
        return "rejected: truncated";
    }
    const std::string size = std::to_string(plain.Width) + " x " + std::to_string(plain.Height);
    if (static_cast<long>(plain.Width) * plain.Height > kLargePicturePixels)
        pack.Add(path, Severity::Warning,
                 size + " is far larger than any screen: every showing decodes and scales all " +
                     std::to_string(4L * plain.Width * plain.Height >> 20) +
                     " MB of it; scale it down to the largest screen it is for");
    const int orientation = readExif(bytes.data(), bytes.size()).orientation;
    const bool sideways = SwapsSides(orientation);
    if (orientation != 1)
        pack.Add(path, Severity::Note,
                 "EXIF orientation " + std::to_string(orientation) + ": shown " +
                     kTurns[orientation] +
                     (sideways ? ", " + std::to_string(plain.Height) + " x " +
                                     std::to_string(plain.Width) + " upright"
                               : std::string()));
    CheckCaption(pack, picture, sideways ? plain.Height : plain.Width,
                 sideways ? plain.Width : plain.Height);
    return size + ", " + (plain.Progressive ? "progressive " : "sequential ") +
           LayoutName(plain.Layout) + (plain.Rgb ? " RGB" : "") + ": accepted";
}
