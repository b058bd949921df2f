// Hints to the system about memory the library is about to use.
#ifndef ORVANE_PLATFORM_OVMEMORYHINT_H
#define ORVANE_PLATFORM_OVMEMORYHINT_H

#include <cstddef>

// Has the system back every whole page of the `bytes` at `memory` now, in one call,
// before they are written: much cheaper than faulting them in one by one. Only for
// memory that will be written whole. Where the system cannot, nothing changes.
void OvPrefaultForWrite(void* memory, std::size_t bytes);

#endif
