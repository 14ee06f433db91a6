// Feeds arbitrary bytes to the .csv reader as a whole file; every cell that
// comes out is also turned into text.
#include <QBuffer>
#include <cstddef>
#include <cstdint>

#include "fuzz_sink.h"
#include "workbook/csv_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QBuffer buffer;
    buffer.setData(reinterpret_cast<const char*>(data), qsizetype(size));
    if (!buffer.open(QIODevice::ReadOnly)) return 0;
    tovrin::CsvReader::Limits limits;
    limits.maxCellChars = 4096;
    limits.maxRecordChars = 65536;
    tovrin::fuzz::Sink sink;
    tovrin::CsvReader(limits).read(buffer, QStringLiteral("csv"), 11, sink);
    return 0;
}
