// Data descriptors, in-memory data records and the data handlers that make and
// free the data of one type.
#ifndef ORVANE_OVDATA_H
#define ORVANE_OVDATA_H

#include "OvExport.h"
#include "OvTypes.h"

class COvControl;
class COvDataManager;
class CQrReadStream;

// Status codes of the data layer.
enum {
    OV_DATA_QUEUED = 200,           // getting data: not in memory yet, queued for loading
    OV_DATA_FAILED = -1,            // getting data: the datum failed to load (kept until deleted)
    OV_DATA_NO_RECORD = -55001,     // a loaded datum's record could not be made
    OV_CACHE_NO_REGISTRY = -62000,  // the cache was started without a handler registry
};

// What to load: a data type (selects the handler), a name for the stream creators,
// a priority and flags. The identity number is assigned by the data layer.
class OV_EXPORT COvDataInfo {
public:
    // Type 0, identity 0, empty name, priority 0, flags 0.
    COvDataInfo();
    COvDataInfo(const COvDataInfo& other);  // copies share the name text
    COvDataInfo& operator=(const COvDataInfo& other);
    virtual ~COvDataInfo();

    // Sets type, name, priority and flags; resets the identity number to 0.
    void Init(int type, const char* name, int priority, int flags);

    int m_nType;
    // Identity inside the data layer; 0 means none yet.
    int m_nDataID;
    COvString m_strName;
    // 2: load on the requesting thread and wait; 1: urgent; anything else: ordinary.
    int m_nPriority;
    // Bit 0: shared by name (descriptors with the same name share one datum).
    int m_nFlags;
};

// One datum in memory as the cache holds it. Created and destroyed by the data
// layer only; a client reads it and gives its locks back.
class OV_EXPORT COvMemData {
public:
    // Gives back one lock. When no holder is left, the data is freed through the
    // handler of its type and the record is deleted (it must not be used again).
    // Without a registry (null) nothing changes: the lock is still the caller's.
    void UnLock(COvDataManager* handlers);

    COvDataInfo m_Info;
    // Number of holders: one for the cache while the datum is in it, one per lock
    // handed out. Changed atomically only.
    int m_nLock;
    // Size in bytes as the handler reported it.
    int m_nSize;
    // The data the handler made (a CPxImageData24* for type 1); null for a failed load.
    void* m_pData;
    COvMemData* m_pNext;  // toward the most recently used
    COvMemData* m_pPrev;
};

// Teaches the library a data type. Handlers are called from several threads at once.
class OV_EXPORT COvDataHandler {
public:
    COvDataHandler();
    COvDataHandler(const COvDataHandler& other);
    COvDataHandler& operator=(const COvDataHandler& other);

    // Releases the handler object itself; the base does nothing.
    virtual void Free();
    // Frees data that CreateData made and sets *data to null. Called with *data null
    // for the record of a failed load; the base does nothing.
    virtual void FreeData(void** data);
    // Reads the stream and returns the new datum with its size in bytes in *size;
    // null on failure. The base returns null.
    virtual void* CreateData(CQrReadStream* stream, int* size);
    // Remembers the control: 0, or -10004 for a null control (nothing changed).
    virtual int Init(COvControl* control);
    virtual ~COvDataHandler();

    COvControl* m_pControl;
};

// The built-in handler of pictures: makes CPxImageData24 images.
class OV_EXPORT COvImageDataHandler : public COvDataHandler {
public:
    // Deletes this handler: only for handlers made with new.
    void Free() override;
    // Deletes the image and sets *data to null; nothing when data or *data is null.
    void FreeData(void** data) override;
    // Decodes the stream into a new image; *size = width x height x 3 + 64. Null
    // (and *size untouched) when the picture cannot be decoded.
    void* CreateData(CQrReadStream* stream, int* size) override;
};

#endif
