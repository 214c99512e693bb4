// The resource stream under Wine: pictures embedded in this test program decode exactly as the
// same files read from disk, and a missing resource fails as designed.
#include "JpegTestSupport.h"

#include "jpeg/ProcessorInfo.h"
#include "jpeg/ResourceInputStream.h"

#include <gtest/gtest.h>

namespace {

class CountingResourceStream : public ResourceInputStream {
public:
    void detach() override { ++detaches; }
    int detaches = 0;
};

} // namespace

TEST(ResourceInputStream, EmbeddedPicturesDecodeLikeTheirFiles) {
    const std::pair<int, const char*> pictures[] = {{201, "116.jpg"}, {202, "128.jpg"}};
    for (const auto& picture : pictures) {
        Bytes file = readFile(std::string(LM_PICTURES_DIR) + "/" + picture.second);
        for (bool useSimd : {false, processorInfo().hasMmx}) {
            CountingResourceStream stream;
            ASSERT_TRUE(stream.open(picture.first));
            JpegDecoder decoder;
            decoder.begin(&stream, useSimd);
            ASSERT_EQ(decoder.beginDecoding(), 0) << jpegErrorName(decoder.errorCode());
            Bytes pixels;
            const uint8_t* line;
            int length;
            while (decoder.decode(line, length) == 0)
                pixels.insert(pixels.end(), line, line + length);
            EXPECT_EQ(decoder.bytesConsumed(), static_cast<long>(file.size()));
            decoder.releaseAll();
            EXPECT_EQ(stream.detaches, 1);

            // The same bytes through the memory stream, RGB without the pad byte.
            Decoded expected = decodeBytes(file, useSimd);
            ASSERT_EQ(pixels.size() / 4 * 3, expected.picture.pixels.size());
            Bytes rgb;
            for (size_t i = 0; i < pixels.size(); i += 4) {
                EXPECT_EQ(pixels[i + 3], 0) << "the pad byte stays 0";
                rgb.insert(rgb.end(), pixels.begin() + static_cast<long>(i),
                           pixels.begin() + static_cast<long>(i) + 3);
            }
            EXPECT_TRUE(rgb == expected.picture.pixels) << picture.second;
        }
    }
}

TEST(ResourceInputStream, OnlyTheLowSixteenBitsOfTheIdCount) {
    ResourceInputStream stream;
    EXPECT_TRUE(stream.open(0x10000 + 201));
    uint8_t head[2];
    bool end = false;
    EXPECT_EQ(stream.read(head, 2, end), 2);
    EXPECT_EQ(head[0], 0xFF);
    EXPECT_EQ(head[1], 0xD8);
    EXPECT_FALSE(end);
}

TEST(ResourceInputStream, AMissingResourceFailsTheFirstRead) {
    CountingResourceStream stream;
    EXPECT_FALSE(stream.open(999));
    JpegDecoder decoder;
    decoder.begin(&stream, processorInfo().hasMmx);
    EXPECT_EQ(decoder.errorCode(), StreamReadFailed);
    EXPECT_EQ(decoder.beginDecoding(), -1);
    EXPECT_EQ(decoder.width(), 0);
    EXPECT_EQ(decoder.height(), 0);
    decoder.releaseAll();
    EXPECT_EQ(stream.detaches, 1);
}
