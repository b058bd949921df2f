// Test doubles of the data layer: a stream creator that serves any name as its own
// bytes, and a handler that counts and checks every datum it makes and frees.
#ifndef ORVANE_TESTS_DATALAYER_DATADOUBLES_H
#define ORVANE_TESTS_DATALAYER_DATADOUBLES_H

#include <atomic>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "OvData.h"
#include "Quorra.h"

// Serves every name (the stream holds the name's bytes) except names that begin
// with "missing". Counts streams made and freed.
class NameStreamCreator final : public CQrStreamCreator {
public:
    explicit NameStreamCreator(std::atomic<int>* freed = nullptr) : m_pFreed(freed) {}
    void Free() override {
        if (m_pFreed != nullptr)
            ++*m_pFreed;
        delete this;
    }
    CQrReadStream* CreateStream(const char* name) override {
        ++opened;
        const std::string text = name != nullptr ? name : "";
        if (text.rfind("missing", 0) == 0)
            return nullptr;
        return new CQrMemoryReadStream(
            std::make_shared<const std::vector<unsigned char>>(text.begin(), text.end()));
    }
    void FreeStream(CQrReadStream* stream) override {
        ++closed;
        delete stream;
    }

    std::atomic<int> opened{0};
    std::atomic<int> closed{0};

private:
    std::atomic<int>* m_pFreed;
};

// What the counting handler makes: the name it was read from.
struct Payload {
    std::string name;
};

// Makes a Payload from the stream's bytes. Names containing "bad" fail, names
// beginning with "huge" report the largest size, names beginning with "slow" wait at
// the gate while it is closed. Every load takes loadMicros first. Every datum must be
// freed exactly once: a second free or an unknown pointer is counted as a fault.
class CountingHandler final : public COvDataHandler {
public:
    void Free() override { ++freedHandler; }
    void FreeData(void** data) override {
        if (data == nullptr || *data == nullptr)
            return;
        {
            std::lock_guard<std::mutex> guard(m_Lock);
            if (m_Live.erase(*data) == 0)
                ++faults;
        }
        delete static_cast<Payload*>(*data);
        *data = nullptr;
        ++freed;
    }
    void* CreateData(CQrReadStream* stream, int* size) override {
        std::string name(static_cast<std::size_t>(stream->GetSize()), '\0');
        if (!name.empty() &&
            stream->ReadExact(&name[0], static_cast<std::int64_t>(name.size())) != 0) {
            return nullptr;
        }
        ++created;
        if (const int micros = loadMicros.load())
            std::this_thread::sleep_for(std::chrono::microseconds(micros));
        if (name.rfind("slow", 0) == 0) {
            std::unique_lock<std::mutex> guard(m_Lock);
            if (!m_bOpen && m_nToHold > 0) {
                --m_nToHold;
                ++m_nWaiting;
                m_Changed.notify_all();
                m_Changed.wait(guard, [this] { return m_bOpen; });
                --m_nWaiting;
            }
        }
        if (name.find("bad") != std::string::npos)
            return nullptr;
        auto payload = std::make_unique<Payload>();
        payload->name = name;
        *size = name.rfind("huge", 0) == 0 ? 0x7FFFFFFF : sizeSetting.load();
        std::lock_guard<std::mutex> guard(m_Lock);
        m_Live.insert(payload.get());
        ++made;
        return payload.release();
    }

    // Lets every slow load go on (and every later one pass at once).
    void Open() {
        std::lock_guard<std::mutex> guard(m_Lock);
        m_bOpen = true;
        m_Changed.notify_all();
    }
    // Holds the next `loads` slow loads at the gate until Open(); later ones pass.
    void Close(int loads = INT_MAX) {
        std::lock_guard<std::mutex> guard(m_Lock);
        m_bOpen = false;
        m_nToHold = loads;
    }
    // Waits until `count` loads are held at the gate; false after 10 s.
    bool WaitForGate(int count) {
        std::unique_lock<std::mutex> guard(m_Lock);
        return m_Changed.wait_for(guard, std::chrono::seconds(10),
                                  [&] { return m_nWaiting >= count; });
    }
    int Live() {
        std::lock_guard<std::mutex> guard(m_Lock);
        return static_cast<int>(m_Live.size());
    }

    std::atomic<int> sizeSetting{100};
    std::atomic<int> loadMicros{0};
    std::atomic<int> created{0};  // CreateData calls
    std::atomic<int> made{0};     // data handed out
    std::atomic<int> freed{0};
    std::atomic<int> faults{0};
    std::atomic<int> freedHandler{0};

private:
    std::mutex m_Lock;
    std::condition_variable m_Changed;
    std::set<void*> m_Live;
    int m_nWaiting = 0;
    int m_nToHold = 0;
    bool m_bOpen = true;
};

#endif
