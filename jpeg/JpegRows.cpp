#include "jpeg/JpegRows.h"

#include "jpeg/JpegTransform.h"

#include <cstring>

void JpegRowBuffers::create(const JpegFrame& frame, JpegAllocationTable& blocks) {
    bytesPerPixel = frame.layout == SamplingLayout::Grey ? 1 : 4;
    lineLength = frame.width * bytesPerPixel;
    lineBufferLength = ((frame.width + 15) & ~15) * bytesPerPixel;
    lines[0] = blocks.allocateArray<uint8_t>(static_cast<size_t>(lineBufferLength));
    lines[1] = blocks.allocateArray<uint8_t>(static_cast<size_t>(lineBufferLength));
    size_t count = static_cast<size_t>(frame.maxBlocksPerRow);
    coefficients = blocks.allocateArray<int16_t>(count * 64);
    extents = blocks.allocateArray<uint8_t>(count);
    std::memset(extents, 64, count);
    samples = blocks.allocateArray<uint8_t>(count * 64);
}

void JpegTransformStage::bind(const uint16_t* const quant[JpegFrame::kMaxBlocksPerMcu]) {
    for (int b = 0; b < JpegFrame::kMaxBlocksPerMcu; ++b)
        quant_[b] = quant[b];
}

void JpegTransformStage::transformRow(const JpegRowBuffers& rows, const JpegFrame& frame) const {
    // The extents say where each block's coefficients end (64 for rows loaded from the planes).
    if (aan_) {
        const int16_t* quant[JpegFrame::kMaxBlocksPerMcu];
        for (int b = 0; b < frame.blocksPerMcu; ++b)
            quant[b] = reinterpret_cast<const int16_t*>(quant_[b]);
#if LANTERNMOOR_HAVE_SSE2
        if (sse2_) {
            jpegIdctAanRowSse2(rows.coefficients, rows.samples, frame.mcusPerRow,
                               frame.blocksPerMcu, quant, rows.extents);
            return;
        }
#endif
#if LANTERNMOOR_HAVE_MMX
        jpegIdctAanRowMmxSparse(rows.coefficients, rows.samples, frame.mcusPerRow,
                                frame.blocksPerMcu, quant, rows.extents);
#else
        jpegIdctAanRowPortable(rows.coefficients, rows.samples, frame.mcusPerRow,
                               frame.blocksPerMcu, quant);
#endif
        return;
    }
    // The row buffer keeps its coefficients: the extents rely on them. The plain path of the
    // 32-bit build uses no SSE2 (it runs where there is no MMX); natively every processor has it.
#if defined(__SSE2__)
    jpegIdctIntegerRowSse2(rows.coefficients, rows.samples, frame.maxBlocksPerRow);
#else
    jpegIdctIntegerRowSparse(rows.coefficients, rows.samples, frame.maxBlocksPerRow, rows.extents);
#endif
}

void JpegColourStage::setUp(bool packed, bool sse2) {
    rgb_ = false;
    packed_ = packed;
    sse2_ = sse2;
    buildJpegColourTables(tables_);
}

void JpegColourStage::convertLine(const JpegRowBuffers& rows, const JpegFrame& frame, int r,
                                  uint8_t* line0, uint8_t* line1, JpegOutput output, int first,
                                  int mcus) const {
    if (mcus < 0) mcus = frame.mcusPerRow - first;
    const int mcuBytes = 64 * frame.blocksPerMcu;
    const uint8_t* samples = rows.samples + static_cast<size_t>(first) * mcuBytes;
    if (frame.layout == SamplingLayout::Grey) {
        jpegGreyLine(samples, r, mcus, line0, output);
        return;
    }
    // Rows r and r + 1 of the same luma block share chroma row r / 2 in the layouts of two
    // luma blocks down.
    JpegLineSource source{samples, mcus, mcuBytes, 1, 8 * r, 64 + 8 * r};
    switch (frame.layout) {
    case SamplingLayout::H2V1:
        source.h = 2;
        source.chroma = 128 + 8 * r;
        break;
    case SamplingLayout::H1V2:
        source.luma = (r < 8 ? 0 : 64) + 8 * (r & 7);
        source.chroma = 128 + 8 * (r / 2);
        break;
    case SamplingLayout::H2V2:
        source.h = 2;
        source.luma = (r < 8 ? 0 : 128) + 8 * (r & 7);
        source.chroma = 256 + 8 * (r / 2);
        break;
    default:
        break;
    }
    if (rgb_) {
        jpegPassRgbLine(source, line0, line1, output);
        return;
    }
#if LANTERNMOOR_HAVE_SSE2
    if (packed_ && sse2_) {
        jpegConvertLineSse2(source, line0, line1, output);
        return;
    }
#endif
#if LANTERNMOOR_HAVE_MMX
    // The packed path may use MMX; the plain one runs where there is none.
    if (packed_) {
        jpegConvertLineMmx(source, line0, line1, output);
        return;
    }
#endif
    jpegConvertLine(tables_, source, line0, line1, output);
}
