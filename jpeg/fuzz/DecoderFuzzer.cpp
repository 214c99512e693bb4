// libFuzzer target: the decoder's whole public call sequence on any bytes, through the run of
// DecoderRun.h, which stops the fuzzer on a broken promise of the decoder as the sanitizers stop it
// on a bad access. Every path runs: the plain one, the packed one with its SSE2 kernels, and the
// packed one with the kernels of a processor without SSE2 (the portable lane code natively).
// Built only by the fuzz preset (clang with ASan and UBSan); tools/fuzz-decoder builds and runs it.
#include "imaging/ProcessorInfo.h"
#include "jpeg/fuzz/DecoderRun.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const struct {
        bool useSimd, mmxKernelsOnly;
    } paths[] = {{false, false}, {true, false}, {true, true}};
    for (const auto& path : paths) {
        if (!path.mmxKernelsOnly && path.useSimd && !processorInfo().hasSse2) continue;
        UseMmxKernelsOnlyForTests(path.mmxKernelsOnly);
        MemoryInputStream stream(data, size);
        DecoderRun run;
        run.options.simdTransform = run.options.simdBitReader = path.useSimd;
        // Larger frames run the same code as smaller ones, only slower.
        run.parseOnlyAbove = 1024L * 1024L;
        run.broken = [](const char* what) {
            std::fprintf(stderr, "decoder promise broken: %s\n", what);
            std::abort();
        };
        run.run(stream);
    }
    UseMmxKernelsOnlyForTests(false);
    return 0;
}
