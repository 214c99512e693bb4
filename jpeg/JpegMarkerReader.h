// The marker structure (T.81 Annex B) read from the byte source: the start of image, table
// definitions, frame and scan headers, restart intervals, the colour markers, and every other
// segment skipped by its length.
#pragma once

#include "jpeg/JpegAllocation.h"
#include "jpeg/JpegByteSource.h"
#include "jpeg/JpegFrame.h"
#include "jpeg/JpegHuffman.h"

// What the marker segments say.
struct JpegHeaders {
    JpegHuffmanTables huffman;
    JpegQuantTables quant;
    JpegFrame frame;
    JpegScan scan;
    int restartInterval = 0;
    // What the APP0 (JFIF) and APP14 (Adobe) markers before the first scan say of the colours;
    // adobeTransform is the transform + 1, 0 without an Adobe marker.
    bool sawJfif = false;
    int adobeTransform = 0;

    // The three components are R, G and B rather than Y, Cb and Cr: an Adobe marker says so
    // (transform 0), or without a JFIF or Adobe marker the components are named 'R', 'G', 'B'.
    bool codedAsRgb() const;
};

class JpegMarkerReader {
public:
    JpegMarkerReader(JpegByteSource& source, JpegAllocationTable& blocks, JpegHeaders& headers)
        : source_(source), blocks_(blocks), headers_(headers) {}
    JpegMarkerReader(const JpegMarkerReader&) = delete;
    JpegMarkerReader& operator=(const JpegMarkerReader&) = delete;

    // Quantisation tables in natural order, pre-scaled for the AAN transform (true), or in stream
    // order for the integer transform.
    void storeAanTables(bool aan) { aan_ = aan; }

    // FF D8 within the first 513 bytes; NoStartOfImage.
    void findStartOfImage();
    // Reads segments up to a frame, scan, SOI or EOI marker and returns its code. After the last
    // row (afterLastRow) tables are passed over like comments and stray RSTn and TEM markers are
    // skipped, so that nothing is allocated once decoding has begun.
    int readMarkers(bool afterLastRow = false);
    void readFrameHeader();
    void readScanHeader();

private:
    void readHuffmanTables();
    void readQuantisationTables();
    long readColourMarker(int code, long length);

    JpegByteSource& source_;
    JpegAllocationTable& blocks_;
    JpegHeaders& headers_;
    bool aan_ = false;
};
