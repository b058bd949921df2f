// Descriptors, records and the base data handler.
#include "OvData.h"

#include "data/OvDataManager.h"
#include "data/OvLockCount.h"

// ---------------------------------------------------------------------------
// COvDataInfo
// ---------------------------------------------------------------------------

COvDataInfo::COvDataInfo() : m_nType(0), m_nDataID(0), m_nPriority(0), m_nFlags(0) {}
COvDataInfo::COvDataInfo(const COvDataInfo& other) = default;
COvDataInfo& COvDataInfo::operator=(const COvDataInfo& other) = default;
COvDataInfo::~COvDataInfo() = default;

void COvDataInfo::Init(int type, const char* name, int priority, int flags) {
    m_nType = type;
    m_nDataID = 0;
    m_strName = name;
    m_nPriority = priority;
    m_nFlags = flags;
}

// ---------------------------------------------------------------------------
// COvMemData
// ---------------------------------------------------------------------------

void COvMemData::UnLock(COvDataManager* handlers) {
    // NOTE: without the registry the data could not be freed by its type's handler;
    // the lock stays with the caller instead of leaking the data.
    if (handlers == nullptr)
        return;
    if (OvLockRelease(this) != 1)
        return;
    // The last holder is gone: nobody else can reach the record any more.
    handlers->GetHandler(m_Info.m_nType)->FreeData(&m_pData);
    delete this;
}

// ---------------------------------------------------------------------------
// COvDataHandler
// ---------------------------------------------------------------------------

COvDataHandler::COvDataHandler() : m_pControl(nullptr) {}
COvDataHandler::COvDataHandler(const COvDataHandler& other) = default;
COvDataHandler& COvDataHandler::operator=(const COvDataHandler& other) = default;
COvDataHandler::~COvDataHandler() = default;

void COvDataHandler::Free() {}

void COvDataHandler::FreeData(void** /*data*/) {}

void* COvDataHandler::CreateData(CQrReadStream* /*stream*/, int* /*size*/) {
    return nullptr;
}

int COvDataHandler::Init(COvControl* control) {
    if (control == nullptr)
        return OV_E_NULL_CONTROL;
    m_pControl = control;
    return 0;
}
