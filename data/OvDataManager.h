// The handler registry: which handler makes and frees the data of each type.
#ifndef ORVANE_DATA_OVDATAMANAGER_H
#define ORVANE_DATA_OVDATAMANAGER_H

#include <unordered_map>

#include "OvData.h"

class COvControl;

class COvDataManager {
public:
    COvDataManager();
    COvDataManager(const COvDataManager&) = delete;
    COvDataManager& operator=(const COvDataManager&) = delete;
    // Frees every registered handler once (their Free()), however many types it serves.
    virtual ~COvDataManager();

    // Remembers the control and initialises the built-in image handler with it.
    void Init(COvControl* control);
    // Registers handler for type; the registry owns it from now on. The handler it
    // replaces is freed unless another type still uses it. Registering the handler
    // that is already registered for the type changes nothing.
    void AddDataHandler(int type, COvDataHandler* handler);
    // True when a handler was registered for type (the built-in one does not count).
    bool IsDataHandlerAvailable(int type) const;
    // The registered handler for type, else the built-in image handler; never null.
    COvDataHandler* GetHandler(int type);

private:
    // Whether a type other than `except` is served by handler.
    bool IsShared(const COvDataHandler* handler, int except) const;

    COvControl* m_pControl;
    // One handler may serve several types: it is freed with the last of them.
    std::unordered_map<int, COvDataHandler*> m_HandlerMap;
    COvImageDataHandler m_ImageHandler;
};

#endif
