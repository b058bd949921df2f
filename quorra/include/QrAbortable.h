// An optional second interface of a stream creator: a creator whose streams can
// wait on something outside the process (a server, a device) implements it, so that
// its owner can end those waits before it waits for its loading threads.
#ifndef QUORRA_QRABORTABLE_H
#define QUORRA_QRABORTABLE_H

#include "QrExport.h"

// The data layer finds this interface with dynamic_cast on every creator it owns
// and calls AbortStreams once, when it shuts down: after its queue is emptied and
// before it waits for its loading threads. Client creators may implement it too.
class QR_EXPORT CQrAbortable {
public:
    CQrAbortable() = default;
    CQrAbortable(const CQrAbortable&) = default;
    CQrAbortable& operator=(const CQrAbortable&) = default;
    virtual ~CQrAbortable();

    // Makes every CreateStream in progress on any thread return soon (null), and
    // every later one fail at once: the owner is done with the creator. May be
    // called from any thread, also while streams are being created; safe to repeat.
    virtual void AbortStreams() = 0;
};

#endif
