#include "jpeg/JpegFrame.h"

#include "jpeg/JpegAllocation.h"
#include "jpeg/JpegError.h"

namespace {

inline int ceilDiv(int a, int b) {
    return (a + b - 1) / b;
}

} // namespace

void JpegFrame::setUp() {
    if (componentCount == 1) {
        // One component is always one block per MCU, whatever factors it declares; 1 x 1
        // also keeps the scan geometry clear of factors of 0.
        layout = SamplingLayout::Grey;
        components[0].h = components[0].v = 1;
        mcuWidth = mcuHeight = 8;
        blocksPerMcu = 1;
    } else if (componentCount == 3) {
        const JpegComponent* c = components;
        if (c[1].h != 1 || c[1].v != 1 || c[2].h != 1 || c[2].v != 1) jpegFail(UnsupportedSampling);
        if (c[0].h == 1 && c[0].v == 1) {
            layout = SamplingLayout::H1V1;
        } else if (c[0].h == 2 && c[0].v == 1) {
            layout = SamplingLayout::H2V1;
        } else if (c[0].h == 1 && c[0].v == 2) {
            layout = SamplingLayout::H1V2;
        } else if (c[0].h == 2 && c[0].v == 2) {
            layout = SamplingLayout::H2V2;
        } else {
            jpegFail(UnsupportedSampling);
        }
        mcuWidth = 8 * c[0].h;
        mcuHeight = 8 * c[0].v;
        blocksPerMcu = c[0].h * c[0].v + 2;
    } else {
        jpegFail(UnsupportedComponents);
    }
    hMax = vMax = 1;
    for (int i = 0; i < componentCount; ++i) {
        if (components[i].h > hMax) hMax = components[i].h;
        if (components[i].v > vMax) vMax = components[i].v;
    }
    mcusPerRow = ceilDiv(width, mcuWidth);
    mcusPerColumn = ceilDiv(height, mcuHeight);
    maxBlocksPerRow = blocksPerMcu * mcusPerRow;
    if (maxBlocksPerRow > kMaxBlocksPerRow) jpegFail(TooManyBlocks);
}

void JpegScan::computeGeometry(JpegFrame& frame) {
    for (int i = 0; i < frame.componentCount; ++i) {
        JpegComponent& c = frame.components[i];
        c.blocksAcross = ceilDiv(ceilDiv(c.h * frame.width, frame.hMax), 8);
        c.blocksDown = ceilDiv(ceilDiv(c.v * frame.height, frame.vMax), 8);
    }
    if (componentCount == 1) {
        const JpegComponent& c = frame.components[components[0]];
        mcusPerRow = c.blocksAcross;
        mcusPerColumn = c.blocksDown;
        blocksPerMcu = 1;
        mcuOrder[0] = components[0];
        return;
    }
    mcusPerRow = ceilDiv(ceilDiv(frame.width, 8), frame.hMax);
    mcusPerColumn = ceilDiv(ceilDiv(frame.height, 8), frame.vMax);
    int n = 0;
    for (int i = 0; i < componentCount; ++i) {
        const JpegComponent& c = frame.components[components[i]];
        for (int j = 0; j < c.h * c.v; ++j) {
            if (n == JpegFrame::kMaxBlocksPerMcu) jpegFail(TooManyBlocks);
            mcuOrder[n++] = components[i];
        }
    }
    blocksPerMcu = n;
}

void JpegScan::makeFullFrame(JpegFrame& frame) {
    componentCount = frame.componentCount;
    for (int i = 0; i < componentCount; ++i)
        components[i] = i;
    computeGeometry(frame);
}

bool JpegScan::holdsTheFrameInOrder(const JpegFrame& frame) const {
    if (componentCount != frame.componentCount) return false;
    for (int i = 0; i < componentCount; ++i)
        if (components[i] != i) return false;
    return true;
}
