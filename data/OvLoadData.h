// The load step: a descriptor's name through the stream creators and its type's
// handler into data.
#ifndef ORVANE_DATA_OVLOADDATA_H
#define ORVANE_DATA_OVLOADDATA_H

#include "OvData.h"

class COvDataManager;
class COvStreamCreatorList;

// Opens a stream for info's name, lets the handler of info's type make the data and
// frees the stream. Returns the data with its size in *size, or null with *size 0
// when no creator opens the name or the handler fails. A negative size from a
// handler counts as 0.
void* OvLoadData(const COvDataInfo& info, COvStreamCreatorList& creators, COvDataManager& handlers,
                 int* size);

#endif
