#include "support/trace.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace tovrin::test {

namespace {
const char* const kVariable = "TOVRIN_TRACED";
}  // namespace

QString SystemTrace::tracedFolder() { return qEnvironmentVariable(kVariable); }

void SystemTrace::mark(const QString& folder, const QString& name) {
    [[maybe_unused]] const int none = ::access(QFile::encodeName(folder + u'/' + name).constData(), F_OK);
}

bool SystemTrace::run(const QString& folder) {
    const QString strace = QStandardPaths::findExecutable(QStringLiteral("strace"));
    if (strace.isEmpty()) {
        why_ = QStringLiteral("strace is not installed");
        return false;
    }
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    QTemporaryDir logDir;
    const QString log = logDir.filePath(QStringLiteral("trace.log"));
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromLatin1(kVariable), folder);
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(strace,
                {QStringLiteral("-f"), QStringLiteral("-qq"), QStringLiteral("-o"), log, QStringLiteral("-e"),
                 QStringLiteral("trace=open,openat,fsync,fdatasync,rename,renameat,renameat2,"
                                "access,faccessat,faccessat2"),
                 QStringLiteral("--"), QCoreApplication::applicationFilePath(),
                 QStringLiteral("--gtest_filter=%1.%2").arg(test->test_suite_name(), test->name())});
    if (!child.waitForFinished(300000) || child.exitStatus() != QProcess::NormalExit) {
        child.kill();
        child.waitForFinished();
        why_ = QStringLiteral("the traced run did not end");
        return false;
    }
    const QString output = QString::fromLocal8Bit(child.readAll());
    if (child.exitCode() != 0) {
        why_ = output.left(4000);
        // The traced run failed a check of its own; otherwise strace could
        // not trace here, and said so.
        if (output.contains(QStringLiteral("[  FAILED  ]"))) ADD_FAILURE() << why_.toStdString();
        return false;
    }
    QFile file(log);
    if (!file.open(QIODevice::ReadOnly)) {
        why_ = QStringLiteral("no trace was written");
        return false;
    }
    // "1234  openat(AT_FDCWD, "/f/j.txt", O_WRONLY|O_CREAT|O_EXCL, 0666) = 7"
    static const QRegularExpression opened(
        QString::fromLatin1(R"re(open(?:at)?\((?:AT_FDCWD, )?"([^"]*)", ([A-Z_|]*).*\) += (\d+))re"));
    static const QRegularExpression synced(QString::fromLatin1(R"re(f(?:data)?sync\((\d+)\) += 0)re"));
    static const QRegularExpression renamed(QString::fromLatin1(
        R"re(rename(?:at2?)?\((?:AT_FDCWD, )?"([^"]*)", (?:AT_FDCWD, )?"([^"]*)".*\) += 0)re"));
    static const QRegularExpression marked(
        QString::fromLatin1(R"re(access(?:at2?)?\((?:AT_FDCWD, )?"([^"]*)")re"));
    QHash<QString, QString> names;  // descriptor → name
    const auto nameOf = [&](const QString& path, bool folderFlag) {
        return QFileInfo(path).fileName() + (folderFlag ? QStringLiteral("/") : QString());
    };
    for (const QByteArray& raw : file.readAll().split('\n')) {
        const QString line = QString::fromUtf8(raw);
        if (const auto m = opened.match(line); m.hasMatch()) {
            const bool folderFlag = m.captured(2).contains(QStringLiteral("O_DIRECTORY"));
            names[m.captured(3)] = nameOf(m.captured(1), folderFlag);
            if (m.captured(2).contains(QStringLiteral("O_CREAT")) && m.captured(1).startsWith(folder)) {
                events_ << QStringLiteral("create ") + nameOf(m.captured(1), false);
            }
        } else if (const auto m = synced.match(line); m.hasMatch()) {
            events_ << QStringLiteral("fsync ") + names.value(m.captured(1), QStringLiteral("?"));
        } else if (const auto m = renamed.match(line); m.hasMatch()) {
            events_ << QStringLiteral("rename ") + nameOf(m.captured(1), false) + u' ' +
                           nameOf(m.captured(2), false);
        } else if (const auto m = marked.match(line); m.hasMatch()) {
            if (m.captured(1).startsWith(folder))
                events_ << QStringLiteral("mark ") + nameOf(m.captured(1), false);
        }
    }
    if (events_.isEmpty()) {
        why_ = QStringLiteral("the trace is empty");
        return false;
    }
    return true;
}

qsizetype SystemTrace::find(const QString& pattern, qsizetype from) const {
    const QRegularExpression re(QRegularExpression::wildcardToRegularExpression(pattern));
    for (qsizetype i = std::max<qsizetype>(from, 0); i < events_.size(); ++i) {
        if (re.match(events_[i]).hasMatch()) return i;
    }
    return -1;
}

}  // namespace tovrin::test
