// libFuzzer target: the decoder's whole public call sequence on any bytes, through the run of
// DecoderRun.h, which stops the fuzzer on a broken promise of the decoder as the sanitizers stop it
// on a bad access; every path runs: the plain one, the packed one with its SSE2 kernels, and the
// packed one with the kernels of a processor without SSE2 (the portable lane code natively). And
// the EXIF reader on the same bytes, whose promises are an orientation from 1 to 8 and texts
// inside the bytes. Built only by the fuzz preset (clang with ASan and UBSan); tools/fuzz-decoder
// builds and runs it.
#include "base/ProcessorInfo.h"
#include "jpeg/Exif.h"
#include "jpeg/fuzz/DecoderRun.h"

#include <cstdio>
#include <cstdlib>

namespace {

void Broken(const char* what) {
    std::fprintf(stderr, "promise broken: %s\n", what);
    std::abort();
}

bool Inside(const ExifText& text, const uint8_t* data, size_t size) {
    if (text.text == nullptr) return text.length == 0;
    const auto* start = reinterpret_cast<const char*>(data);
    const size_t offset = static_cast<size_t>(text.text - start);
    return text.text >= start && offset <= size && text.length > 0 && text.length <= size - offset;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const ExifData exif = readExif(data, size);
    if (exif.orientation < 1 || exif.orientation > 8) Broken("an orientation outside 1 to 8");
    if (!Inside(exif.description, data, size) || !Inside(exif.dateTaken, data, size))
        Broken("an EXIF text outside the bytes");
    const struct {
        bool useSimd, mmxKernelsOnly;
    } paths[] = {{false, false}, {true, false}, {true, true}};
    for (const auto& path : paths) {
        if (!path.mmxKernelsOnly && path.useSimd && !processorInfo().HasSse2) continue;
        UseMmxKernelsOnlyForTests(path.mmxKernelsOnly);
        MemoryInputStream stream(data, size);
        DecoderRun run;
        run.options.simdTransform = run.options.simdBitReader = path.useSimd;
        // Larger frames run the same code as smaller ones, only slower.
        run.parseOnlyAbove = 1024L * 1024L;
        run.broken = &Broken;
        run.run(stream);
    }
    UseMmxKernelsOnlyForTests(false);
    return 0;
}
