// Helpers of the decoder tests: bytes, files and the checked decoding run (jpeg/fuzz/DecoderRun.h).
#pragma once

#include "jpeg/fuzz/DecoderRun.h"
#include "tests/jpeg/JpegWriter.h"

#include <string>
#include <utility>
#include <vector>

using jpegfile::Bytes;
using jpegfile::join;
using jpegfile::u8;

Bytes readFile(const std::string& path);
// NAME.jpg of the corpus make-corpus.sh made.
Bytes corpusFile(const std::string& name);

// The decoder's variants: transform (integer or AAN) and bit reader (standard or packed).
extern const JpegDecoderOptions allVariants[4];

// A checked run of the file (or of source) whose broken promises fail the test; the stream fails
// its failingRead-th read (from 0), the heap refuses its refusedAllocation-th block (from 1).
DecoderRun decode(const Bytes& file, const JpegDecoderOptions& variant = {}, int failingRead = -1,
                  int refusedAllocation = 0, JpegInputStream* source = nullptr);

// What decodePixels stores for the file (after the first `byLine` lines through decode, stored as
// pixels), and the lines decoded in all; and the run's lines as the same 0x00RRGGBB pixels.
struct StoredPixels {
    std::vector<uint32_t> Pixels;
    int Lines = 0;
    bool operator==(const StoredPixels& other) const {
        return Pixels == other.Pixels && Lines == other.Lines;
    }
};
StoredPixels decodePixels(const Bytes& file, const JpegDecoderOptions& variant, int byLine);
StoredPixels pixelsOf(const DecoderRun& run);
