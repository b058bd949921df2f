#include "data/OvStreamCreatorList.h"

#include <algorithm>
#include <climits>
#include <new>

#include "QrAbortable.h"

namespace {

constexpr int kNotAdded = -1;

// Room for one more creator, growing by the list's rule; false when it cannot grow
// (no memory, or indexes past the int range).
bool MakeRoom(std::vector<CQrStreamCreator*>& creators) {
    const std::size_t room = creators.capacity();
    if (creators.size() < room)
        return true;
    if (room > static_cast<std::size_t>(INT_MAX - 100) / 2)
        return false;
    try {
        creators.reserve(2 * room + 100);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

}  // namespace

COvStreamCreatorList::COvStreamCreatorList() = default;

COvStreamCreatorList::~COvStreamCreatorList() {
    // NOTE: Free() may delete the creator; one added twice is freed once.
    for (auto it = m_ppCreators.begin(); it != m_ppCreators.end(); ++it) {
        if (std::find(m_ppCreators.begin(), it, *it) == it)
            (*it)->Free();
    }
}

int COvStreamCreatorList::Add(CQrStreamCreator* creator) {
    if (creator == nullptr)
        return kNotAdded;
    if (!MakeRoom(m_ppCreators)) {
        if (std::find(m_ppCreators.begin(), m_ppCreators.end(), creator) == m_ppCreators.end())
            creator->Free();
        return kNotAdded;
    }
    m_ppCreators.push_back(creator);
    return static_cast<int>(m_ppCreators.size() - 1);
}

void COvStreamCreatorList::AbortStreams() {
    for (CQrStreamCreator* creator : m_ppCreators) {
        if (auto* abortable = dynamic_cast<CQrAbortable*>(creator))
            abortable->AbortStreams();
    }
}

CQrReadStream* COvStreamCreatorList::OpenStream(const char* name, CQrStreamCreator** creator) {
    for (CQrStreamCreator* client : m_ppCreators) {
        if (CQrReadStream* stream = client->CreateStream(name)) {
            *creator = client;
            return stream;
        }
    }
    *creator = &m_FileCreator;
    return m_FileCreator.CreateStream(name);
}
