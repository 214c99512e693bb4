#include "imaging/ProcessorInfo.h"

#include <gtest/gtest.h>

TEST(ProcessorInfo, ReportsMmxOnEveryX86ThisProjectRunsOn) {
#if defined(__x86_64__)
    // Every x86-64 processor has MMX; so does every processor Wine runs the Windows build on here.
    EXPECT_TRUE(processorInfo().hasMmx);
#elif defined(__i386__)
    EXPECT_TRUE(processorInfo().hasMmx) << "expected a processor from the last 25 years";
#else
    EXPECT_FALSE(processorInfo().hasMmx);
#endif
}
