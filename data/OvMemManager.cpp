#include "data/OvMemManager.h"

COvMemManager::COvMemManager()
    : m_pControl(nullptr), m_nReserved(16), m_nMaxMem(0), m_nMaxThreads(1) {}
COvMemManager::~COvMemManager() = default;

int COvMemManager::Init(COvControl* control, unsigned int maxMem, int reserved) {
    if (control == nullptr)
        return -10004;
    m_pControl = control;
    SetMaxMem(maxMem);
    m_nReserved = reserved;
    return 0;
}

int COvMemManager::GetData(COvMemData** out, COvDataInfo*, CPtrList*) {
    if (out)
        *out = nullptr;
    return -1;
}

COvMemData* COvMemManager::CheckData(CPtrList*) {
    return nullptr;
}
void COvMemManager::UnLockData(COvMemData*) {}
void COvMemManager::Delete(COvDataInfo*) {}
void COvMemManager::DeleteAll() {}
void COvMemManager::SetMaxMem(unsigned int maxMem) {
    if ((maxMem & 0x80000000u) == 0)
        m_nMaxMem = maxMem;
}
unsigned int COvMemManager::GetMaxMem() const {
    return m_nMaxMem;
}
bool COvMemManager::IsNeedDataUpdate() {
    return false;
}
void COvMemManager::EndDraw() {}
void COvMemManager::BeginDraw(int threads) {
    m_nMaxThreads = threads;
}
int COvMemManager::GetThreadLimit() const {
    return m_nMaxThreads;
}
int COvMemManager::AddStreamCreator(CQrStreamCreator*) {
    return -1;
}
void COvMemManager::AddDataHandler(int, COvDataHandler*) {}
bool COvMemManager::IsDataHandlerAvailable(int) {
    return false;
}
void COvMemManager::Shutdown() {}
