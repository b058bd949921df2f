#include "data/OvLoadData.h"

#include "data/OvDataManager.h"
#include "data/OvStreamCreatorList.h"

void* OvLoadData(const COvDataInfo& info, COvStreamCreatorList& creators, COvDataManager& handlers,
                 int* size) {
    *size = 0;
    CQrStreamCreator* creator = nullptr;
    CQrReadStream* stream = nullptr;
    // Creators and handlers are client code running on loading threads, where an
    // escaping exception would end the process: a throw counts as a failed load.
    try {
        stream = creators.OpenStream(info.m_strName, &creator);
    } catch (...) {
        return nullptr;
    }
    if (stream == nullptr)
        return nullptr;
    int made = 0;
    void* data = nullptr;
    try {
        data = handlers.GetHandler(info.m_nType)->CreateData(stream, &made);
    } catch (...) {
        data = nullptr;
    }
    creator->FreeStream(stream);
    if (data != nullptr)
        *size = made < 0 ? 0 : made;
    return data;
}
