#include "data/OvDataManager.h"

COvDataManager::COvDataManager() : m_pControl(nullptr) {}

COvDataManager::~COvDataManager() = default;

void COvDataManager::Init(COvControl* control) {
    m_pControl = control;
    m_ImageHandler.Init(control);
}

void COvDataManager::AddDataHandler(int type, COvDataHandler* handler) {
    if (handler == nullptr)
        return;
    auto it = m_HandlerMap.find(type);
    if (it == m_HandlerMap.end()) {
        m_HandlerMap.emplace(type, HandlerPtr(handler));
        return;
    }
    // NOTE: freeing the very handler we are asked to keep would leave a dangling entry.
    if (it->second.get() == handler)
        return;
    it->second.reset(handler);  // frees the previous handler first
}

bool COvDataManager::IsDataHandlerAvailable(int type) const {
    return m_HandlerMap.find(type) != m_HandlerMap.end();
}

COvDataHandler* COvDataManager::GetHandler(int type) {
    auto it = m_HandlerMap.find(type);
    return it != m_HandlerMap.end() ? it->second.get() : &m_ImageHandler;
}
