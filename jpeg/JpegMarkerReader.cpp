#include "jpeg/JpegMarkerReader.h"

#include "jpeg/JpegError.h"
#include "jpeg/JpegMarker.h"
#include "jpeg/JpegTransform.h"

#include <cstring>

bool JpegHeaders::codedAsRgb() const {
    if (frame.componentCount != 3 || sawJfif) return false;
    if (adobeTransform != 0) return adobeTransform == 1;
    const JpegComponent* c = frame.components;
    return c[0].id == 'R' && c[1].id == 'G' && c[2].id == 'B';
}

void JpegMarkerReader::findStartOfImage() {
    int previous = source_.next();
    int current = source_.next();
    if (previous == 0xFF && current == SOI) return;
    for (int i = 0; i < 511; ++i) {
        previous = current;
        current = source_.next();
        if (previous == 0xFF && current == SOI) {
            // Found late: only a marker may follow. Look at that byte without taking it, so
            // the marker reader still sees the whole marker.
            bool synthetic;
            uint8_t after = source_.nextSlow(synthetic);
            if (after != 0xFF) jpegFail(NoStartOfImage);
            if (!synthetic) source_.pushBack(after);
            return;
        }
    }
    jpegFail(NoStartOfImage);
}

int JpegMarkerReader::readMarkers(bool afterLastRow) {
    for (;;) {
        int code;
        do {
            code = source_.next();
        } while (code != 0xFF);
        do {
            code = source_.next();
        } while (code == 0xFF);
        if (code == 0x00) continue;
        if (afterLastRow && (code == DHT || code == DQT)) code = COM;
        if (code == TEM || isRestartMarker(code)) {
            // Markers without a segment: after the last row a stray one is passed over.
            if (afterLastRow) continue;
            jpegFail(UnexpectedMarker);
        }
        switch (code) {
        case JPG:
            jpegFail(UnexpectedMarker);
        case SOF0:
        case SOF1:
        case SOF2:
        case SOF3:
        case SOF5:
        case SOF6:
        case SOF7:
        case SOF9:
        case SOF10:
        case SOF11:
        case SOF13:
        case SOF14:
        case SOF15:
        case SOI:
        case EOI:
        case SOS:
            return code;
        case DHT:
            readHuffmanTables();
            break;
        case DAC:
            jpegFail(ArithmeticCoding);
        case DQT:
            readQuantisationTables();
            break;
        case DRI:
            if (source_.read16() != 4) jpegFail(DriBadLength);
            headers_.restartInterval = source_.read16();
            break;
        default: {
            int length = source_.read16();
            if (length < 2) jpegFail(MarkerBadLength);
            long left = length - 2;
            // Only markers before the first scan decide how the colours are coded.
            if ((code == APP0 || code == APP14) && headers_.scan.componentCount == 0)
                left -= readColourMarker(code, left);
            source_.skip(left);
        }
        }
    }
}

// Reads at most the first 12 bytes of an APP0 or APP14 segment of `length` bytes and notes a
// JFIF marker or an Adobe marker's colour transform; answers the bytes read.
long JpegMarkerReader::readColourMarker(int code, long length) {
    uint8_t head[12];
    const long n = length < 12 ? length : 12;
    for (long i = 0; i < n; ++i)
        head[i] = source_.next();
    if (code == APP0 && n >= 5 && std::memcmp(head, "JFIF", 5) == 0) headers_.sawJfif = true;
    if (code == APP14 && n == 12 && std::memcmp(head, "Adobe", 5) == 0)
        headers_.adobeTransform = head[11] + 1;
    return n;
}

