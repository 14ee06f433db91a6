#include "app/till_lock.h"

#include "platform/folder.h"

namespace tovrin {

TillLock::TillLock(const QString& folder) : lock_(folderFile(folder, kFileName)) {
    // A till runs for days: only a lock whose process has gone is stale,
    // never one that is merely old.
    lock_.setStaleLockTime(0);
}

bool TillLock::acquire() {
    if (lock_.tryLock(0)) return true;
    return lock_.error() != QLockFile::LockFailedError;
}

}  // namespace tovrin
