// Decodes pictures from memory to RGB with Lanternmoor's decoder (both paths), libjpeg-turbo
// (ISLOW and IFAST, no fancy upsampling) and stb_image, in one run, and prints the ratios of the
// median times that bench/README.md quotes. Three sets of pictures: the 16 shipped baseline
// photographs, the shipped progressive one (124.jpg, 1024 x 740) and a 1920 x 1080 progressive
// picture made at build time with cjpeg -progressive from a shipped photograph scaled up. At the
// end it prints the peak heap of Lanternmoor's decoder for each picture set.
//
//   build/native/bench/jpeg/bench_jpeg [--benchmark_repetitions=N]
#include "jpeg/JpegDecoder.h"

#include <benchmark/benchmark.h>

#include <cstdio>
// clang-format off
#include <jpeglib.h>
// clang-format on
#include <stb_image.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

Bytes readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

enum Set { Baseline, Progressive, ProgressiveFullHd };
const char* const setNames[] = {"baseline", "progressive", "progressive1080"};

const std::vector<Bytes>& pictures(Set set) {
    static const std::vector<Bytes> sets[3] = {
        [] {
            std::vector<Bytes> files;
            for (int id :
                 {114, 115, 116, 117, 118, 119, 120, 121, 122, 123, 125, 126, 127, 128, 129, 134})
                files.push_back(
                    readFile(std::string(LM_PICTURES_DIR) + "/" + std::to_string(id) + ".jpg"));
            return files;
        }(),
        {readFile(std::string(LM_PICTURES_DIR) + "/124.jpg")},
        {readFile(LM_PROGRESSIVE_1080)},
    };
    return sets[set];
}

// The picture buffer every decoder writes into, as the screen saver's would be.
Bytes& target() {
    static Bytes buffer(1920 * 1080 * 4);
    return buffer;
}

// Counts the bytes the decoder holds, for the peak heap printed at the end.
class PeakHeap final : public JpegHeap {
public:
    void* allocateZeroed(size_t bytes) override {
        void* block = std::calloc(1, bytes + sizeof(size_t));
        if (!block) return nullptr;
        *static_cast<size_t*>(block) = bytes;
        Held += bytes;
        if (Held > Peak) Peak = Held;
        return static_cast<size_t*>(block) + 1;
    }
    void release(void* block) override {
        size_t* raw = static_cast<size_t*>(block) - 1;
        Held -= *raw;
        std::free(raw);
    }
    size_t Peak = 0;

private:
    size_t Held = 0;
};

void lanternmoor(benchmark::State& state, Set set, bool useSimd) {
    long pixels = 0;
    for (auto _ : state) {
        for (const Bytes& file : pictures(set)) {
            MemoryInputStream stream(file.data(), file.size());
            JpegDecoder decoder;
            decoder.begin(&stream, useSimd);
            if (decoder.beginDecoding() != 0) state.SkipWithError("decoder failed");
            unsigned char* out = target().data();
            const uint8_t* line;
            int length;
            while (decoder.decode(line, length) == 0) {
                std::memcpy(out, line, static_cast<size_t>(length));
                out += length;
            }
            pixels += static_cast<long>(decoder.width()) * decoder.height();
            decoder.releaseAll();
        }
    }
    state.counters["Mpixel/s"] =
        benchmark::Counter(static_cast<double>(pixels) / 1e6, benchmark::Counter::kIsRate);
}

void libjpegTurbo(benchmark::State& state, Set set, J_DCT_METHOD method) {
    long pixels = 0;
    for (auto _ : state) {
        for (const Bytes& file : pictures(set)) {
            jpeg_decompress_struct info;
            jpeg_error_mgr errors;
            info.err = jpeg_std_error(&errors);
            jpeg_create_decompress(&info);
            jpeg_mem_src(&info, file.data(), static_cast<unsigned long>(file.size()));
            jpeg_read_header(&info, TRUE);
            info.dct_method = method;
            info.do_fancy_upsampling = FALSE;
            info.out_color_space = JCS_RGB;
            jpeg_start_decompress(&info);
            unsigned char* out = target().data();
            while (info.output_scanline < info.output_height) {
                JSAMPROW row = out;
                jpeg_read_scanlines(&info, &row, 1);
                out += info.output_width * 3;
            }
            pixels += static_cast<long>(info.output_width) * info.output_height;
            jpeg_finish_decompress(&info);
            jpeg_destroy_decompress(&info);
        }
    }
    state.counters["Mpixel/s"] =
        benchmark::Counter(static_cast<double>(pixels) / 1e6, benchmark::Counter::kIsRate);
}

