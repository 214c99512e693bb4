// libFuzzer target: the decoder's whole public call sequence on any bytes, once with each setting
// of useSimd, through the run of DecoderRun.h, which stops the fuzzer on a broken promise of the
// decoder as the sanitizers stop it on a bad access. Built only by the fuzz preset (clang with
// ASan and UBSan); tools/fuzz-decoder builds and runs it.
#include "jpeg/fuzz/DecoderRun.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    for (bool useSimd : {false, true}) {
        MemoryInputStream stream(data, size);
        DecoderRun run;
        run.options.simdTransform = run.options.simdBitReader = useSimd;
        // Larger frames run the same code as smaller ones, only slower.
        run.parseOnlyAbove = 1024L * 1024L;
        run.broken = [](const char* what) {
            std::fprintf(stderr, "decoder promise broken: %s\n", what);
            std::abort();
        };
        run.run(stream);
    }
    return 0;
}
