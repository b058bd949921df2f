#include "data/OvStreamCreatorList.h"

#include <algorithm>
#include <climits>
#include <new>

#include "data/OvDataManager.h"

COvStreamCreatorList::COvStreamCreatorList() : m_nCapacity(0), m_nCount(0) {}

COvStreamCreatorList::~COvStreamCreatorList() {
    for (int i = 0; i < m_nCount; ++i)
        m_ppCreators[i]->Free();
}

int COvStreamCreatorList::Add(CQrStreamCreator* creator) {
    if (creator == nullptr)
        return -1;
    if (m_nCount == m_nCapacity) {
        if (m_nCapacity > (INT_MAX - 100) / 2)
            return -1;
        const int capacity = 2 * m_nCapacity + 100;
        std::unique_ptr<CQrStreamCreator*[]> grown(new (std::nothrow) CQrStreamCreator*[capacity]);
        if (!grown)
            return -1;
        std::copy_n(m_ppCreators.get(), m_nCount, grown.get());
        m_ppCreators = std::move(grown);
        m_nCapacity = capacity;
    }
    m_ppCreators[m_nCount] = creator;
    return m_nCount++;
}

CQrReadStream* COvStreamCreatorList::OpenStream(const char* name, CQrStreamCreator** creator) {
    for (int i = 0; i < m_nCount; ++i) {
        if (CQrReadStream* stream = m_ppCreators[i]->CreateStream(name)) {
            *creator = m_ppCreators[i];
            return stream;
        }
    }
    *creator = &m_FileCreator;
    return m_FileCreator.CreateStream(name);
}

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
