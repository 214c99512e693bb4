#include "jpeg/JpegEntropy.inl"

#include "jpeg/JpegMarkerReader.h"

void JpegBlockTables::bind(const JpegHeaders& headers) {
    for (int b = 0; b < headers.scan.blocksPerMcu; ++b) {
        const int c = headers.scan.mcuOrder[b];
        const JpegComponent& info = headers.frame.components[c];
        component[b] = c;
        dc[b] = info.dcSlot <= 3 ? headers.huffman.decodeTable(info.dcSlot) : nullptr;
        ac[b] = headers.huffman.decodeTable(info.acSlot);
        quant[b] = headers.quant.table(info.quantTable);
    }
}

void JpegEntropyDecoder::checkAndBuildTables(JpegHeaders& headers, JpegAllocationTable& blocks) {
    const JpegScan& scan = headers.scan;
    for (int i = 0; i < scan.componentCount; ++i) {
        const JpegComponent& c = headers.frame.components[scan.components[i]];
        // Selectors above 3 name no table slot.
        if (scan.bandStart == 0 && (c.dcSlot > 3 || !headers.huffman.defined(c.dcSlot)))
            jpegFail(HuffTableMissing);
        if (scan.bandEnd > 0 && !headers.huffman.defined(c.acSlot)) jpegFail(HuffTableMissing);
    }
    headers.huffman.buildDecodeTables(blocks);
    for (int i = 0; i < scan.componentCount; ++i)
        if (!headers.quant.table(headers.frame.components[scan.components[i]].quantTable))
            jpegFail(QuantTableMissing);
}

void JpegEntropyDecoder::startScan(JpegByteSource& source, const JpegHeaders& headers,
                                   bool packedReader) {
    source_ = &source;
    tables_.bind(headers);
    mcusPerRow_ = headers.scan.mcusPerRow;
    blocksPerMcu_ = headers.scan.blocksPerMcu;
    packedReader_ = packedReader;
    for (int32_t& p : predictor)
        p = 0;
    eobRun = 0;
    restartInterval = headers.restartInterval;
    if (restartInterval != 0) {
        restartsLeft = restartInterval;
        nextRestart_ = 0;
    }
    // Headers are read byte by byte, so nothing was read ahead and nothing goes back.
    if (packedReader_) {
        JpegPackedBitReader reader(source, bits_);
        reader.prime();
        reader.save();
    } else {
        JpegBitReader reader(source, bits_);
        reader.prime();
        reader.save();
    }
}

void JpegEntropyDecoder::decodeRow(JpegRowBuffers& rows, bool dequantise) {
    if (packedReader_) {
        if (dequantise)
            decodeRowWith<JpegPackedBitReader, true>(rows);
        else
            decodeRowWith<JpegPackedBitReader, false>(rows);
    } else if (dequantise) {
        decodeRowWith<JpegBitReader, true>(rows);
    } else {
        decodeRowWith<JpegBitReader, false>(rows);
    }
}
