#pragma once

#include <QString>
#include <QStringView>
#include <vector>

namespace tovrin {

// The shared strings of a workbook, kept in one buffer with their end
// positions, so that a million short strings do not cost a million string
// objects. Bounded: add() refuses once the buffer or the count is full.
class StringPool {
public:
    StringPool(qsizetype maxChars, qsizetype maxStrings) : maxChars_(maxChars), maxStrings_(maxStrings) {}

    bool add(QStringView text) {
        if (qsizetype(ends_.size()) >= maxStrings_ || chars_.size() + text.size() > maxChars_) return false;
        chars_.append(text);
        ends_.push_back(chars_.size());
        return true;
    }
    qsizetype size() const { return qsizetype(ends_.size()); }
    bool contains(qint64 index) const { return index >= 0 && index < qint64(ends_.size()); }
    QString at(qsizetype index) const {
        const qsizetype begin = index == 0 ? 0 : ends_[size_t(index) - 1];
        return chars_.mid(begin, ends_[size_t(index)] - begin);
    }

private:
    qsizetype maxChars_;
    qsizetype maxStrings_;
    QString chars_;
    std::vector<qsizetype> ends_;
};

}  // namespace tovrin
