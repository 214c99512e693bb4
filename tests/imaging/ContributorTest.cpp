#include "imaging/Resampler.h"
#include "tests/imaging/TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

std::vector<float> PlainWeights(const PlainContributorList& list, int i) {
    return std::vector<float>(list[i].Weights, list[i].Weights + list[i].Count);
}

std::vector<int> PackedWeights(const PackedContributorList& list, int i) {
    std::vector<int> weights;
    const PackedLanes* w = list.Weights() + list.WeightIndex(i);
    for (int k = 0; k < list.Entries()[i].Count; ++k) {
        // Every weight sits in all four lanes.
        EXPECT_TRUE(w[k].Lane[0] == w[k].Lane[1] && w[k].Lane[1] == w[k].Lane[2] &&
                    w[k].Lane[2] == w[k].Lane[3]);
        weights.push_back(w[k].Lane[0]);
    }
    return weights;
}

struct Lists {
    Lists(int n, int m) {
        EXPECT_TRUE(plain.Build(n, m));
        EXPECT_TRUE(horizontal.Build(n, m, PackedContributorList::Horizontal));
        EXPECT_TRUE(vertical.Build(n, m, PackedContributorList::Vertical));
    }
    PlainContributorList plain;
    PackedContributorList horizontal, vertical;
};

} // namespace

TEST(TriangleFilter, IsOneMinusTheDistanceInsideItsSupport) {
    const TriangleFilter filter;
    EXPECT_EQ(filter.Support, 1.0f);
    EXPECT_EQ(filter.Evaluate(0.0f), 1.0f);
    EXPECT_EQ(filter.Evaluate(-0.25f), 0.75f);
    EXPECT_EQ(filter.Evaluate(0.5f), 0.5f);
    EXPECT_EQ(filter.Evaluate(1.0f), 0.0f);
    EXPECT_EQ(filter.Evaluate(-3.0f), 0.0f);
}

TEST(ContributorLists, EnlargingFourToEightInterpolatesAndRepeatsTheEdge) {
    const Lists lists(8, 4);
    // Output 7, centre 3.5: taps 2 and 3 with raw weights 0 and 0.5, renormalised to 0 and 1.
    EXPECT_EQ(lists.plain[7].First, 2);
    EXPECT_EQ(PlainWeights(lists.plain, 7), (std::vector<float>{0.0f, 1.0f}));
    EXPECT_EQ(PackedWeights(lists.horizontal, 7), (std::vector<int>{0, 32767}));
    EXPECT_EQ(PackedWeights(lists.vertical, 7), (std::vector<int>{0, 32767}));
    // Output 5, centre 2.5: taps 1 to 3 (tap 4 lies beyond the picture), raw 0, 0.5, 0.5.
    EXPECT_EQ(lists.plain[5].First, 1);
    EXPECT_EQ(PlainWeights(lists.plain, 5), (std::vector<float>{0.0f, 0.5f, 0.5f}));
    EXPECT_EQ(PackedWeights(lists.horizontal, 5), (std::vector<int>{0, 16383, 16383}));
    // Output 0 sits on source 0.
    EXPECT_EQ(lists.plain[0].First, 0);
    EXPECT_EQ(PlainWeights(lists.plain, 0), (std::vector<float>{1.0f, 0.0f}));
}

TEST(ContributorLists, EnlargingInsideThePictureTakesFourTaps) {
    const Lists lists(16, 8);
    // Centre 2.5: taps 1 to 4 with raw weights 0, 0.5, 0.5, 0.
    EXPECT_EQ(lists.plain[5].First, 1);
    EXPECT_EQ(PlainWeights(lists.plain, 5), (std::vector<float>{0.0f, 0.5f, 0.5f, 0.0f}));
    EXPECT_EQ(lists.horizontal.Entries()[5].First, 1);
    EXPECT_EQ(PackedWeights(lists.vertical, 5), (std::vector<int>{0, 16383, 16383, 0}));
}

