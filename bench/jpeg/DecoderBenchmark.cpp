// Decodes the shipped baseline photographs from memory to RGB with Lanternmoor's decoder (both
// paths), libjpeg-turbo (ISLOW and IFAST, no fancy upsampling) and stb_image, in one run, and
// prints the ratios of the median times that bench/README.md quotes.
//
//   build/native/bench/jpeg/bench_jpeg [--benchmark_repetitions=N]
#include "jpeg/JpegDecoder.h"

#include <benchmark/benchmark.h>

#include <cstdio>
// clang-format off
#include <jpeglib.h>
// clang-format on
#include <stb_image.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

// The baseline photographs (124 is progressive and comes with the progressive decoder).
const std::vector<Bytes>& photographs() {
    static const std::vector<Bytes> all = [] {
        std::vector<Bytes> files;
        for (int id :
             {114, 115, 116, 117, 118, 119, 120, 121, 122, 123, 125, 126, 127, 128, 129, 134}) {
            std::ifstream in(std::string(LM_PICTURES_DIR) + "/" + std::to_string(id) + ".jpg",
                             std::ios::binary);
            files.emplace_back(std::istreambuf_iterator<char>(in),
                               std::istreambuf_iterator<char>());
        }
        return files;
    }();
    return all;
}

// The picture buffer every decoder writes into, as the screen saver's would be.
Bytes& target() {
    static Bytes buffer(1024 * 768 * 4);
    return buffer;
}

void lanternmoor(benchmark::State& state, bool useSimd) {
    long pixels = 0;
    for (auto _ : state) {
        for (const Bytes& file : photographs()) {
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

void libjpegTurbo(benchmark::State& state, J_DCT_METHOD method) {
    long pixels = 0;
    for (auto _ : state) {
        for (const Bytes& file : photographs()) {
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

void stbImage(benchmark::State& state) {
    long pixels = 0;
    for (auto _ : state) {
        for (const Bytes& file : photographs()) {
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
                medians[run.run_name.function_name] = run.GetAdjustedRealTime();
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median")
                medians[run.run_name.function_name] = run.GetAdjustedRealTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> medians;
};

} // namespace

BENCHMARK_CAPTURE(lanternmoor, plain, false)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(lanternmoor, simd, true)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(libjpegTurbo, islow, JDCT_ISLOW)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(libjpegTurbo, ifast, JDCT_IFAST)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(stbImage)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    auto& m = reporter.medians;
    auto ratio = [&](const char* a, const char* b) {
        if (!m.count(a) || !m.count(b) || m[b] == 0) return;
        std::printf("%-28s / %-28s = %.2f\n", a, b, m[a] / m[b]);
    };
    std::printf("\nRatios of median times (lower is faster):\n");
    ratio("lanternmoor/simd", "libjpegTurbo/ifast");
    ratio("lanternmoor/plain", "libjpegTurbo/islow");
    ratio("lanternmoor/simd", "stbImage");
    ratio("lanternmoor/plain", "stbImage");
    benchmark::Shutdown();
    return 0;
}
