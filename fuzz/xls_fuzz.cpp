// Feeds arbitrary bytes to the .xls reader as a whole file; every cell that
// comes out is also turned into text.
#include <cstddef>
#include <cstdint>

#include "fuzz_sink.h"
#include "workbook/xls_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    tovrin::XlsReader::Limits limits;
    limits.maxSharedChars = qsizetype(8) << 20;
    limits.maxSharedStrings = qsizetype(1) << 20;
    tovrin::fuzz::Sink sink;
    tovrin::XlsReader(limits).read(QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size)), 11,
                                   sink);
    return 0;
}
