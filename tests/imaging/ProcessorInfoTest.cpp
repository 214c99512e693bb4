#include "imaging/ProcessorInfo.h"

#include <gtest/gtest.h>

namespace {

// Asked during static initialisation, as another file's initialiser may ask it.
const bool askedEarly = processorInfo().hasMmx;

TEST(ProcessorInfo, AStaticInitialiserGetsTheAnswerEveryoneGets) {
    EXPECT_EQ(askedEarly, processorInfo().hasMmx);
}

} // namespace
