// Atomic changes of a record's lock count. The count is a plain int in the
// exported record, but the client's unlocks and the loading threads' inserts and
// removals change it at the same time, so every access goes through here.
#ifndef ORVANE_DATA_OVLOCKCOUNT_H
#define ORVANE_DATA_OVLOCKCOUNT_H

#include <cassert>

#include "OvData.h"

// Adds one holder; returns the count before.
inline int OvLockAdd(COvMemData* rec) {
    return __atomic_fetch_add(&rec->m_nLock, 1, __ATOMIC_ACQ_REL);
}

// Removes one holder; returns the count before (1 means the caller was the last).
inline int OvLockRelease(COvMemData* rec) {
    const int before = __atomic_fetch_sub(&rec->m_nLock, 1, __ATOMIC_ACQ_REL);
    assert(before >= 1 && "a record's lock was given back more often than taken");
    return before;
}

inline int OvLockCount(const COvMemData* rec) {
    return __atomic_load_n(&rec->m_nLock, __ATOMIC_ACQUIRE);
}

#endif