void JpegMarkerReader::readHuffmanTables() {
    int length = source_.read16();
    if (length < 2) jpegFail(DhtBadLength);
    int remaining = length - 2;
    while (remaining != 0) {
        int classAndId = source_.next();
        uint8_t counts[17];
        counts[0] = 0;
        int sum = 0;
        for (int l = 1; l <= 16; ++l) {
            counts[l] = source_.next();
            sum += counts[l];
        }
        if (sum > 255) jpegFail(DhtCountsTooLarge);
        uint8_t symbols[256];
        for (int i = 0; i < sum; ++i)
            symbols[i] = source_.next();
        if (remaining < sum + 17) jpegFail(DhtBadLength);
        remaining -= sum + 17;
        int slot = (classAndId & 0x0F) + ((classAndId & 0x10) ? 4 : 0);
        if (slot >= JpegHuffmanTables::kSlots) jpegFail(DhtBadIndex);
        // Counts that over-subscribe the code space (a code that does not fit its length)
        // would overrun the look-up and the tree when the decode table is built.
        uint32_t code = 0;
        for (int l = 1; l <= 16; ++l) {
            code += counts[l];
            if (code > (1u << l)) jpegFail(DhtCountsTooLarge);
            code <<= 1;
        }
        headers_.huffman.define(slot, counts, symbols, sum, blocks_);
    }
}

void JpegMarkerReader::readQuantisationTables() {
    int length = source_.read16();
    if (length < 2) jpegFail(DqtBadLength);
    int remaining = length - 2;
    while (remaining != 0) {
        int precisionAndId = source_.next();
        int id = precisionAndId & 0x0F;
        if (id >= JpegQuantTables::kSlots) jpegFail(DqtBadIndex);
        if (!headers_.quant.get(id)) headers_.quant.set(id, blocks_.allocateArray<uint16_t>(64));
        uint16_t* table = headers_.quant.get(id);
        bool wide = (precisionAndId >> 4) != 0;
        for (int k = 0; k < 64; ++k) {
            unsigned value = wide ? static_cast<unsigned>(source_.read16()) : source_.next();
            if (aan_) {
                // Natural order, pre-scaled for the AAN transform.
                int z = jpegZigZag[k];
                table[z] = jpegAanPrescale(z, value);
            } else {
                table[k] = static_cast<uint16_t>(value); // stream order, as the stores use it
            }
        }
        int size = wide ? 129 : 65;
        if (remaining < size) jpegFail(DqtTruncated);
        remaining -= size;
    }
}

void JpegMarkerReader::readFrameHeader() {
    JpegFrame& frame = headers_.frame;
    int length = source_.read16();
    if (source_.next() != 8) jpegFail(BadPrecision);
    int height = source_.read16();
    if (height < 1 || height > 8192) jpegFail(BadHeight);
    frame.height = height;
    int width = source_.read16();
    if (width < 1 || width > 8192) jpegFail(BadWidth);
    frame.width = width;
    int count = source_.next();
    if (count > JpegFrame::kMaxComponents) jpegFail(TooManyComponents);
    if (length != 8 + 3 * count) jpegFail(SofBadLength);
    frame.componentCount = count;
    for (int i = 0; i < count; ++i) {
        JpegComponent& c = frame.components[i];
        c.id = source_.next();
        int factors = source_.next();
        c.h = factors >> 4;
        c.v = factors & 0x0F;
        c.quantTable = source_.next();
    }
}

void JpegMarkerReader::readScanHeader() {
    JpegFrame& frame = headers_.frame;
    JpegScan& scan = headers_.scan;
    int length = source_.read16();
    int count = source_.next();
    if (length - 3 != 2 * count + 3 || count < 1 || count > JpegFrame::kMaxComponents)
        jpegFail(SosBadLength);
    scan.componentCount = count;
    for (int i = 0; i < count; ++i) {
        int id = source_.next();
        int tables = source_.next();
        int found = -1;
        for (int c = 0; c < frame.componentCount && found < 0; ++c)
            if (frame.components[c].id == id) found = c;
        if (found < 0) jpegFail(SosBadComponent);
        // A component named twice would give more blocks per MCU than the block order holds.
        for (int j = 0; j < i; ++j)
            if (scan.components[j] == found) jpegFail(SosBadComponent);
        scan.components[i] = found;
        frame.components[found].dcSlot = tables >> 4;
        frame.components[found].acSlot = (tables & 0x0F) + 4;
    }
    scan.bandStart = source_.next();
    scan.bandEnd = source_.next();
    int approximation = source_.next();
    scan.approxHigh = approximation >> 4;
    scan.approxLow = approximation & 0x0F;
    if (!frame.progressive) {
        scan.bandStart = 0;
        scan.bandEnd = 63;
    }
}
