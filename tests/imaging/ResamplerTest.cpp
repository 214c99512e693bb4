// The resamplers: exact contributor entries, running out of memory, a flat picture.
// Under Wine the packed resampler is real MMX; the screen checks compare it with the portable lane
// code on every photograph.
#include "imaging/Resampler.h"
#include "imaging/PackedKernels.h"
#include "imaging/PlainKernels.h"
#include "tests/imaging/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>
#include <vector>

TEST(ContributorLists, ExactEntriesEnlargingAndShrinking) {
    struct Case {
        int N, M, I, First;
        std::vector<float> Plain;
        std::vector<int> Packed;
    } cases[] = {
        // 4 -> 8. Centre 3.5: taps 2 and 3, raw weights 0 and 0.5 made 0 and 1. Centre 2.5:
        // taps 1 to 3 (tap 4 lies beyond the picture). Output 0 sits on source 0.
        {8, 4, 7, 2, {0, 1}, {0, 32767}},
        {8, 4, 5, 1, {0, 0.5f, 0.5f}, {0, 16383, 16383}},
        {8, 4, 0, 0, {1, 0}, {32767, 0}},
        // Inside the picture enlarging takes four taps.
        {16, 8, 5, 1, {0, 0.5f, 0.5f, 0}, {0, 16383, 16383, 0}},
        // 1024 -> 512, output 10, centre 20: taps 18 to 22, a triangle two pixels wide.
        {512, 1024, 10, 18, {0, 0.25f, 0.5f, 0.25f, 0}, {0, 8191, 16383, 8191, 0}},
    };
    for (const Case& c : cases) {
        PlainContributorList plain;
        PackedContributorList across, down;
        ASSERT_TRUE(plain.Build(c.N, c.M) &&
                    across.Build(c.N, c.M, PackedContributorList::Horizontal) &&
                    down.Build(c.N, c.M, PackedContributorList::Vertical));
        std::vector<int> fixed[2];
        for (const PackedContributorList* list : {&across, &down})
            for (int k = 0; k < list->Entries()[c.I].Count; ++k)
                fixed[list == &down].push_back(list->Weights()[list->WeightIndex(c.I) + k].Lane[0]);
        EXPECT_EQ(std::make_tuple(
                      plain[c.I].First, across.Entries()[c.I].First, down.Entries()[c.I].First,
                      std::vector<float>(plain[c.I].Weights, plain[c.I].Weights + plain[c.I].Count),
                      fixed[0], fixed[1]),
                  std::make_tuple(c.First, c.First, c.First, c.Plain, c.Packed, c.Packed))
            << c.M << " -> " << c.N << ", entry " << c.I;
    }
    // Trimming drops the zero weights at both ends; only one weight of 1 is a copy.
    const float weights[4] = {0, 0.5f, 0.5f, 0}, one[2] = {0, 1}, half[2] = {0.5f, 0};
    using Taps = std::tuple<int, int, bool>;
    auto taps = [](const PlainTaps& t) { return Taps(t.First, t.Count, t.Copy); };
    EXPECT_EQ(taps(PlainTapsOf({4, 4, weights})), Taps(5, 2, false));
    EXPECT_EQ(taps(PlainTapsOf({4, 2, one})), Taps(5, 1, true));
    EXPECT_EQ(taps(PlainTapsOf({4, 2, half})), Taps(4, 1, false));
}

// Every failed allocation gives no picture and leaks nothing; the picture made of a flat one, over
// two blocks of columns, is flat within one level plain and two packed.
TEST(Resampler, NoMemoryNoPictureAndAFlatPictureStaysFlat) {
    const std::vector<Pixel> flat(40 * 30, PackPixel(200, 100, 1));
    for (const bool useSimd : {false, true})
        for (int successes = 0;; ++successes) {
            ASSERT_LT(successes, 20);
            TestAllocations failing(successes);
            Pixel* out = useSimd ? MmxResampler(flat.data(), 40, 30).Resize(57, 22)
                                 : PlainResampler(flat.data(), 40, 30).Resize(57, 22);
            const unsigned low = useSimd ? 2 : 1;
            const long wrong =
                out == nullptr ? -1 : std::count_if(out, out + 57 * 22, [low](Pixel p) {
                    return PixelRed(p) + low < 200 || PixelRed(p) > 200 ||
                           PixelGreen(p) + low < 100 || PixelGreen(p) > 100 || PixelBlue(p) > 1 ||
                           p >> 24 != 0;
                });
            ImagingFree(out);
            if (failing.Refused == 0) {
                EXPECT_EQ(wrong, 0) << "packed " << useSimd;
                break;
            }
            EXPECT_EQ(wrong, -1) << "after " << successes << " allocations";
        }
}

// The packed resampler works in tiles of rows and columns; its pixels are those of the passes run
// over whole columns of the picture, enlarging (one and two taps) and shrinking, over several
// strips of rows with a short last one and odd counts of source rows.
TEST(Resampler, PackedTilesEqualThePassesOverWholeColumns) {
    for (const auto& [w, h, nw, nh] : {std::tuple{90, 201, 131, 301},
                                       {7, 3, 200, 290},
                                       {300, 263, 71, 150},
                                       {64, 129, 64, 257}}) {
        std::vector<Pixel> source(static_cast<std::size_t>(w) * h);
        unsigned seed = 12345;
        for (Pixel& p : source)
            p = (seed = seed * 1103515245u + 12345u) >> 8 & 0xFFFFFF;
        PackedContributorList across, down;
        ASSERT_TRUE(across.Build(nw, w, PackedContributorList::Horizontal) &&
                    down.Build(nh, h, PackedContributorList::Vertical));
        std::vector<PackedTaps> columnTaps(nw), rowTaps(nh);
        TrimPackedTaps(across.Entries(), across.Weights(), nw, columnTaps.data());
        TrimPackedTaps(down.Entries(), down.Weights(), nh, rowTaps.data());
        std::vector<Pixel> expected(static_cast<std::size_t>(nw) * nh);
        std::vector<PackedLanes> work(static_cast<std::size_t>(h) * Resampler::kBlockColumns);
        for (int x = 0; x < nw; x += Resampler::kBlockColumns) {
            const int columns = std::min(nw - x, Resampler::kBlockColumns);
            PackedHorizontalPortable(source.data(), w, h, columnTaps.data() + x, columns,
                                     work.data());
            PackedVerticalPortable(work.data(), columns, expected.data() + x, nw, nh,
                                   rowTaps.data());
        }
        Pixel* out = MmxResampler(source.data(), w, h).Resize(nw, nh);
        ASSERT_NE(out, nullptr);
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), out))
            << w << "x" << h << " to " << nw << "x" << nh;
        ImagingFree(out);
    }
}
