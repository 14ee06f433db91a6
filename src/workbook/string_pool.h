#pragma once

#include <QString>
#include <QStringView>
#include <algorithm>
#include <vector>

#include "workbook/xml_text.h"

namespace tovrin {

// The shared strings of a workbook, kept in one buffer with their end
// positions, so that a million short strings do not cost a million string
// objects. Bounded: add() refuses once the buffer or the count is full; the
// buffer holds less than 2^32 characters.
class StringPool {
public:
    StringPool(qsizetype maxChars, qsizetype maxStrings)
        : maxChars_(std::min<qsizetype>(maxChars, 0xFFFFFFFF)), maxStrings_(maxStrings) {}

    bool add(QStringView text) {
        if (qsizetype(ends_.size()) >= maxStrings_ || chars_.size() + text.size() > maxChars_) return false;
        chars_.append(text);
        ends_.push_back(quint32(chars_.size()));
        return true;
    }
    // The same for UTF-8 text of `size` UTF-16 code units.
    bool addUtf8(QByteArrayView utf8, qsizetype size) {
        if (qsizetype(ends_.size()) >= maxStrings_ || chars_.size() + size > maxChars_) return false;
        xml_text::append(chars_, utf8, size);
        ends_.push_back(quint32(chars_.size()));
        return true;
    }
    qsizetype size() const { return qsizetype(ends_.size()); }
    bool contains(qint64 index) const { return index >= 0 && index < qint64(ends_.size()); }
    QString at(qsizetype index) const {
        const qsizetype begin = index == 0 ? 0 : qsizetype(ends_[size_t(index) - 1]);
        return chars_.mid(begin, qsizetype(ends_[size_t(index)]) - begin);
    }

private:
    qsizetype maxChars_;
    qsizetype maxStrings_;
    QString chars_;
    std::vector<quint32> ends_;
};

}  // namespace tovrin
