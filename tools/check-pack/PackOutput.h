// What a checked pack becomes: the resource script that embeds it in a screen saver, and its
// proof sheet.
#pragma once

#include "tools/check-pack/Pack.h"

// The pictures as RCDATA resources and their captions as string-table entries of the same ids,
// and the pack's credits (IDR_PACK_CREDITS of type RT_PACK_CREDITS, resources/ResourceIds.h,
// which the script includes), in Windows-1252 (code page 1252 named in the script, every other
// byte than printable ASCII written as an escape). The file is replaced whole or left as it was.
// False, with the reason in `error`, when it cannot be written.
bool WriteResourceScript(const Pack& pack, const std::string& path, std::string& error);

struct ProofOptions {
    int ScreenWidth = 1024;
    int ScreenHeight = 768;
    int Depth = 32; // bits per pixel
    bool Enlarge = false;
    bool UseSimd = false;
    int Columns = 4;
    int Scale = 1; // each screen reduced this many times
};

// One screen per picture as the show would show it there (decoded, turned upright, fitted,
// resampled, reduced to the depth) with its caption box where the show draws it, sized for the 8 x
// 16 font and without its letters; the screens side by side, Columns to a row, on a grey sheet,
// each reduced Scale times. A BMP picture when `path` ends in .bmp (in any case), else a binary
// PPM. False, with the reason in `error`, when it cannot be made.
bool WriteProofSheet(const Pack& pack, const ProofOptions& options, const std::string& path,
                     std::string& error);
