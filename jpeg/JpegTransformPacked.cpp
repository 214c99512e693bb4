// The packed AAN transform as portable code: the lane reference block after block, for builds and
// processors without MMX or SSE2 code.
#include "jpeg/JpegTransform.h"

void jpegIdctAanRowPortable(const int16_t* coefficients, uint8_t* samples, int mcus,
                            int blocksPerMcu, const int16_t* const* quant) {
    for (int m = 0; m < mcus; ++m)
        for (int b = 0; b < blocksPerMcu; ++b) {
            uint8_t* rows[8];
            for (int r = 0; r < 8; ++r)
                rows[r] = samples + 8 * r;
            jpegIdctAanReference(coefficients, quant[b], rows);
            coefficients += 64;
            samples += 64;
        }
}
