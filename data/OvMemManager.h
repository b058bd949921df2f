// The data service of the library: hands out data by descriptor, loads what is
// missing and keeps what is loaded under a byte budget.
#ifndef ORVANE_DATA_OVMEMMANAGER_H
#define ORVANE_DATA_OVMEMMANAGER_H

#include "OvData.h"
#include "OvPtrList.h"

class COvControl;
class CQrStreamCreator;

class COvMemManager {
public:
    COvMemManager();
    COvMemManager(const COvMemManager&) = delete;
    COvMemManager& operator=(const COvMemManager&) = delete;
    virtual ~COvMemManager();

    int Init(COvControl* control, unsigned int maxMem, int reserved);
    int GetData(COvMemData** out, COvDataInfo* info, CPtrList* substitutes);
    COvMemData* CheckData(CPtrList* substitutes);
    void UnLockData(COvMemData* data);
    void Delete(COvDataInfo* info);
    void DeleteAll();
    void SetMaxMem(unsigned int maxMem);
    unsigned int GetMaxMem() const;
    bool IsNeedDataUpdate();
    void EndDraw();
    void BeginDraw(int threads);
    int GetThreadLimit() const;
    int AddStreamCreator(CQrStreamCreator* creator);
    void AddDataHandler(int type, COvDataHandler* handler);
    bool IsDataHandlerAvailable(int type);
    void Shutdown();

    COvControl* m_pControl;
    int m_nReserved;

private:
    unsigned int m_nMaxMem;
    int m_nMaxThreads;
};

#endif
