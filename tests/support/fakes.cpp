#include "support/fakes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace tovrin::test {

void FakePrompts::ok(const QString& text, const QString& title) {
    shown.push_back({QStringLiteral("ok"), text, title});
}

bool FakePrompts::yesNo(const QString& text, const QString& title) {
    shown.push_back({QStringLiteral("yesno"), text, title});
    if (answers_.empty()) {
        if (otherwise) return *otherwise;
        ranOutOfAnswers = true;
        return false;
    }
    const bool answer = answers_.front();
    answers_.pop_front();
    return answer;
}

QStringList FakePrompts::texts() const {
    QStringList out;
    for (const Shown& s : shown) out << s.text;
    return out;
}

QStringList FakePrompts::texts(const QString& kind) const {
    QStringList out;
    for (const Shown& s : shown) {
        if (s.kind == kind) out << s.text;
    }
    return out;
}

void RecordingSound::play(const QString& path) { played << QFileInfo(path).fileName(); }

FakeForm::FakeForm() {
    set(QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("100"), QStringLiteral("1"));
}

void FakeForm::set(const QString& t1, const QString& t2, const QString& t3, const QString& t4) {
    texts[Box::Text1] = t1;
    texts[Box::Text2] = t2;
    texts[Box::Text3] = t3;
    texts[Box::Text4] = t4;
}

QByteArray TempFiles::bytes(const QString& name) const {
    QFile file(path(name));
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll();
}

void TempFiles::put(const QString& name, const QByteArray& bytes) const {
    QFile file(path(name));
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) file.write(bytes);
}

void TempFiles::putText(const QString& name, const QString& text) const { put(name, gbk(text)); }

std::optional<QString> TempFiles::append(const QString& p, const QString& record) {
    if (failing.count(QFileInfo(p).fileName())) return QStringLiteral("No space left on device");
    return GbkTextFiles::append(p, record);
}

std::optional<QString> TempFiles::rewrite(const QString& p, const QString& content) {
    if (failing.count(QFileInfo(p).fileName())) return QStringLiteral("No space left on device");
    return GbkTextFiles::rewrite(p, content);
}

bool FaultyFiles::fails(const QString& what, const QString& path) {
    calls << what + QLatin1Char(' ') + QFileInfo(path).fileName();
    return failing.count(int(calls.size())) > 0;
}

std::optional<QString> FaultyFiles::append(const QString& path, const QString& record) {
    if (fails(QStringLiteral("append"), path)) return reason;
    return inner_.append(path, record);
}

std::optional<QString> FaultyFiles::rewrite(const QString& path, const QString& content) {
    if (fails(QStringLiteral("rewrite"), path)) return reason;
    return inner_.rewrite(path, content);
}

std::optional<QString> FaultyFiles::truncate(const QString& path, qint64 length) {
    if (fails(QStringLiteral("truncate"), path)) return reason;
    return inner_.truncate(path, length);
}

std::optional<QString> FaultyFiles::remove(const QString& path) {
    if (fails(QStringLiteral("remove"), path)) return reason;
    return inner_.remove(path);
}

void CrashingFiles::point(When now, const QString& path, const QByteArray& torn, bool truncateFirst) {
    if (now == When::Before) ++calls_;
    if (calls_ != at_ || now != when_) return;
    if (now == When::Halfway && !torn.isEmpty()) {
        const int fd = ::open(QFile::encodeName(path).constData(),
                              O_WRONLY | O_CREAT | (truncateFirst ? O_TRUNC : O_APPEND), 0666);
        if (fd >= 0) {
            [[maybe_unused]] const ssize_t n = ::write(fd, torn.constData(), size_t(torn.size() / 2));
            ::close(fd);
        }
    }
    ::_exit(kCrashed);
}

std::optional<QString> CrashingFiles::append(const QString& path, const QString& record) {
    point(When::Before, path);
    point(When::Halfway, path, encodeGbk(record + QStringLiteral("\r\n")));
    const auto result = inner_.append(path, record);
    point(When::After, path);
    return result;
}

std::optional<QString> CrashingFiles::rewrite(const QString& path, const QString& content) {
    point(When::Before, path);
    point(When::Halfway, path, encodeGbk(content), true);
    const auto result = inner_.rewrite(path, content);
    point(When::After, path);
    return result;
}

std::optional<QString> CrashingFiles::truncate(const QString& path, qint64 length) {
    point(When::Before, path);
    point(When::Halfway, path);
    const auto result = inner_.truncate(path, length);
    point(When::After, path);
    return result;
}

std::optional<QString> CrashingFiles::remove(const QString& path) {
    point(When::Before, path);
    point(When::Halfway, path);
    const auto result = inner_.remove(path);
    point(When::After, path);
    return result;
}

QString DiskFaults::nameOf(int fd) {
    const QString target = QFile::symLinkTarget(QStringLiteral("/proc/self/fd/%1").arg(fd));
    struct stat st {};
    const bool folder = ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode);
    return QFileInfo(target).fileName() + (folder ? QStringLiteral("/") : QString());
}

int DiskFaults::fault(const QString& call, int fd) {
    const QString name = nameOf(fd);
    log << call + QLatin1Char(' ') + name;
    for (Rule& rule : rules) {
        if (rule.call != call || rule.file != name || rule.times == 0) continue;
        if (rule.after > 0) {
            --rule.after;
            return 0;
        }
        if (rule.times > 0) --rule.times;
        return rule.error;
    }
    return 0;
}

GbkTextFiles::DiskCalls DiskFaults::calls() {
    GbkTextFiles::DiskCalls calls;
    calls.write = [this](int fd, const void* bytes, size_t count) -> ssize_t {
        if (const int error = fault(QStringLiteral("write"), fd)) {
            errno = error;
            return -1;
        }
        return ::write(fd, bytes, count);
    };
    calls.fsync = [this](int fd) {
        if (const int error = fault(QStringLiteral("fsync"), fd)) {
            errno = error;
            return -1;
        }
        return ::fsync(fd);
    };
    calls.ftruncate = [this](int fd, off_t length) {
        if (const int error = fault(QStringLiteral("ftruncate"), fd)) {
            errno = error;
            return -1;
        }
        return ::ftruncate(fd, length);
    };
    return calls;
}

QByteArray gbk(const QString& text) { return encodeGbk(text); }

}  // namespace tovrin::test
