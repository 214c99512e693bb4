// The resource stream under Wine: pictures embedded in this test program decode exactly as the
// same files read from disk, and a missing resource fails as designed.
#include "JpegTestSupport.h"

#include "imaging/ProcessorInfo.h"
#include "jpeg/ResourceInputStream.h"

#include <gtest/gtest.h>

TEST(ResourceInputStream, EmbeddedPicturesDecodeLikeTheirFiles) {
    // Only the low 16 bits of the id count.
    const std::pair<int, const char*> pictures[] = {{201, "116.jpg"}, {0x10000 + 202, "128.jpg"}};
    for (const auto& picture : pictures) {
        Bytes file = readFile(std::string(LM_PICTURES_DIR) + "/" + picture.second);
        for (bool useSimd : {false, processorInfo().hasMmx}) {
            SCOPED_TRACE(std::string(picture.second) + (useSimd ? " (simd)" : " (plain)"));
            ResourceInputStream stream;
            ASSERT_TRUE(stream.open(picture.first));
            Decoded d = decode(stream, {useSimd, useSimd});
            ASSERT_TRUE(d.complete()) << jpegErrorName(d.errorCode);
            EXPECT_EQ(d.bytesConsumed, static_cast<long>(file.size()));
            EXPECT_TRUE(d.picture.pixels == decode(file, {useSimd, useSimd}).picture.pixels);
        }
    }
}

TEST(ResourceInputStream, AMissingResourceFailsTheFirstRead) {
    ResourceInputStream stream;
    EXPECT_FALSE(stream.open(999));
    Decoded d = decode(stream, {processorInfo().hasMmx, processorInfo().hasMmx});
    EXPECT_EQ(d.errorAfterBegin, StreamReadFailed);
    EXPECT_EQ(d.beginDecodingResult, -1);
    EXPECT_EQ(d.picture.width, 0);
    EXPECT_EQ(d.picture.height, 0);
}
