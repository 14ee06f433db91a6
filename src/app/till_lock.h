#pragma once

#include <QString>

namespace tovrin {

// One till per program folder: the running program holds an advisory lock
// on a file beside its journals, so a second start from the same folder
// finds it taken. The system lets the lock go when the process ends, however
// it ends, so a crash never leaves a stale lock (process numbers play no part,
// so a run in its own PID namespace is no different).
//
// The lock needs only to read the lock file: whatever stands there (a file
// that is read-only or another user's, a folder) still locks, and nothing is
// ever written to it.
class TillLock {
public:
    static inline const QString kFileName = QStringLiteral("tovrin.lock");
    static inline const QString kAlreadyRunning = QStringLiteral("Tovrin 找零 已经在运行。");

    explicit TillLock(const QString& folder);
    ~TillLock();
    TillLock(const TillLock&) = delete;
    TillLock& operator=(const TillLock&) = delete;

    // True when this run may go on: the lock is now ours, or it cannot be
    // had at all (trouble() then says why). False when another run holds it.
    bool acquire();
    void release();

    // Why the lock could not be had, for the cashier; empty when it is held
    // or held by another run.
    const QString& trouble() const { return trouble_; }

private:
    QString path_;
    int fd_ = -1;
    QString trouble_;
};

}  // namespace tovrin
