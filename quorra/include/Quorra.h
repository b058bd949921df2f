// The stream library: a stream creator turns a name into a read stream.
#ifndef QUORRA_QUORRA_H
#define QUORRA_QUORRA_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "QrExport.h"

// Status codes of the stream library.
constexpr int QR_OK = 0;
constexpr int QR_E_ARGUMENT = -71001;  // null name, null buffer or a negative size
constexpr int QR_E_READ = -71002;      // the underlying file could not be read
constexpr int QR_E_SEEK = -71003;      // position outside the data or not reachable
constexpr int QR_E_EOF = -71004;       // fewer bytes left than asked for
constexpr int QR_E_NOMEM = -10000;     // memory could not be allocated
constexpr int QR_E_UNKNOWN = -71005;   // no buffer is registered under that name

// A sequential byte source with random access. Streams are used by one thread at
// a time; different streams may be used from different threads.
class QR_EXPORT CQrReadStream {
public:
    CQrReadStream() = default;
    virtual ~CQrReadStream();
    CQrReadStream(const CQrReadStream&) = delete;
    CQrReadStream& operator=(const CQrReadStream&) = delete;

    // Reads up to `size` bytes into `buffer` and advances the position by the count
    // read. Returns that count (0 at the end of the data) or a negative code.
    virtual std::int64_t Read(void* buffer, std::int64_t size) = 0;
    // Moves the position to byte `pos` from the start (0 <= pos <= GetSize()).
    // Returns 0, or QR_E_SEEK with the position unchanged.
    virtual int Seek(std::int64_t pos) = 0;
    // Returns the current position in bytes from the start.
    virtual std::int64_t Tell() const = 0;
    // Returns the total length in bytes, or -1 when it is not known.
    virtual std::int64_t GetSize() const = 0;
    // Returns the whole content when it lies in memory, else null; readers may then
    // use it in place instead of copying. Changes nothing.
    virtual const unsigned char* GetMemory() const { return nullptr; }

    // Reads exactly `size` bytes. Returns 0, QR_E_EOF when the data ends first (the
    // bytes that were there are consumed), or the read's negative code.
    int ReadExact(void* buffer, std::int64_t size);
    // Advances the position by `count` bytes. Returns 0 or a negative code.
    int Skip(std::int64_t count);
};

// A read stream over bytes in memory. The bytes are either borrowed (they must
// outlive the stream) or shared with their owner.
class QR_EXPORT CQrMemoryReadStream : public CQrReadStream {
public:
    // Borrows `size` bytes at `data`; nothing is copied.
    CQrMemoryReadStream(const void* data, std::size_t size);
    // Shares `data`, which stays alive as long as the stream.
    explicit CQrMemoryReadStream(std::shared_ptr<const std::vector<unsigned char>> data);
    ~CQrMemoryReadStream() override;

    std::int64_t Read(void* buffer, std::int64_t size) override;
    int Seek(std::int64_t pos) override;
    std::int64_t Tell() const override;
    std::int64_t GetSize() const override;
    const unsigned char* GetMemory() const override;

private:
    std::shared_ptr<const std::vector<unsigned char>> m_Keep;
    const unsigned char* m_pData;
    std::int64_t m_nSize;
    std::int64_t m_nPos = 0;
};

// Abstract stream factory. CreateStream and FreeStream may be called from several
// threads at once.
class QR_EXPORT CQrStreamCreator {
protected:
    // Declared first: the destructor is the first virtual slot.
    CQrStreamCreator() {}
    virtual ~CQrStreamCreator() {}

public:
    CQrStreamCreator(const CQrStreamCreator&) {}
    CQrStreamCreator& operator=(const CQrStreamCreator&) { return *this; }

    // Releases the creator itself (a creator handed to a library is released once,
    // when the library is done with it).
    virtual void Free() = 0;
    // A new stream at the start of the named data, or null when this creator cannot
    // serve the name.
    virtual CQrReadStream* CreateStream(const char* name) = 0;
    // Releases a stream this creator made; it is not used afterwards.
    virtual void FreeStream(CQrReadStream* stream) = 0;
};

// Opens file paths for reading. Holds no state: safe from any number of threads.
class QR_EXPORT CQrFileStreamCreator : public CQrStreamCreator {
public:
    CQrFileStreamCreator();
    ~CQrFileStreamCreator() override;
    CQrFileStreamCreator(const CQrFileStreamCreator& other);
    CQrFileStreamCreator& operator=(const CQrFileStreamCreator& other);

    // Deletes the creator: only a creator made with `new` may be freed.
    void Free() override;
    // Opens the file at path `name` for reading. Returns a new stream at its start,
    // or null for a null name or a file that cannot be opened.
    CQrReadStream* CreateStream(const char* name) override;
    // Deletes `stream` (null is ignored).
    void FreeStream(CQrReadStream* stream) override;
};

// Serves names from buffers that a client registers. Registering copies the bytes;
// a stream keeps its buffer alive, so a name may be unregistered or replaced while
// streams on it are open. All operations may be called from several threads at once.
class QR_EXPORT CQrMemoryStreamCreator : public CQrStreamCreator {
public:
    CQrMemoryStreamCreator();
    ~CQrMemoryStreamCreator() override;
    // Copies share nothing: a copy starts without buffers, like its base.
    CQrMemoryStreamCreator(const CQrMemoryStreamCreator& other);
    CQrMemoryStreamCreator& operator=(const CQrMemoryStreamCreator& other);

    // Registers a copy of `size` bytes at `data` under `name`, replacing what was
    // registered under that name. Returns 0, QR_E_ARGUMENT for a null name or a
    // null `data` with a non-zero size, or QR_E_NOMEM.
    int RegisterBuffer(const char* name, const void* data, std::size_t size);
    // Removes the buffer registered under `name`. Returns 0, QR_E_ARGUMENT for a
    // null name, or QR_E_UNKNOWN when nothing is registered under it.
    int UnregisterBuffer(const char* name);
    // Removes every buffer.
    void UnregisterAll();
    // Returns how many names are registered.
    std::size_t GetCount() const;

    // Deletes the creator: only a creator made with `new` may be freed.
    void Free() override;
    // A new stream over the buffer registered under `name`, or null when there is none.
    CQrReadStream* CreateStream(const char* name) override;
    // Deletes `stream` (null is ignored).
    void FreeStream(CQrReadStream* stream) override;

private:
    mutable std::mutex m_Lock;
    std::unordered_map<std::string, std::shared_ptr<const std::vector<unsigned char>>> m_Buffers;
};

#endif
