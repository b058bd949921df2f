// Thread priority for the library's background workers.
#ifndef ORVANE_PLATFORM_OVTHREADPRIORITY_H
#define ORVANE_PLATFORM_OVTHREADPRIORITY_H

// Makes the calling thread run behind the client's threads by `steps` levels where the
// system allows it without privilege; a refusal is ignored (it only costs the client's
// thread some precedence).
void OvLowerCurrentThreadPriority(int steps);

#endif
