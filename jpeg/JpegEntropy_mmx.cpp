// The packed bit reader with its 64-bit buffer in an MMX register. Only integer code here: the
// x87 unit shares its registers with MMX, so the state is emptied (_mm_empty) before anything
// else runs: at the end of a row, before restarts, errors and stream reads.
#include "jpeg/JpegEntropy.inl"

#include <mmintrin.h>

namespace {

// The low 32 bits of an MMX register in a general register. _mm_cvtsi64_si32 goes through memory
// when the compiler may not use SSE2, a store and a load on the path of every symbol.
inline int lowBits(__m64 v) {
    int r;
    __asm__("movd %1, %0" : "=r"(r) : "y"(v));
    return r;
}

struct MmxRegister {
    using Value = __m64;
    static Value load(uint64_t v) {
        return _mm_unpacklo_pi32(
            _mm_cvtsi32_si64(static_cast<int>(static_cast<uint32_t>(v))),
            _mm_cvtsi32_si64(static_cast<int>(static_cast<uint32_t>(v >> 32))));
    }
    static uint64_t store(Value v) {
        uint32_t low = static_cast<uint32_t>(lowBits(v));
        uint32_t high = static_cast<uint32_t>(lowBits(_mm_srli_si64(v, 32)));
        return (static_cast<uint64_t>(high) << 32) | low;
    }
    static void leave() { _mm_empty(); }
    static Value fromBytes(const uint8_t* p) {
        uint32_t high =
            (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
        uint32_t low = (uint32_t(p[4]) << 24) | (uint32_t(p[5]) << 16);
        return _mm_unpacklo_pi32(_mm_cvtsi32_si64(static_cast<int>(low)),
                                 _mm_cvtsi32_si64(static_cast<int>(high)));
    }
    static Value append(Value buffer, int count, Value bits48) {
        return _mm_or_si64(buffer, _mm_srl_si64(bits48, _mm_cvtsi32_si64(count)));
    }
    static Value shiftLeft(Value v, int n) { return _mm_sll_si64(v, _mm_cvtsi32_si64(n)); }
    static int top(Value v, int n) { return lowBits(_mm_srl_si64(v, _mm_cvtsi32_si64(64 - n))); }
};

} // namespace

void JpegEntropyDecoder::decodeRowMmx(JpegRowBuffers& rows, bool dequantise) {
    if (dequantise)
        decodeRowWith<JpegPackedBitReader<MmxRegister>, true>(rows);
    else
        decodeRowWith<JpegPackedBitReader<MmxRegister>, false>(rows);
}
