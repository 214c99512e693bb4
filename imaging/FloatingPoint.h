// Keeps the floating-point results of the imaging code the same on every x86: the 32-bit Windows
// build computes on the x87 unit, whose precision control (set by the run-time library, and by
// any DLL that wants it otherwise) decides how every operation rounds, and which keeps
// intermediate values in 80-bit registers unless they are stored.
#pragma once

#include <cmath>

#if (defined(__i386__) || defined(__x86_64__)) && defined(__GNUC__)
#define LANTERNMOOR_X87 1
#endif

#if LANTERNMOOR_X87
inline unsigned short ReadX87ControlWord() {
    unsigned short word;
    __asm__ __volatile__("fnstcw %0" : "=m"(word) : : "memory");
    return word;
}
inline void WriteX87ControlWord(unsigned short word) {
    __asm__ __volatile__("fldcw %0" : : "m"(word) : "memory");
}
#endif

// Sets the x87 precision control for the life of the object and restores it afterwards:
// Double (53-bit significands, the rounding of IEEE double operations) for weight calculations,
// Extended (64-bit) for the sums that the resampler keeps in extended precision. No effect where
// there is no x87 unit.
class X87PrecisionScope {
public:
    enum Precision { Double = 0x200, Extended = 0x300 };
    explicit X87PrecisionScope(Precision precision) {
#if LANTERNMOOR_X87
        Saved = ReadX87ControlWord();
        WriteX87ControlWord(static_cast<unsigned short>((Saved & ~0x300u) | precision));
#else
        (void)precision;
#endif
    }
    ~X87PrecisionScope() {
#if LANTERNMOOR_X87
        WriteX87ControlWord(Saved);
#endif
    }
    X87PrecisionScope(const X87PrecisionScope&) = delete;
    X87PrecisionScope& operator=(const X87PrecisionScope&) = delete;

private:
#if LANTERNMOOR_X87
    unsigned short Saved;
#endif
};

// Rounds to a 32-bit float now. On the x87 a cast alone may leave the value in an 80-bit
// register; a store to memory always rounds.
inline float RoundToFloat(long double value) {
#if defined(__i386__)
    volatile float stored = static_cast<float>(value);
    return stored;
#else
    return static_cast<float>(value);
#endif
}

// floor and ceil of a value well inside the int range, as ints. On the 32-bit x87 a C++
// conversion to int loads the control word twice (to truncate, then to restore), which costs more
// than the arithmetic around it; a conversion in the current rounding mode, whichever it is, lands
// within 1 of the value and one comparison corrects it.
#if defined(__i386__) && LANTERNMOOR_X87
inline int NearbyInt(double value) {
    int result;
    __asm__("fistpl %0" : "=m"(result) : "t"(value) : "st");
    return result;
}
inline int FloorToInt(double value) {
    const int near = NearbyInt(value);
    return near > value ? near - 1 : near;
}
inline int CeilToInt(double value) {
    const int near = NearbyInt(value);
    return near < value ? near + 1 : near;
}
#else
inline int FloorToInt(double value) {
    return static_cast<int>(std::floor(value));
}
inline int CeilToInt(double value) {
    return static_cast<int>(std::ceil(value));
}
#endif
