#include "platform/display.h"

#include <algorithm>

namespace tovrin {

void TextModel::setText(const QString& text) {
    const QString old = text_;
    text_ = text;
    const qsizetype common = std::min(old.size(), text_.size());
    const qsizetype kept =
        std::mismatch(old.begin(), old.begin() + common, text_.begin()).first - old.begin();
    replaced(kept, old.mid(kept));
}

void TextModel::setTextAppending(const QString& tail) {
    const qsizetype kept = text_.size();
    text_ += tail;
    replaced(kept, QString());
}

void TextModel::replaced(qsizetype kept, const QString& removedText) {
    runs_.clear();
    if (!text_.isEmpty()) runs_.push_back({0, text_.size(), baseSize_, kBlack});
    selStart_ = std::min(selStart_, text_.size());
    selLength_ = 0;
    notify({true, kept, text_, baseSize_, kBlack, removedText});
}

void TextModel::setSelStart(qsizetype position) {
    selStart_ = std::clamp<qsizetype>(position, 0, text_.size());
    selLength_ = 0;
}

void TextModel::setSelLength(qsizetype length) {
    selLength_ = std::clamp<qsizetype>(length, 0, text_.size() - selStart_);
}

void TextModel::setSelText(const QString& text) {
    const qsizetype at = selStart_;
    const qsizetype removed = selLength_;
    const QString removedText = text_.mid(at, removed);
    if (text_.isEmpty()) {
        text_ = text;  // shared, not copied: a report's text can be long
    } else {
        text_.replace(at, removed, text);
    }

    // Cut the runs around the replaced stretch and put the new run between.
    std::vector<Run> runs;
    runs.reserve(runs_.size() + 2);
    for (const Run& run : runs_) {
        const qsizetype end = run.start + run.length;
        if (end <= at) {
            runs.push_back(run);
            continue;
        }
        if (run.start < at) runs.push_back({run.start, at - run.start, run.size, run.color});
        if (end > at + removed) {
            const qsizetype from = std::max(run.start, at + removed);
            runs.push_back({from - removed + text.size(), end - from, run.size, run.color});
        }
    }
    if (!text.isEmpty()) {
        const auto pos = std::find_if(runs.begin(), runs.end(), [&](const Run& r) { return r.start >= at; });
        runs.insert(pos, {at, text.size(), selSize_, selColor_});
    }
    // Neighbouring runs of the same format are one run.
    runs_.clear();
    for (const Run& run : runs) {
        if (!runs_.empty() && runs_.back().size == run.size && runs_.back().color == run.color &&
            runs_.back().start + runs_.back().length == run.start) {
            runs_.back().length += run.length;
        } else {
            runs_.push_back(run);
        }
    }
    selStart_ = at + text.size();
    selLength_ = 0;
    notify({false, at, text, selSize_, selColor_, removedText});
}

std::vector<TextModel::Run>::const_iterator TextModel::runAt(qsizetype position) const {
    auto it = std::upper_bound(runs_.begin(), runs_.end(), position,
                               [](qsizetype p, const Run& r) { return p < r.start; });
    return it == runs_.begin() ? it : it - 1;
}

void TextModel::append(const QString& text, double size) {
    setSelFontSize(size);
    setSelStart(length());
    setSelText(text);
    setSelStart(length());
    setSelFontSize(size);
}

}  // namespace tovrin
