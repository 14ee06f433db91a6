#include "barcode/lookup.h"

#include <QStringMatcher>

#include "barcode/lines.h"
#include "platform/folder.h"

namespace tovrin {

QString kong2(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (QChar c : text) {
        if (c != u' ' && c != u'\r' && c != u'\n') out += c;
    }
    return out;
}

BarcodeLookup::BarcodeLookup(const TextFiles& files, Prompts& prompts, QString folder)
    : files_(files), prompts_(prompts), folder_(std::move(folder)) {}

QString BarcodeLookup::kuaisu(const QString& barcode) {
    for (QString& slot : lookupFields) slot.clear();
    const QString key = kong2(upperSameLength(barcode));

    const QString path = folderFile(folder_, kTableFile);
    const TextFiles::Read table = files_.read(path);
    switch (table.state) {
        case TextFiles::State::Missing:
            prompts_.ok(QStringLiteral("没有找到条码价格表 collector.txt，请先单击“更新条码价格”导入。"));
            return {};
        case TextFiles::State::Unreadable:
            prompts_.ok(QStringLiteral("无法读取 ") + path + QStringLiteral("：") + table.reason);
            return {};
        case TextFiles::State::Empty:
            prompts_.ok(QStringLiteral("条码文件 open error"));
            return {};
        case TextFiles::State::HasContent:
            break;
    }
    // The working text is the table in upper case followed by CR LF. A key
    // without letters occurs in the table where it occurs in its upper case,
    // so only the line found needs upper-casing then.
    const bool blind = caseBlind(key);
    const QString text = blind ? table.text : upperSameLength(table.text);

    // Every occurrence counts, overlapping ones and those inside a longer
    // barcode, a name or a price; only the line of the first one is used.
    int count = 0;
    QString found;
    if (key.isEmpty()) {
        count = 2;  // the empty key stands at every position
    } else {
        const QStringMatcher matcher(key);
        for (qsizetype p = matcher.indexIn(text, 0); p >= 0; p = matcher.indexIn(text, p + 1)) {
            const std::optional<QString> line = lineAround(text, p, true);
            if (!line) continue;
            if (++count == 1) found = *line;
            if (count > 1) break;  // two are enough to refuse
        }
    }
    if (count >= 2) {
        prompts_.ok(QStringLiteral("此商品条形码重复或表达错误！"), kBoxTitle);
        return {};
    }
    if (count == 0) {
        prompts_.ok(QStringLiteral("没有此商品条形码！"), kBoxTitle);
        return {};
    }
    const QStringList fields = splitFields(blind ? upperSameLength(found) : found);
    for (qsizetype k = 1; k < fields.size(); ++k) lookupFields[k] = fields[k];
    if (lookupFields[2] == key && !lookupFields[6].isEmpty()) return lookupFields[6];
    prompts_.ok(QStringLiteral("没有该商品条码对应的价格！"));
    return {};
}

}  // namespace tovrin
