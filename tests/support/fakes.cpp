#include "support/fakes.h"

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

QByteArray gbk(const QString& text) { return toGbk(text); }

}  // namespace tovrin::test
