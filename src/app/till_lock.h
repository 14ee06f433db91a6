#pragma once

#include <QLockFile>
#include <QString>

namespace tovrin {

// One till per program folder: the running program holds a lock file beside
// its journals, so a second start from the same folder finds it taken. A lock
// left behind by a run that crashed counts as free again.
class TillLock {
public:
    static inline const QString kFileName = QStringLiteral("tovrin.lock");
    static inline const QString kAlreadyRunning = QStringLiteral("Tovrin 找零 已经在运行。");

    explicit TillLock(const QString& folder);

    // True when this run may go on: the lock is now ours, or the folder
    // allows no lock file at all (then nothing can be guarded, and the
    // journals will report their own trouble). False when another run holds it.
    bool acquire();
    void release() { lock_.unlock(); }

private:
    QLockFile lock_;
};

}  // namespace tovrin
