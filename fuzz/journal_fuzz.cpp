// Feeds arbitrary bytes to the journal readers as a journal: the line rule,
// the period section and the goods report's item lines, searched in the bytes
// and in the decoded text. Whatever the bytes (any line ends, GBK or UTF-8,
// long lines), nothing crashes, both searches find the same, the gathering
// keeps to its budget, and writing the line ends as CR LF changes nothing
// a second time.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "records/haystack.h"
#include "records/lines.h"

namespace {

using namespace tovrin;

// A small budget, so that the fuzzer reaches the stop.
constexpr qint64 kBudget = 4096;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const std::unique_ptr<ByteFile> file =
        ByteFile::held(bytes.isEmpty() ? ByteFile::State::Empty : ByteFile::State::HasContent, bytes);
    FileHaystack inBytes(*file);
    const TextEncoding encoding = file->encoding();
    const QString decoded = decodeText(bytes, encoding);
    if (withCrLf(withCrLf(decoded)) != withCrLf(decoded)) std::abort();
    if (bytes.isEmpty()) return 0;
    TextHaystack inText(upperSameLength(decoded + QStringLiteral("\r\n")));

    for (const QString& key : {QStringLiteral("2018-5-1"), QStringLiteral("2018-5"), QStringLiteral("1")}) {
        const QString needle = key + QLatin1Char(' ');
        const Gathered fromBytes = gatherLines(inBytes, needle, std::numeric_limits<size_t>::max(), kBudget);
        qint64 spent = 0;
        for (const QString& line : fromBytes.lines) spent += line.size() + kLineCost;
        if (spent > kBudget) std::abort();
        // Decoded a piece at a time, GBK text reads as decoded whole; UTF-8
        // with GBK lines in it may not, when a piece cuts a line.
        if (encoding == TextEncoding::Gbk &&
            fromBytes != gatherLines(inText, needle, std::numeric_limits<size_t>::max(), kBudget)) {
            std::abort();
        }
        const std::optional<QString> section = periodSection(inBytes, key, needle, QStringLiteral("2019-"));
        if (encoding == TextEncoding::Gbk &&
            section != periodSection(inText, key, needle, QStringLiteral("2019-")))
            std::abort();
        if (section && withCrLf(*section) != *section) std::abort();
    }
    return 0;
}
