#include "platform/bytefile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>
#include <iterator>
#include <string>

#include "platform/datafile.h"

namespace tovrin {

namespace {

qint64 findForward(QByteArrayView hay, QByteArrayView needle) {
    if (needle.size() > hay.size()) return -1;
    if (needle.size() == 1) {
        const void* hit = std::memchr(hay.data(), needle[0], size_t(hay.size()));
        return hit ? static_cast<const char*>(hit) - hay.data() : -1;
    }
#ifdef __GLIBC__
    const void* hit = ::memmem(hay.data(), size_t(hay.size()), needle.data(), size_t(needle.size()));
    return hit ? static_cast<const char*>(hit) - hay.data() : -1;
#else
    const auto it =
        std::search(hay.begin(), hay.end(), std::boyer_moore_horspool_searcher(needle.begin(), needle.end()));
    return it == hay.end() ? -1 : it - hay.begin();
#endif
}

qint64 findBackward(QByteArrayView hay, QByteArrayView needle) {
    if (needle.size() > hay.size()) return -1;
    using Rev = std::reverse_iterator<const char*>;
    const Rev hb(hay.data() + hay.size()), he(hay.data());
    const Rev nb(needle.data() + needle.size()), ne(needle.data());
    const auto it = needle.size() == 1 ? std::find(hb, he, needle[0])
                                       : std::search(hb, he, std::boyer_moore_horspool_searcher(nb, ne));
    if (it == he) return -1;
    // The reversed match ends where the forward occurrence starts.
    return (he - it) - needle.size();
}

bool isLineEnd(char c) { return c == '\r' || c == '\n'; }

}  // namespace

ByteFile::ByteFile(const QString& path, qint64 window)
    : file_(path), window_(std::max<qint64>(window, 4096)) {
    DataFile data(path);
    if (data.state() == DataFile::State::Missing) return;
    if (data.state() == DataFile::State::Refused) {
        state_ = State::Unreadable;
        reason_ = data.reason();
        return;
    }
    const qint64 size = data.size();
    errno = 0;
    if (!file_.open(data.release(), QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        state_ = State::Unreadable;
        // In words of the till's own, not the system's English.
        reason_ = systemReason(errno != 0 ? errno : EBADF);
        return;
    }
    size_ = size;
    state_ = size_ > 0 ? State::HasContent : State::Empty;
}

std::unique_ptr<ByteFile> ByteFile::held(State state, QByteArray bytes, QString reason) {
    std::unique_ptr<ByteFile> file(new ByteFile());
    file->state_ = state;
    file->reason_ = std::move(reason);
    // The window is the whole content, so no part of it is ever read again.
    file->size_ = bytes.size();
    file->window_ = bytes.size();
    file->buffer_ = std::move(bytes);
    return file;
}

void ByteFile::load(qint64 from, qint64 length) {
    from = std::clamp<qint64>(from, 0, size_);
    length = std::clamp<qint64>(length, 0, size_ - from);
    buffer_.resize(length);
    qint64 got = 0;
    if (length > 0 && file_.seek(from)) got = std::max<qint64>(0, file_.read(buffer_.data(), length));
    // A read that comes short (the file shrank or the disk failed) ends the
    // file there.
    if (got < length) {
        buffer_.resize(got);
        size_ = from + got;
    }
    bufferStart_ = from;
}

QByteArrayView ByteFile::ahead(qint64 pos, qint64 atLeast) {
    const qint64 want = std::min(atLeast, size_ - pos);
    const qint64 end = bufferStart_ + buffer_.size();
    if (pos < bufferStart_ || pos + want > end) {
        load(pos, std::max(window_, atLeast));
    }
    return QByteArrayView(buffer_).sliced(pos - bufferStart_);
}

QByteArrayView ByteFile::behind(qint64 end, qint64 atLeast) {
    const qint64 want = std::min(atLeast, end);
    if (end > bufferStart_ + buffer_.size() || end - want < bufferStart_) {
        const qint64 length = std::max(window_, atLeast);
        load(end - length, std::min(length, end));
    }
    end = std::min(end, bufferStart_ + buffer_.size());
    return QByteArrayView(buffer_).first(end - bufferStart_);
}

qint64 ByteFile::indexOf(QByteArrayView needle, qint64 from, qint64 limit) {
    from = std::max<qint64>(from, 0);
    if (limit < 0 || limit > size_) limit = size_;
    const qint64 n = needle.size();
    if (n == 0) return from <= size_ ? from : -1;
    qint64 pos = from;
    while (pos < limit && pos + n <= size_) {
        QByteArrayView view = ahead(pos, n);
        // Only occurrences that start before the limit count.
        view = view.first(std::min<qint64>(view.size(), limit - pos + n - 1));
        const qint64 hit = findForward(view, needle);
        if (hit >= 0) return pos + hit;
        if (view.size() < n) return -1;
        pos += view.size() - (n - 1);
    }
    return -1;
}

qint64 ByteFile::lastIndexOf(QByteArrayView needle, qint64 from, qint64 floor) {
    const qint64 n = needle.size();
    floor = std::max<qint64>(floor, 0);
    if (n == 0) return from >= floor && from <= size_ ? from : -1;
    qint64 end = std::min(from + n, size_);
    while (end - n >= floor) {
        QByteArrayView view = behind(end, n);
        // Only occurrences that start at or after the floor count.
        const qint64 start = std::max(end - view.size(), floor);
        view = view.last(end - start);
        const qint64 hit = findBackward(view, needle);
        if (hit >= 0) return start + hit;
        if (start <= floor) return -1;
        end = start + n - 1;
    }
    return -1;
}

qint64 ByteFile::indexOfLineEnd(qint64 from, qint64 limit) {
    from = std::max<qint64>(from, 0);
    if (limit < 0 || limit > size_) limit = size_;
    for (qint64 pos = from; pos < limit;) {
        const QByteArrayView view = ahead(pos, 1);
        if (view.isEmpty()) return -1;
        const qint64 n = std::min<qint64>(view.size(), limit - pos);
        const auto hit = std::find_if(view.begin(), view.begin() + n, isLineEnd);
        if (hit != view.begin() + n) return pos + (hit - view.begin());
        pos += n;
    }
    return -1;
}

qint64 ByteFile::lastIndexOfLineEnd(qint64 from, qint64 floor) {
    floor = std::max<qint64>(floor, 0);
    for (qint64 end = std::min(from + 1, size_); end > floor;) {
        const QByteArrayView view = behind(end, 1);
        // The view holds the bytes from the window's start on.
        const qint64 viewStart = bufferStart_;
        const qint64 start = std::max(viewStart, floor);
        for (qint64 p = viewStart + view.size() - 1; p >= start; --p) {
            if (isLineEnd(view[p - viewStart])) return p;
        }
        if (view.isEmpty() || start <= floor) return -1;
        end = start;
    }
    return -1;
}

TextEncoding ByteFile::encoding() {
    if (!encoding_) {
        const qint64 length = std::min<qint64>(size_, kEncodingSample);
        if (bufferStart_ == 0 && buffer_.size() >= length) {
            encoding_ = sniffEncoding(QByteArrayView(buffer_).first(length));
        } else {
            // Read aside, so that the window of the searches stays.
            QByteArray head(length, Qt::Uninitialized);
            qint64 got = 0;
            if (length > 0 && file_.seek(0)) got = std::max<qint64>(0, file_.read(head.data(), length));
            encoding_ = sniffEncoding(QByteArrayView(head).first(got));
        }
    }
    return *encoding_;
}

QByteArray ByteFile::bytes(qint64 from, qint64 to) {
    from = std::clamp<qint64>(from, 0, size_);
    to = std::clamp<qint64>(to, from, size_);
    if (to == from) return {};
    return ahead(from, to - from).first(std::min<qint64>(to - from, size_ - from)).toByteArray();
}

}  // namespace tovrin
