// The transition effects on a 1920 x 1080 software screen: the most expensive Step of a
// 2000 ms transition at 33 ms pacing, for each effect, from a full-screen old picture to a
// 1440 x 1080 new one (so every unit copies picture and paints black). And Begin of the
// checkers, whose cell order may need a prime and a primitive root searched, beside the search
// by successive powers that it replaces.
#include "imaging/CheckersEffect.h"
#include "imaging/PixelBuffer.h"
#include "imaging/TransitionEffect.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

const int ScreenWidth = 1920, ScreenHeight = 1080;
const Rect OldRect{0, 0, 1920, 1080}, NewRect{240, 0, 1680, 1080};

// Copies and fills a row at a time, as BitBlt does on a 32-bit bitmap. Counts pixels when asked.
class Canvas final : public EffectSurface {
public:
    explicit Canvas(bool draw) : Draw(draw) {
        if (draw) {
            Screen.assign(static_cast<std::size_t>(ScreenWidth) * ScreenHeight, 0x808080);
            Picture.assign(static_cast<std::size_t>(1440) * 1080, 0x336699);
        }
    }
    void CopyPicture(int x, int y, int width, int height, int sourceX, int sourceY) override {
        Pixels += std::int64_t{width} * height;
        for (int j = 0; Draw && j < height; ++j)
            std::memcpy(&Screen[(y + j) * ScreenWidth + x],
                        &Picture[(sourceY + j) * 1440 + sourceX], width * sizeof(Pixel));
    }
    void PaintBlack(int x, int y, int width, int height) override {
        Pixels += std::int64_t{width} * height;
        for (int j = 0; Draw && j < height; ++j)
            std::fill_n(&Screen[(y + j) * ScreenWidth + x], width, 0);
    }
    std::int64_t Pixels = 0;

private:
    const bool Draw;
    std::vector<Pixel> Screen, Picture;
};

// Progress of frame k of a 2000 ms transition with frames 33 ms apart; the final frame is 1.
float Progress(int frame) {
    return std::min(1.0f, static_cast<float>(frame * 33) / 2000.0f);
}

void WorstStep(benchmark::State& state, EffectKind kind) {
    const auto effect = CreateTransitionEffect(kind, ScreenWidth, ScreenHeight);
    // The frame that draws the most pixels.
    Canvas count(false);
    effect->Begin(OldRect, NewRect);
    int worst = 1;
    std::int64_t most = 0;
    for (int frame = 1; Progress(frame - 1) < 1.0f; ++frame) {
        const std::int64_t before = count.Pixels;
        effect->Step(count, Progress(frame));
        if (count.Pixels - before > most) most = count.Pixels - before, worst = frame;
    }
    Canvas canvas(true);
    for (auto _ : state) {
        Canvas skip(false);
        effect->Begin(OldRect, NewRect);
        effect->Step(skip, Progress(worst - 1));
        const auto start = std::chrono::steady_clock::now();
        effect->Step(canvas, Progress(worst));
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    effect->End();
    state.counters["frame"] = worst;
    state.counters["pixels"] = static_cast<double>(most);
}

// Begin of "Small checkers" for a screen narrow enough for cells of 2 (width x height union)
// or for a 3840 x 2160 screen (cells of 19).
void CheckersBegin(benchmark::State& state) {
    const int cx = static_cast<int>(state.range(0));
    CheckersEffect effect(cx, 0, CheckersEffect::kSmallDivisor);
    const Rect all{0, 0, static_cast<int>(state.range(1)), static_cast<int>(state.range(2))};
    for (auto _ : state) {
        effect.Begin({}, all);
        benchmark::DoNotOptimize(effect.Order());
    }
    state.counters["cells"] = effect.Order().N;
    state.counters["g"] = effect.Order().G;
}

// The second-smallest primitive root found by taking powers of each candidate until they come
// back to it, for the grid of 1280 x 1281 cells next to the table's largest.
void SuccessivePowersReference(benchmark::State& state) {
    const std::int64_t p = SmallestPrimeAbove(1280 * 1281);
    std::int64_t g = 0;
    for (auto _ : state) {
        int found = 0;
        for (std::int64_t c = 2; c < p && found < 2; ++c) {
            std::int64_t power = c * c % p, exponent = 2;
            while (power != c)
                power = power * c % p, ++exponent;
            if (exponent == p && ++found == 2) g = c;
        }
        benchmark::DoNotOptimize(g);
    }
    state.counters["g"] = static_cast<double>(g);
}

void Settings(benchmark::internal::Benchmark* b) {
    b->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);
}

} // namespace

BENCHMARK_CAPTURE(WorstStep, horizontalLines, EffectKind::HorizontalLines)
    ->Apply(Settings)
    ->UseManualTime();
BENCHMARK_CAPTURE(WorstStep, verticalLines, EffectKind::VerticalLines)
    ->Apply(Settings)
    ->UseManualTime();
BENCHMARK_CAPTURE(WorstStep, bigCheckers, EffectKind::BigCheckers)
    ->Apply(Settings)
    ->UseManualTime();
BENCHMARK_CAPTURE(WorstStep, smallCheckers, EffectKind::SmallCheckers)
    ->Apply(Settings)
    ->UseManualTime();
BENCHMARK(CheckersBegin)
    ->ArgNames({"cx", "width", "height"})
    ->Args({599, 2560, 2560})
    ->Args({599, 2560, 2562})
    ->Args({599, 8192, 8192})
    ->Args({3840, 3840, 2160})
    ->Apply(Settings);
BENCHMARK(SuccessivePowersReference)->Apply(Settings);

BENCHMARK_MAIN();
