// Feeds arbitrary bytes to the .ods reader as a whole file; every cell that
// comes out is also turned into text.
#include <QBuffer>
#include <cstddef>
#include <cstdint>

#include "fuzz_sink.h"
#include "workbook/ods_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QBuffer buffer;
    buffer.setData(reinterpret_cast<const char*>(data), qsizetype(size));
    tovrin::OdsReader::Limits limits;
    limits.xml.maxUnpackedBytes = qint64(64) << 20;
    limits.maxRows = 100000;
    tovrin::fuzz::Sink sink;
    tovrin::OdsReader(limits).read(buffer, 11, sink);
    return 0;
}
