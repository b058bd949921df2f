// The data service of the library: hands out data by descriptor, loads what is
// missing (on the caller's thread or in the background) and keeps what is loaded
// under a byte budget.
#ifndef ORVANE_DATA_OVMEMMANAGER_H
#define ORVANE_DATA_OVMEMMANAGER_H

#include <memory>

#include "OvData.h"
#include "OvPtrList.h"
#include "data/OvDataManager.h"
#include "data/OvLoadingCue.h"
#include "data/OvLoadingThread.h"
#include "data/OvMemCache.h"
#include "data/OvPixelPool.h"
#include "data/OvStreamCreatorList.h"

class COvControl;
class COvFontFaces;
class CQrStreamCreator;

// All operations are called from the client's thread; the loading threads reach the
// pieces (cache, queue, handlers, creators) directly.
class COvMemManager {
public:
    COvMemManager();
    COvMemManager(const COvMemManager&) = delete;
    COvMemManager& operator=(const COvMemManager&) = delete;
    // Shuts down (see Shutdown) if that was not done, then frees the handlers and
    // the stream creators.
    virtual ~COvMemManager();

    // Connects every piece to control and sets the budget (see SetMaxMem); stores
    // reserved. 0; -10004 for a null control; the cache's code (logged) otherwise.
    int Init(COvControl* control, unsigned int maxMem, int reserved);

    // 0: *out is the datum, locked, with data. 200: not in memory yet; a load is
    // queued or pending; *out is a locked substitute from the list of COvDataInfo*
    // or null. -1: the datum failed to load (remembered until deleted); *out as for
    // 200. Priority 2 loads on this thread first (or waits for the thread that loads
    // it). May set info->m_nDataID. -10005 (logged) for a null out or info; -10000
    // (logged) when no request could be queued, *out as for 200.
    int GetData(COvMemData** out, COvDataInfo* info, CPtrList* substitutes);
    // The first datum of the list of COvDataInfo* that is in memory with data,
    // locked; priority-2 entries are loaded on this thread. Null when none.
    COvMemData* CheckData(CPtrList* substitutes);
    // Gives back one lock; the last one frees the datum.
    void UnLockData(COvMemData* data);
    // Cancels the pending load of info (waiters woken), then drops it from the cache;
    // info's identity number becomes 0.
    void Delete(COvDataInfo* info);
    // Cancels every pending load, then empties the cache and the pixel pool.
    void DeleteAll();
    // The budget in bytes (0: no limit); values with the top bit set are ignored. The
    // pixel pool may keep up to an eighth of it besides (none without a budget).
    void SetMaxMem(unsigned int maxMem);
    unsigned int GetMaxMem() const;
    // True when the cache went over budget at least 2000 ms after its last trim.
    bool IsNeedDataUpdate();
    // Trims the cache to its budget now.
    void EndDraw();
    // Sets how many loading threads may run at once (clamped into 1..10).
    void BeginDraw(int threads);
    int GetThreadLimit() const;
    // Appends a creator (taken over); its index, or -1 when the list cannot grow.
    int AddStreamCreator(CQrStreamCreator* creator);
    // Registers handler for type (taken over), freeing the one it replaces.
    void AddDataHandler(int type, COvDataHandler* handler);
    bool IsDataHandlerAvailable(int type);
    // Where the image handler takes the pixel memory of the pictures it decodes; null
    // when there was no memory for a pool (the heap is used then).
    COvPixelPool* GetPixelPool() const { return m_pPixelPool.get(); }
    // Cancels every request (waiters released), empties the cache and the pixel pool
    // and waits for every loading thread to end. Does not wait for queued loads, only
    // for the ones in flight. Safe to repeat.
    void Shutdown();

    COvControl* m_pControl;
    int m_nReserved;
    COvMemCache m_Cache;
    // Lives on after the manager while pictures it supplied are still held.
    COvPixelPool::Handle m_pPixelPool;
    COvStreamCreatorList m_StreamCreators;
    COvDataManager m_DataManager;
    COvLoadingCue m_LoadingCue;
    COvLoadingThread m_LoadingThread;
    // The font faces that text renderings with this control share. The renderer makes
    // them on first use and reaches them only through std::atomic_load and
    // std::atomic_compare_exchange_strong, since renderings may run on several threads.
    std::shared_ptr<COvFontFaces> m_pFontFaces;

private:
    // The priority-2 path: 0 with *out set (or null after a failed load on this
    // thread), -1 when the request was cancelled meanwhile, -3 to try again, or the
    // queue's failure code.
    int LoadNow(COvDataInfo& info, COvMemData** out);
    // Loads info on this thread; the record locked for the caller, or null after a
    // failed load (remembered in the cache) or when no record could be made.
    COvMemData* MakeData(COvDataInfo& info);
    // Hands out the substitute (or null) when the datum itself is not usable.
    int Substitute(COvMemData** out, CPtrList* substitutes, int code);
    // Sets the pool's limit from the cache's budget.
    void LimitPool();
};

#endif
