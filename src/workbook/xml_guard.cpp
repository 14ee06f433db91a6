#include "workbook/xml_guard.h"

#include <array>
#include <cstring>

namespace tovrin {

namespace {

const QByteArray kCommentStart = QByteArrayLiteral("--");

// The bytes that end a stretch of a tag: its end and the quotes.
constexpr auto kTagStop = [] {
    std::array<bool, 256> stop{};
    stop['>'] = stop['"'] = stop['\''] = true;
    return stop;
}();
const QByteArray kCDataStart = QByteArrayLiteral("[CDATA[");

}  // namespace

XmlGuard::XmlGuard(QIODevice& source, const XmlLimits& limits, qint64& unpacked, qint64 maxBytes)
    : source_(source), limits_(limits), unpacked_(unpacked), maxBytes_(maxBytes) {
    open(QIODevice::ReadOnly);
}

bool XmlGuard::fail(const QString& why) {
    if (violation_.isEmpty()) violation_ = why;
    setErrorString(violation_);
    return false;
}

qint64 XmlGuard::readData(char* data, qint64 maxSize) {
    if (!violation_.isEmpty()) return -1;
    const qint64 got = source_.read(data, maxSize);
    if (got < 0) {
        fail(QStringLiteral("解压失败（%1）").arg(source_.errorString()));
        return -1;
    }
    if ((unpacked_ += got) > limits_.maxUnpackedBytes) {
        fail(QStringLiteral("解压后的内容超过 %1 MB，不像是商品表").arg(limits_.maxUnpackedBytes >> 20));
        return -1;
    }
    read_ += got;
    if (maxBytes_ >= 0 && read_ > maxBytes_) {
        fail(QStringLiteral("解压后超过 %1 MB 的上限，不像是商品表").arg(maxBytes_ >> 20));
        return -1;
    }
    if (packed_ && read_ > floor_) {
        // The archive reads the packed bytes ahead of the unpacking, so
        // those read so far are at least those unpacked.
        const qint64 packed = packed_->pos() - packedStart_;
        if (read_ / ratio_ > packed) {
            fail(QStringLiteral("压缩比超过 %1 倍（%2 KB 解压成 %3 MB），像是压缩炸弹")
                     .arg(ratio_)
                     .arg(packed >> 10)
                     .arg(read_ >> 20));
            return -1;
        }
    }
    if (!scan(data, got)) return -1;
    return got;
}

// A small lexer that follows only what decides a token's length and the
// depth: text, tags (with quoted attribute values), comments, CDATA sections
// and processing instructions. Well-formedness is left to the XML reader.
bool XmlGuard::scan(const char* data, qint64 size) {
    const auto tooLong = [this] {
        return fail(QStringLiteral("单元格内容或标记超过 %1 KB").arg(limits_.maxTokenBytes >> 10));
    };
    const auto backToText = [this] {
        state_ = State::Text;
        tokenBytes_ = 0;
    };
    // Passes over a run of bytes that needs no attention, up to `end`;
    // false when the token grows too long.
    const auto skipTo = [&](qint64& i, qint64 end) {
        tokenBytes_ += end - i;
        if (tokenBytes_ > limits_.maxTokenBytes) return false;
        if (end > i) {
            beforeLast_ = end - i > 1 ? data[end - 2] : last_;
            last_ = data[end - 1];
        }
        i = end;
        return true;
    };
    for (qint64 i = 0; i < size; ++i) {
        if (state_ == State::Tag && quote_ == 0) {
            // Inside a tag only quotes and its end matter.
            qint64 end = i;
            while (end < size && !kTagStop[quint8(data[end])]) ++end;
            if (!skipTo(i, end)) return tooLong();
            if (i == size) break;
        } else if (state_ == State::Tag) {
            // Inside a quoted attribute value only the closing quote matters.
            const void* q = std::memchr(data + i, quote_, size_t(size - i));
            const qint64 end = q ? static_cast<const char*>(q) - data : size;
            if (!skipTo(i, end)) return tooLong();
            if (i == size) break;
        } else if (state_ == State::Text) {
            // Most bytes are text between tags: skip to the next "<" at once.
            const void* lt = std::memchr(data + i, '<', size_t(size - i));
            const qint64 end = lt ? static_cast<const char*>(lt) - data : size;
            if (!skipTo(i, end)) return tooLong();
            if (i == size) break;
        }
        const char c = data[i];
        if (++tokenBytes_ > limits_.maxTokenBytes) return tooLong();
        switch (state_) {
            case State::Text:
                if (c == '<') {
                    state_ = State::Open;
                    tokenBytes_ = 0;
                }
                break;
            case State::Open:
                if (c == '!') {
                    state_ = State::Bang;
                    bang_.clear();
                } else if (c == '?') {
                    state_ = State::Instruction;
                } else {
                    state_ = State::Tag;
                    closing_ = c == '/';
                    quote_ = 0;
                    if (closing_) {
                        if (depth_ > 0) --depth_;
                    } else if (++depth_ > limits_.maxDepth) {
                        return fail(QStringLiteral("标记嵌套超过 %1 层").arg(limits_.maxDepth));
                    }
                }
                break;
            case State::Bang:
                bang_ += c;
                if (bang_ == kCommentStart) {
                    state_ = State::Comment;
                } else if (bang_ == kCDataStart) {
                    state_ = State::CData;
                } else if (!kCommentStart.startsWith(bang_) && !kCDataStart.startsWith(bang_)) {
                    return fail(QStringLiteral("含有文档类型声明（DTD）"));
                }
                break;
            case State::Tag:
                if (quote_ != 0) {
                    if (c == quote_) quote_ = 0;
                } else if (c == '"' || c == '\'') {
                    quote_ = c;
                } else if (c == '>') {
                    if (!closing_ && last_ == '/' && depth_ > 0) --depth_;
                    backToText();
                }
                break;
            case State::Comment:
                if (c == '>' && last_ == '-' && beforeLast_ == '-') backToText();
                break;
            case State::CData:
                if (c == '>' && last_ == ']' && beforeLast_ == ']') backToText();
                break;
            case State::Instruction:
                if (c == '>' && last_ == '?') backToText();
                break;
        }
        beforeLast_ = last_;
        last_ = c;
    }
    return true;
}

}  // namespace tovrin
