// What the frame and scan headers say, and the geometry that follows from it: the sampling
// layout, the MCU size and counts, the order of the blocks in an MCU.
#pragma once

#include <cstdint>

enum class SamplingLayout : int { Grey, H1V1, H2V1, H1V2, H2V2 };

struct JpegComponent {
    int id = 0;
    int h = 0;
    int v = 0;
    int quantTable = 0;
    // Blocks across and down the component, from the scan geometry.
    int blocksAcross = 0;
    int blocksDown = 0;
    // Huffman table slots named by the latest scan that holds the component: 0..3 DC, 4..7 AC
    // (larger selectors name no slot).
    int dcSlot = 0;
    int acSlot = 0;
};

struct JpegFrame {
    static constexpr int kMaxComponents = 4;
    static constexpr int kMaxBlocksPerMcu = 10;
    static constexpr int kMaxBlocksPerRow = 6144;

    int width = 0;
    int height = 0;
    bool progressive = false;
    int componentCount = 0;
    JpegComponent components[kMaxComponents];
    // From setUp().
    SamplingLayout layout = SamplingLayout::Grey;
    int hMax = 1;
    int vMax = 1;
    int mcuWidth = 0;
    int mcuHeight = 0;
    int blocksPerMcu = 0;
    int mcusPerRow = 0;
    int mcusPerColumn = 0;
    int maxBlocksPerRow = 0;

    // The layout, MCU size and counts: UnsupportedComponents, UnsupportedSampling,
    // TooManyBlocks.
    void setUp();
};

struct JpegScan {
    int componentCount = 0;
    // Frame component indices, in scan order.
    int components[JpegFrame::kMaxComponents] = {};
    // Ss and Se: the first and last coefficient (zig-zag index) the scan codes; Ah and Al.
    int bandStart = 0;
    int bandEnd = 0;
    int approxHigh = 0;
    int approxLow = 0;
    // From computeGeometry().
    int mcusPerRow = 0;
    int mcusPerColumn = 0;
    int blocksPerMcu = 0;
    // The frame component of each block of an MCU.
    int mcuOrder[JpegFrame::kMaxBlocksPerMcu] = {};

    // MCU counts and block order of this scan, and every frame component's block counts.
    void computeGeometry(JpegFrame& frame);
    // The scan of every frame component in frame order, as the rows are loaded from the planes.
    void makeFullFrame(JpegFrame& frame);
    bool holdsTheFrameInOrder(const JpegFrame& frame) const;
};

// Quantisation tables 0..3, each 64 16-bit entries allocated on first definition: in stream
// order for the integer transform, natural order and pre-scaled for the AAN transform.
class JpegQuantTables {
public:
    static constexpr int kSlots = 4;
    // Null for an undefined table or a number above 3.
    const uint16_t* table(int id) const { return id >= 0 && id < kSlots ? tables_[id] : nullptr; }
    void set(int id, uint16_t* table) { tables_[id] = table; }
    uint16_t* get(int id) const { return tables_[id]; }

private:
    uint16_t* tables_[kSlots] = {};
};
