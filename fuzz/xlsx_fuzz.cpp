// Feeds arbitrary bytes to the .xlsx reader as a whole file; every cell that
// comes out is also turned into text.
#include <QBuffer>
#include <cstddef>
#include <cstdint>

#include "fuzz_sink.h"
#include "workbook/xlsx_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    tovrin::XlsxReader::Limits limits;
    limits.xml.maxUnpackedBytes = qint64(64) << 20;
    limits.maxSharedChars = qsizetype(8) << 20;
    limits.maxSharedStrings = qsizetype(1) << 20;
    tovrin::fuzz::Sink sink;
    QBuffer buffer;
    buffer.setData(bytes);
    tovrin::XlsxReader(limits).read(buffer, 11, sink);
    return 0;
}
