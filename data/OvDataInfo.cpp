#include "OvData.h"

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

void COvMemData::UnLock(COvDataManager*) {}

COvDataHandler::COvDataHandler() : m_pControl(nullptr) {}
COvDataHandler::COvDataHandler(const COvDataHandler& other) = default;
COvDataHandler& COvDataHandler::operator=(const COvDataHandler& other) = default;
COvDataHandler::~COvDataHandler() = default;
void COvDataHandler::Free() {}
void COvDataHandler::FreeData(void**) {}
void* COvDataHandler::CreateData(CQrReadStream*, int*) {
    return nullptr;
}
int COvDataHandler::Init(COvControl* control) {
    if (control == nullptr)
        return -10004;
    m_pControl = control;
    return 0;
}

void COvImageDataHandler::Free() {
    delete this;
}
void COvImageDataHandler::FreeData(void**) {}
void* COvImageDataHandler::CreateData(CQrReadStream*, int*) {
    return nullptr;
}
