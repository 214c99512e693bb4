// A pull decoder from a JPEG byte stream to top-down scan lines: 8-bit Huffman-coded sequential
// and progressive frames, greyscale, Y/Cb/Cr or R/G/B in five sampling layouts.
//
//   decoder.begin(&stream, processorInfo().hasMmx);
//   if (decoder.beginDecoding() == 0)
//       while (decoder.decode(line, length) == 0) use(line, length);
//   decoder.releaseAll();
#pragma once

#include "jpeg/JpegColour.h"
#include "jpeg/JpegError.h"
#include "jpeg/JpegInputStream.h"

#include <cstddef>
#include <cstdint>

// Where the decoder's blocks come from. Tests substitute one that counts or refuses.
class JpegHeap {
public:
    // A zero-filled block, or null when the heap refuses.
    virtual void* allocateZeroed(size_t bytes) = 0;
    virtual void release(void* block) = 0;

protected:
    ~JpegHeap() = default;
};

// calloc and free.
JpegHeap& jpegProcessHeap();

enum class SamplingLayout : int { Grey, H1V1, H2V1, H1V2, H2V2 };

// The variants of the decoder's arithmetic. begin(stream, useSimd) sets both flags from the one
// permission; tests set them apart to compare the bit readers on the same transform.
struct JpegDecoderOptions {
    // The 16-bit-lane AAN transform with pre-scaled quantisation tables (MMX in the Windows
    // build), instead of the integer LL&M transform with dequantisation in the Huffman stores.
    bool simdTransform = false;
    // The 64-bit bit buffer refilled six bytes at a time (MMX in the Windows build).
    bool simdBitReader = false;
    // Null: the process heap.
    JpegHeap* heap = nullptr;
};

class JpegDecoder {
public:
    static constexpr int InputBufferSize = 4096;
    static constexpr int PushBackMargin = 128;
    static constexpr int AllocationSlots = 100;
    static constexpr int MaxBlocksPerMcu = 10;
    static constexpr int MaxBlocksPerRow = 6144;

    // No constructor does any work: begin initialises every field.
    void begin(JpegInputStream* stream, bool useSimd);
    void begin(JpegInputStream* stream, const JpegDecoderOptions& options);
    // 0 on success (also when called again), -1 on an error now or earlier.
    int beginDecoding();
    // 0: one line delivered; 1: all lines delivered; -1: not ready or failed earlier; -227: an
    // error occurred during this call (errorCode() holds it).
    int decode(const uint8_t*& linePointer, int& lineLength);
    // Detaches the stream (if still attached) and frees every block. Safe in any state.
    void releaseAll();

    int width() const { return width_; }
    int height() const { return height_; }
    int componentCount() const { return componentCount_; }
    SamplingLayout samplingLayout() const { return layout_; }
    int bytesPerPixel() const { return bytesPerPixel_; }
    int errorCode() const { return errorCode_; }
    bool isProgressive() const { return progressive_; }
    // The three components are R, G and B, passed through unchanged, rather than Y, Cb and Cr:
    // an Adobe marker says so (transform 0), or without a JFIF or Adobe marker the components are
    // named 'R', 'G' and 'B'. Known once beginDecoding succeeded.
    bool isRgb() const { return rgb_; }
    // File bytes consumed, final once every line has been delivered.
    long bytesConsumed() const { return totalBytes_; }
    // Blocks currently recorded in the allocation table.
    int allocatedBlocks() const;

private:
    struct HuffmanDecodeTable {
        // >= 0: the symbol of a code of at most 8 bits; < 0: a tree entry for longer codes.
        int32_t lookup[256];
        // Code length per symbol (0: the symbol has no code).
        uint8_t length[256];
        // Bit 1 goes to tree[-e - 1], bit 0 to tree[-e]; >= 0 is the symbol.
        int32_t tree[512];
        // lookup and length folded: (length << 8) | symbol for codes of at most 8 bits (and for
        // patterns no code reaches), -1 where the tree takes over.
        int16_t fast[256];
        // AC symbols with a magnitude whose code and extra bits fit the next 10 bits, decoded
        // at once: (value << 16) | (run << 8) | bits taken; 0 where the symbol takes the
        // ordinary path.
        int32_t fastAc[1024];
    };

    // One coefficient plane of a component: DC plane (1 value per block) or AC plane (64).
    struct CoefficientPlane {
        int16_t* data;
        int blocksAcross;
        int blocksDown;
        int valuesPerBlock;
    };

    struct Component {
        int id;
        int h;
        int v;
        int quantTable;
        int blocksAcross;
        int blocksDown;
        int dcSlot;
        int acSlot;
        int32_t predictor;
        CoefficientPlane dcPlane;
        CoefficientPlane acPlane;
        // Block row the next loaded MCU row starts at.
        int loadRow;
    };

    struct Failure {
        int code;
    };

    struct StandardBitReader;
    template <class Register> struct PackedBitReader;
    struct MmxBitReader;

    // Error path: record the code, detach the stream, free everything, unwind to the public call.
    [[noreturn]] void fail(int code);
    void detachStream();
    void freeAll();
    void* allocate(size_t bytes);

