// The handler registry: which handler makes and frees the data of each type.
#ifndef ORVANE_DATA_OVDATAMANAGER_H
#define ORVANE_DATA_OVDATAMANAGER_H

#include <memory>
#include <unordered_map>

#include "OvData.h"

class COvControl;

class COvDataManager {
public:
    COvDataManager();
    COvDataManager(const COvDataManager&) = delete;
    COvDataManager& operator=(const COvDataManager&) = delete;
    // Frees every registered handler (their Free()).
    virtual ~COvDataManager();

    // Remembers the control and initialises the built-in image handler with it.
    void Init(COvControl* control);
    // Frees the handler registered for type (if any) and registers handler in its
    // place; the registry owns it from now on. Registering the handler that is
    // already registered for the type changes nothing.
    void AddDataHandler(int type, COvDataHandler* handler);
    // True when a handler was registered for type (the built-in one does not count).
    bool IsDataHandlerAvailable(int type) const;
    // The registered handler for type, else the built-in image handler; never null.
    COvDataHandler* GetHandler(int type);

    COvControl* m_pControl;

private:
    struct FreeHandler {
        void operator()(COvDataHandler* handler) const { handler->Free(); }
    };
    using HandlerPtr = std::unique_ptr<COvDataHandler, FreeHandler>;

public:
    std::unordered_map<int, HandlerPtr> m_HandlerMap;
    COvImageDataHandler m_ImageHandler;
};

#endif