void stbImage(benchmark::State& state, Set set) {
    long pixels = 0;
    for (auto _ : state) {
        for (const Bytes& file : pictures(set)) {
            int w, h, channels;
            unsigned char* rgb = stbi_load_from_memory(file.data(), static_cast<int>(file.size()),
                                                       &w, &h, &channels, 3);
            if (!rgb) state.SkipWithError("stb_image failed");
            benchmark::DoNotOptimize(rgb);
            stbi_image_free(rgb);
            pixels += static_cast<long>(w) * h;
        }
    }
    state.counters["Mpixel/s"] =
        benchmark::Counter(static_cast<double>(pixels) / 1e6, benchmark::Counter::kIsRate);
}

// Keeps the median of each benchmark for the closing ratios.
class MedianReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration && run.repetitions <= 1)
                Medians[run.run_name.function_name] = run.GetAdjustedRealTime();
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median")
                Medians[run.run_name.function_name] = run.GetAdjustedRealTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> Medians;
};

// Registers the five decoders for one picture set: lanternmoor/plain/baseline, ...
void registerSet(Set set) {
    std::string name = setNames[set];
    auto add = [&](const std::string& decoder, auto function) {
        benchmark::RegisterBenchmark((decoder + "/" + name).c_str(), function)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    };
    add("lanternmoor/plain", [set](benchmark::State& s) { lanternmoor(s, set, false); });
    add("lanternmoor/simd", [set](benchmark::State& s) { lanternmoor(s, set, true); });
    add("libjpegTurbo/islow", [set](benchmark::State& s) { libjpegTurbo(s, set, JDCT_ISLOW); });
    add("libjpegTurbo/ifast", [set](benchmark::State& s) { libjpegTurbo(s, set, JDCT_IFAST); });
    add("stbImage", [set](benchmark::State& s) { stbImage(s, set); });
}

// The most bytes Lanternmoor's decoder holds at once while decoding a picture of the set.
size_t peakHeap(Set set, bool useSimd) {
    size_t peak = 0;
    for (const Bytes& file : pictures(set)) {
        PeakHeap heap;
        MemoryInputStream stream(file.data(), file.size());
        JpegDecoderOptions options;
        options.simdTransform = options.simdBitReader = useSimd;
        options.heap = &heap;
        JpegDecoder decoder;
        decoder.begin(&stream, options);
        if (decoder.beginDecoding() == 0) {
            const uint8_t* line;
            int length;
            while (decoder.decode(line, length) == 0) {}
        }
        decoder.releaseAll();
        if (heap.Peak > peak) peak = heap.Peak;
    }
    return peak;
}

} // namespace

int main(int argc, char** argv) {
    for (Set set : {Baseline, Progressive, ProgressiveFullHd})
        registerSet(set);
    benchmark::Initialize(&argc, argv);
    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    auto& m = reporter.Medians;
    auto ratio = [&](const std::string& a, const std::string& b) {
        if (!m.count(a) || !m.count(b) || m[b] == 0) return;
        std::printf("%-40s / %-40s = %.2f\n", a.c_str(), b.c_str(), m[a] / m[b]);
    };
    std::printf("\nRatios of median times (lower is faster):\n");
    for (const char* set : setNames) {
        std::string s = std::string("/") + set;
        ratio("lanternmoor/simd" + s, "libjpegTurbo/ifast" + s);
        ratio("lanternmoor/plain" + s, "libjpegTurbo/islow" + s);
        ratio("lanternmoor/simd" + s, "stbImage" + s);
        ratio("lanternmoor/plain" + s, "stbImage" + s);
    }
    std::printf("\nPeak heap of Lanternmoor's decoder (largest picture of each set):\n");
    for (Set set : {Baseline, Progressive, ProgressiveFullHd})
        std::printf("%-16s plain %zu bytes, simd %zu bytes\n", setNames[set], peakHeap(set, false),
                    peakHeap(set, true));
    benchmark::Shutdown();
    return 0;
}