    // Byte source.
    void refill();
    uint8_t nextByte();
    uint8_t nextByteSlow(bool& synthetic);
    void pushBack(uint8_t byte);
    uint8_t entropyByte() {
        // Most bytes are neither FF nor the last one buffered.
        if (inputPos_ + 1 < inputEnd_ && input_[inputPos_] != 0xFF) return input_[inputPos_++];
        return entropyByteSlow();
    }
    uint8_t entropyByteSlow();
    int read16();
    void skipBytes(long count);

    // Marker structure.
    void findStartOfImage();
    int readMarkers();
    void readHuffmanTables();
    void readQuantisationTables();
    void readFrameHeader();
    void readScanHeader();
    long readColourMarker(int code, long length);
    bool codedAsRgb() const;
    void setUpFrame();
    void computeScanGeometry();
    void startScan();
    void buildDecodeTable(int slot);

    // Sequential entropy decoding of one MCU row into the row buffer.
    void decodeMcuRow();
    template <class Reader, bool Dequantise> void decodeMcuRowWith();
    template <class Reader> void processRestart(Reader& reader);
    void decodeMcuRowMmx();
    void decodeMcuRowMmxQuantised();

    // Coefficient planes: progressive files and non-interleaved sequential ones
    // (JpegPlanes.cpp).
    void createPlanes();
    int16_t* planeBlock(CoefficientPlane& plane, int x, int y);
    void decodeScansIntoPlanes(bool scanHeaderRead);
    void checkProgressiveScan();
    void decodeScanIntoPlanes();
    template <class Procedure> void forEachScanBlock(StandardBitReader& reader, Procedure block);
    void decodeSequentialScan(StandardBitReader& reader);
    void decodeDcFirst(StandardBitReader& reader);
    void decodeDcRefinement(StandardBitReader& reader);
    void decodeAcFirst(StandardBitReader& reader);
    void decodeAcRefinement(StandardBitReader& reader);
    void makeFullFrameCurrent();
    void checkScanTables();
    void bindBlockTables();
    void primeEntropyReader();
    void dropBits();
    void loadRowFromPlanes();

    void transformRow();
    void buildColourTables();
    void convertLine(int row, uint8_t* line0, uint8_t* line1);
    void finishImage();

    int width_;
    int height_;
    JpegInputStream* stream_;
    bool progressive_;
    int errorCode_;
    JpegHeap* heap_;
    bool simdTransform_;
    bool simdBitReader_;
    bool frameRead_;
    bool ready_;
    bool usePlanes_;
    // Reading what follows the last MCU row: a failure there ends the picture without taking any
    // decoded row away.
    bool finishing_;
    // What the APP0 (JFIF) and APP14 (Adobe) markers before the first scan say of the colours;
    // adobeTransform_ is the transform + 1, 0 without an Adobe marker.
    bool sawJfif_;
    int adobeTransform_;
    bool rgb_;
    void* slots_[AllocationSlots];

    // Input buffer: bytes [inputPos_, inputEnd_) of input_ are unread; the first
    // PushBackMargin bytes take bytes pushed back in front of a freshly filled buffer.
    uint8_t input_[PushBackMargin + InputBufferSize];
    int inputPos_;
    int inputEnd_;
    bool endOfStream_;
    bool nextSyntheticIsD9_;
    long totalBytes_;

    // Standard bit reader: bits left-aligned in a 32-bit buffer.
    uint32_t bitBuffer_;
    int bitCount_;
    // Packed bit reader: bits left-aligned in a 64-bit buffer.
    uint64_t packedBuffer_;
    int packedCount_;

    uint8_t* huffCounts_[8];
    uint8_t* huffSymbols_[8];
    HuffmanDecodeTable* huffTables_[8];
    uint16_t* quantTables_[4];
    // The row loader's dequantisation (integer transform): each component's table in natural
    // order, so a block is copied and dequantised in one pass.
    uint16_t naturalQuant_[4][64];

    int componentCount_;
    Component components_[4];
    SamplingLayout layout_;
    int hMax_;
    int vMax_;
    int mcuWidth_;
    int mcuHeight_;
    int blocksPerMcu_;
    int mcusPerRow_;
    int mcusPerColumn_;
    int maxBlocksPerRow_;

    int scanComponentCount_;
    int scanComponents_[4];
    // Ss and Se: the first and last coefficient (zig-zag index) the scan codes.
    int bandStart_;
    int bandEnd_;
    int approxHigh_;
    int approxLow_;
    int scanMcusPerRow_;
    int scanMcusPerColumn_;
    int scanBlocksPerMcu_;
    int mcuOrder_[MaxBlocksPerMcu];
    const HuffmanDecodeTable* blockDcTable_[MaxBlocksPerMcu];
    const HuffmanDecodeTable* blockAcTable_[MaxBlocksPerMcu];
    const uint16_t* blockQuant_[MaxBlocksPerMcu];
    int restartInterval_;
    int restartsLeft_;
    int nextRestart_;
    int32_t eobRun_;

    int linesLeft_;
    int linesLeftInRow_;
    int mcuRowsLeft_;
    int bytesPerPixel_;
    int lineLength_;
    int lineBufferLength_;
    uint8_t* lines_[2];
    int16_t* coefficients_;
    uint8_t* extents_;
    uint8_t* samples_;

    JpegColourTables colour_;
};
