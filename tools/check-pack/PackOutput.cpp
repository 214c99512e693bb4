#include "tools/check-pack/PackOutput.h"

#include "imaging/RasterImage.h"
#include "imaging/Resampler.h"
#include "jpeg/Exif.h"
#include "jpeg/JpegInputStream.h"
#include "slideshow/Caption.h"
#include "slideshow/PicturePreparation.h"
#include "tools/check-pack/PackCheck.h"
#include "tools/prepare-picture/PictureFile.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace fs = std::filesystem;

namespace {

// A string of the resource script: quotes doubled, backslashes and line breaks escaped, and
// every byte outside printable ASCII as a three-digit octal escape.
std::string Quoted(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (c == '"') {
            out += "\"\"";
        } else if (c == '\\') {
            out += "\\\\";
        } else if (c == '\n') {
            out += "\\n";
        } else if (byte < 0x20 || byte >= 0x7F) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\%03o", byte);
            out += escape;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

// The caption box as the show draws it: a black outline, and inside it every other pixel black
// (the checkerboard brush's black pixels, where x + y is odd, masked onto the picture).
void DrawCaptionBox(RasterImage& image, const std::string& caption) {
    if (caption.empty()) return;
    const TextSize text = MeasureCaption(caption);
    const Rect box = PlaceCaption(text.Width, text.Height, image.Width(), image.Height()).Box;
    for (int y = std::max(box.top, 0); y < std::min(box.bottom, image.Height()); ++y)
        for (int x = std::max(box.left, 0); x < std::min(box.right, image.Width()); ++x)
            if (x == box.left || x == box.right - 1 || y == box.top || y == box.bottom - 1 ||
                (x + y) % 2 == 1)
                image.Pixels()[static_cast<std::size_t>(y) * image.Width() + x] = 0;
}

} // namespace

bool WriteResourceScript(const Pack& pack, const std::string& path, std::string& error) {
    error.clear();
    const std::string temporary = path + ".part";
    {
        std::ofstream out(fs::u8path(temporary), std::ios::binary | std::ios::trunc);
        out << "// The pictures of " << pack.Folder
            << " and their captions, written by check-pack.\n#pragma code_page(1252)\n"
               "#include \"ResourceIds.h\"\n\nSTRINGTABLE\nBEGIN\n";
        for (const PackPicture& picture : pack.Pictures)
            if (!picture.Caption.empty())
                out << "    " << picture.Id << " " << Quoted(picture.Caption) << "\n";
        out << "END\n\n";
        for (const PackPicture& picture : pack.Pictures)
            out << picture.Id << " RCDATA "
                << Quoted(fs::absolute(fs::u8path(PackFile(pack.Folder, picture.Name))).u8string())
                << "\n";
        if (!pack.Credits.empty()) {
            out << "\n// The pack's credits, one string a line.\nIDR_PACK_CREDITS RT_PACK_CREDITS\n"
                   "BEGIN\n";
            for (std::size_t at = 0; at < pack.Credits.size();) {
                const std::size_t end = pack.Credits.find("\r\n", at);
                const std::size_t next = end == std::string::npos ? pack.Credits.size() : end + 2;
                out << "    " << Quoted(pack.Credits.substr(at, next - at)) << "\n";
                at = next;
            }
            out << "END\n";
        }
        if (!out.flush()) error = "cannot write " + temporary;
    }
    std::error_code failure;
    if (error.empty()) fs::rename(fs::u8path(temporary), fs::u8path(path), failure);
    if (error.empty() && failure) error = "cannot write " + path + ": " + failure.message();
    if (!error.empty()) fs::remove(fs::u8path(temporary), failure);
    return error.empty();
}

bool WriteProofSheet(const Pack& pack, const ProofOptions& options, const std::string& path,
                     std::string& error) {
    error.clear();
    const int width = options.ScreenWidth, height = options.ScreenHeight;
    const int cellWidth = std::max(1, width / options.Scale);
    const int cellHeight = std::max(1, height / options.Scale);
    const int count = static_cast<int>(pack.Pictures.size());
    const int columns = std::max(1, std::min(options.Columns, count));
    const int rows = std::max(1, (count + columns - 1) / columns);
    constexpr int kGap = 8;
    constexpr Pixel kSheetGrey = 0x606060;
    RasterImage sheet(
        AllocatePixels(columns * (cellWidth + kGap) + kGap, rows * (cellHeight + kGap) + kGap),
        columns * (cellWidth + kGap) + kGap, rows * (cellHeight + kGap) + kGap);
    std::vector<Pixel> screen(static_cast<std::size_t>(width) * height);
    if (sheet.Pixels() == nullptr)
        error = "out of memory for the proof sheet";
    else
        std::fill(sheet.Pixels(), sheet.Pixels() + sheet.Width() * sheet.Height(), kSheetGrey);
    for (int i = 0; i < count && error.empty(); ++i) {
        const PackPicture& picture = pack.Pictures[static_cast<std::size_t>(i)];
        std::ifstream file(fs::u8path(PackFile(pack.Folder, picture.Name)), std::ios::binary);
        const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)),
                                         std::istreambuf_iterator<char>());
        MemoryInputStream stream(bytes.data(), bytes.size());
        RasterImage image;
        Rect place{};
        std::fill(screen.begin(), screen.end(), 0);
        if (PreparePictureImage(stream, width, height, options.Enlarge, options.Depth,
                                options.UseSimd, image, place,
                                readExif(bytes.data(), bytes.size()).orientation)) {
            DrawCaptionBox(image, picture.Caption);
            for (int y = 0; y < image.Height(); ++y)
                std::copy_n(image.Pixels() + static_cast<std::size_t>(y) * image.Width(),
                            image.Width(),
                            screen.begin() + static_cast<long>(place.top + y) * width + place.left);
        }
        RasterImage cell;
        if (options.Scale > 1)
            cell.Replace(PlainResampler(screen.data(), width, height).Resize(cellWidth, cellHeight),
                         cellWidth, cellHeight);
        const Pixel* pixels = options.Scale > 1 ? cell.Pixels() : screen.data();
        if (pixels == nullptr) error = "out of memory for the proof sheet";
        const int left = kGap + i % columns * (cellWidth + kGap);
        const int top = kGap + i / columns * (cellHeight + kGap);
        for (int y = 0; y < cellHeight && pixels != nullptr; ++y)
            std::copy_n(pixels + static_cast<std::size_t>(y) * cellWidth, cellWidth,
                        sheet.Pixels() + static_cast<std::size_t>(top + y) * sheet.Width() + left);
    }
    if (!error.empty()) return false;
    const std::string extension = fs::u8path(path).extension().u8string();
    const bool bmp = extension.size() == 4 && (extension[1] | 0x20) == 'b' &&
                     (extension[2] | 0x20) == 'm' && (extension[3] | 0x20) == 'p';
    return bmp ? WriteBmp(path, sheet, error) : WritePpm(path, sheet, error);
}
