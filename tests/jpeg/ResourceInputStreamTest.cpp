// The resource stream under Wine: pictures embedded in this test program decode exactly as the
// same files read from disk, and a missing resource fails the first read.
#include "JpegTestSupport.h"

#include "base/ProcessorInfo.h"
#include "jpeg/ResourceInputStream.h"

#include <gtest/gtest.h>

TEST(ResourceInputStream, EmbeddedPicturesDecodeLikeTheirFilesAndAMissingOneFails) {
    // Only the low 16 bits of the id count.
    const std::pair<int, const char*> pictures[] = {
        {201, "116.jpg"}, {0x10000 + 202, "128.jpg"}, {999, nullptr}};
    for (bool simd : {false, processorInfo().HasMmx})
        for (const auto& [id, name] : pictures) {
            SCOPED_TRACE(std::to_string(id) + (simd ? " (simd)" : " (plain)"));
            const Bytes file = name ? readFile(std::string(LM_PICTURES_DIR) + "/" + name) : Bytes();
            ResourceInputStream stream;
            EXPECT_EQ(stream.open(id), name != nullptr);
            const DecoderRun d = decode({}, {simd, simd}, -1, 0, &stream);
            EXPECT_EQ(d.errorCode, name ? 0 : StreamReadFailed) << jpegErrorName(d.errorCode);
            EXPECT_EQ(d.bytesConsumed, static_cast<long>(file.size()));
            EXPECT_TRUE(d.complete() == (name != nullptr) &&
                        d.pixels == decode(file, {simd, simd}).pixels);
        }
}
