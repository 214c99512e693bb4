// The bit readers against the rules they keep: every read delivers the entropy-coded bits in
// order, and the bytes taken from the source after each read are those a plain 32-bit (standard)
// or 64-bit (packed) buffer takes, since restarts and the end of a scan go on from there.
#include "JpegTestSupport.h"

#include "jpeg/JpegBitReader.h"

#include <gtest/gtest.h>

#include <random>

namespace {

// The packed rule as it reads: a 64-bit buffer, six bytes whenever fewer than 16 bits are left.
struct PlainPackedBuffer {
    JpegByteSource& Source;
    uint64_t Buffer = 0;
    int Count = 0;
    void fill() {
        uint64_t bits = 0;
        for (int i = 0; i < 6; ++i)
            bits = (bits << 8) | Source.entropyByte();
        Buffer |= (bits << 16) >> Count;
        Count += 48;
    }
    int bits(int n) {
        const int r = static_cast<int>(Buffer >> (64 - n));
        Buffer <<= n;
        Count -= n;
        if (Count < 16) fill();
        return r;
    }
};

// The standard rule, plainly: 32 bits at first, two bytes whenever 16 or fewer are left.
struct PlainStandardBuffer {
    JpegByteSource& Source;
    uint32_t Buffer = 0;
    int Count = 0;
    uint32_t word() {
        const uint32_t high = Source.entropyByte();
        return (high << 8) | Source.entropyByte();
    }
    void fill() {
        Buffer = (word() << 16) | word();
        Count = 32;
    }
    int bits(int n) {
        const int r = static_cast<int>(Buffer >> (32 - n));
        Buffer <<= n;
        Count -= n;
        if (Count <= 16) {
            Buffer |= word() << (16 - Count);
            Count += 16;
        }
        return r;
    }
};

// Entropy-coded data with stuffed FF 00 pairs, long runs without FF (the readers' fast takes),
// then a marker, after which every reader sees one-bits.
Bytes entropyData(std::mt19937& random) {
    Bytes data;
    for (int i = 0; i < 8000; ++i) {
        const uint8_t byte = static_cast<uint8_t>(random() % 7 == 0 ? 0xFF : random());
        data.push_back(byte);
        if (byte == 0xFF) data.push_back(0x00);
    }
    return join({data, u8({0xFF, 0xD9})});
}

} // namespace

TEST(BitReaders, ReadsDeliverTheBitsInOrderAndTakeBytesAsTheirBuffersWould) {
    std::mt19937 random(31);
    for (int trial = 0; trial < 20; ++trial) {
        // About 9 KB, so that the input buffer is refilled under the readers' takes.
        const Bytes data = entropyData(random);
        MemoryInputStream a(data.data(), data.size()), b(data.data(), data.size()),
            c(data.data(), data.size()), d(data.data(), data.size());
        JpegByteSource packedSource, plainSource, standardSource, twoByteSource;
        packedSource.start(&a);
        plainSource.start(&b);
        standardSource.start(&c);
        twoByteSource.start(&d);
        JpegBitState packedState, standardState;
        JpegPackedBitReader packed(packedSource, packedState);
        JpegBitReader standard(standardSource, standardState);
        PlainPackedBuffer plain{plainSource};
        PlainStandardBuffer twoByte{twoByteSource};
        packed.prime();
        plain.fill();
        standard.prime();
        twoByte.fill();
        int wrong = 0;
        for (int read = 0; read < 7000 && wrong == 0; ++read) {
            const int n = 1 + static_cast<int>(random() % 16);
            const int expected = plain.bits(n);
            wrong += packed.bits(n) != expected;
            wrong += packedSource.available() != plainSource.available();
            wrong += standard.bits(n) != expected || twoByte.bits(n) != expected;
            wrong += standardSource.available() != twoByteSource.available();
            // A reader saved and taken up again goes on where it was.
            if (read % 97 == 0) {
                packed.save();
                standard.save();
                JpegPackedBitReader againPacked(packedSource, packedState);
                JpegBitReader againStandard(standardSource, standardState);
                wrong += againPacked.bits(n) != plain.bits(n);
                wrong += againStandard.bits(n) != twoByte.bits(n);
                packed.window = againPacked.window;
                packed.windowBits = againPacked.windowBits;
                standard.buffer = againStandard.buffer;
                standard.count = againStandard.count;
            }
            if (wrong) ADD_FAILURE() << "trial " << trial << ", read " << read << " of " << n;
        }
    }
}
