#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace tovrin::test {

// The file system calls of a test, as strace sees them. The test runs a
// second time, alone, in a child of this test program under strace, with
// TOVRIN_TRACED set to a folder for it to work in (tracedFolder() gives it).
class SystemTrace {
public:
    // The folder of the traced run; empty in the ordinary run.
    static QString tracedFolder();
    // Leaves a mark in the trace: an access() of the folder's file `name`,
    // which does not exist.
    static void mark(const QString& folder, const QString& name);

    // Runs the current test again under strace in `folder`; false when
    // strace cannot trace here (why() says why), or when the traced run
    // failed (that failure is added to the test's).
    bool run(const QString& folder);
    const QString& why() const { return why_; }

    // What the run did to files, in order, by file name: "create j.txt",
    // "fsync j.txt", "fsync <folder>/" (the folder's own name), "rename a b",
    // "mark name".
    const QStringList& events() const { return events_; }
    // The position of the first event from `from` on that matches the
    // wildcard pattern, -1 when none does.
    qsizetype find(const QString& pattern, qsizetype from = 0) const;

private:
    QString why_;
    QStringList events_;
};

}  // namespace tovrin::test