TEST(ContributorLists, HalvingAveragesOverATriangleTwoPixelsWide) {
    const ContributorScale scale(512, 1024);
    EXPECT_EQ(scale.Scale, 2.0f);
    EXPECT_EQ(scale.Width, 2.0);
    EXPECT_EQ(scale.FScale, 0.5);
    const Lists lists(512, 1024);
    // Output 10, centre 20: taps 18 to 22, raw weights 0, 0.25, 0.5, 0.25, 0 (sum 1).
    EXPECT_EQ(lists.plain[10].First, 18);
    EXPECT_EQ(PlainWeights(lists.plain, 10), (std::vector<float>{0, 0.25f, 0.5f, 0.25f, 0}));
    EXPECT_EQ(lists.horizontal.Entries()[10].First, 18);
    EXPECT_EQ(PackedWeights(lists.horizontal, 10), (std::vector<int>{0, 8191, 16383, 8191, 0}));
    EXPECT_EQ(PackedWeights(lists.vertical, 10), (std::vector<int>{0, 8191, 16383, 8191, 0}));
}

TEST(ContributorLists, AnUnchangedSizeTakesOneFullWeight) {
    const Lists lists(5, 5);
    EXPECT_EQ(PlainWeights(lists.plain, 0), (std::vector<float>{1, 0}));
    EXPECT_EQ(PlainWeights(lists.plain, 2), (std::vector<float>{0, 1, 0}));
    EXPECT_EQ(lists.plain[2].First, 1);
    EXPECT_EQ(PlainWeights(lists.plain, 4), (std::vector<float>{0, 1}));
    EXPECT_EQ(PackedWeights(lists.horizontal, 2), (std::vector<int>{0, 32767, 0}));
    EXPECT_EQ(PackedWeights(lists.vertical, 4), (std::vector<int>{0, 32767}));
}

TEST(ContributorLists, WeightsSumToOneOrToTheFixedPointBoundAtRandomSizes) {
    TestRandom random(7);
    for (int round = 0; round < 150; ++round) {
        const int m = random.Between(1, round < 100 ? 300 : 3000);
        const int n = random.Between(1, round < 100 ? 300 : 3000);
        const Lists lists(n, m);
        const ContributorScale scale(n, m);
        // Every count stays within the room the packed list is designed with.
        const int room = 2 * static_cast<int>(std::ceil(scale.Width)) + 2;
        ASSERT_EQ(lists.plain.Size(), n);
        for (int i = 0; i < n; ++i) {
            const PlainContributor& entry = lists.plain[i];
            ASSERT_GE(entry.First, 0);
            ASSERT_GE(entry.Count, 1);
            ASSERT_LE(entry.First + entry.Count, m);
            ASSERT_LE(entry.Count, room) << n << " from " << m;
            double sum = 0;
            for (float w : PlainWeights(lists.plain, i)) {
                ASSERT_GE(w, 0.0f);
                sum += w;
            }
            ASSERT_NEAR(sum, 1.0, 1e-6) << "entry " << i << " of " << n << " from " << m;
            for (const PackedContributorList* packed : {&lists.horizontal, &lists.vertical}) {
                ASSERT_EQ(packed->Entries()[i].First, entry.First);
                ASSERT_EQ(packed->Entries()[i].Count, entry.Count);
                int fixedSum = 0;
                for (int w : PackedWeights(*packed, i)) {
                    ASSERT_GE(w, 0);
                    fixedSum += w;
                }
                // Each weight is truncated, losing less than one unit (and the normalised
                // weights may sum to a hair below 1).
                ASSERT_LE(fixedSum, 32767);
                ASSERT_GE(fixedSum, 32767 - entry.Count)
                    << "entry " << i << " n " << n << " m " << m;
            }
        }
    }
}

TEST(ContributorLists, RunningOutOfMemoryIsReportedAndLeavesNothingBehind) {
    int failures = 0;
    for (int successes = 0;; ++successes) {
        ASSERT_LT(successes, 10);
        FailingAllocations failing(successes);
        PlainContributorList plain;
        PackedContributorList packed;
        const bool built =
            plain.Build(300, 1000) && packed.Build(300, 1000, PackedContributorList::Horizontal);
        if (failing.Refused() == 0) {
            EXPECT_TRUE(built);
            break;
        }
        EXPECT_FALSE(built);
        ++failures;
    }
    EXPECT_GE(failures, 5); // entries and weights; entries, offsets, weights and tents
}
