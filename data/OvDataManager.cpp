#include "data/OvDataManager.h"

#include <new>

COvDataManager::COvDataManager() : m_pControl(nullptr) {}

COvDataManager::~COvDataManager() {
    // NOTE: Free() may delete the handler, so each one is freed once: with the first
    // of its types in map order. A registry holds a handful of types.
    for (auto it = m_HandlerMap.begin(); it != m_HandlerMap.end(); ++it) {
        auto earlier = m_HandlerMap.begin();
        while (earlier != it && earlier->second != it->second)
            ++earlier;
        if (earlier == it)
            it->second->Free();
    }
}

void COvDataManager::Init(COvControl* control) {
    m_pControl = control;
    m_ImageHandler.Init(control);
}

bool COvDataManager::IsShared(const COvDataHandler* handler, int except) const {
    for (const auto& entry : m_HandlerMap) {
        if (entry.first != except && entry.second == handler)
            return true;
    }
    return false;
}

void COvDataManager::AddDataHandler(int type, COvDataHandler* handler) {
    if (handler == nullptr)
        return;
    auto it = m_HandlerMap.find(type);
    if (it == m_HandlerMap.end()) {
        try {
            m_HandlerMap.emplace(type, handler);
        } catch (const std::bad_alloc&) {
            // Handed over but not taken: release it rather than leak it.
            if (!IsShared(handler, type))
                handler->Free();
        }
        return;
    }
    COvDataHandler* previous = it->second;
    if (previous == handler)
        return;
    it->second = handler;
    if (!IsShared(previous, type))
        previous->Free();
}

bool COvDataManager::IsDataHandlerAvailable(int type) const {
    return m_HandlerMap.find(type) != m_HandlerMap.end();
}

COvDataHandler* COvDataManager::GetHandler(int type) {
    auto it = m_HandlerMap.find(type);
    return it != m_HandlerMap.end() ? it->second : &m_ImageHandler;
}
