// The ordered pointer list of the library's interface. Positions are opaque,
// stay valid while their element is in the list, and are null past either end.
// The list never owns what its elements point to.
#ifndef ORVANE_OVPTRLIST_H
#define ORVANE_OVPTRLIST_H

#include <cstddef>
#include <list>
#include <stdexcept>

using POSITION = void*;

class CPtrList {
public:
    explicit CPtrList(int blockSize = 10) { (void)blockSize; }
    CPtrList(const CPtrList&) = delete;
    CPtrList& operator=(const CPtrList&) = delete;
    virtual ~CPtrList() = default;

    int GetCount() const { return static_cast<int>(m_Entries.size()); }
    int GetSize() const { return GetCount(); }
    bool IsEmpty() const { return m_Entries.empty(); }

    void*& GetHead() { return Checked(m_Entries.empty() ? nullptr : &m_Entries.front())->data; }
    void* GetHead() const {
        return Checked(m_Entries.empty() ? nullptr : &m_Entries.front())->data;
    }
    void*& GetTail() { return Checked(m_Entries.empty() ? nullptr : &m_Entries.back())->data; }
    void* GetTail() const { return Checked(m_Entries.empty() ? nullptr : &m_Entries.back())->data; }

    POSITION AddHead(void* element) { return Insert(m_Entries.begin(), element); }
    POSITION AddTail(void* element) { return Insert(m_Entries.end(), element); }
    void* RemoveHead() {
        void* element = GetHead();
        m_Entries.pop_front();
        return element;
    }
    void* RemoveTail() {
        void* element = GetTail();
        m_Entries.pop_back();
        return element;
    }
    void RemoveAll() { m_Entries.clear(); }

    POSITION GetHeadPosition() const {
        return m_Entries.empty() ? nullptr : PositionOf(m_Entries.front());
    }
    POSITION GetTailPosition() const {
        return m_Entries.empty() ? nullptr : PositionOf(m_Entries.back());
    }

    // The element at pos; pos moves to the next (previous) position, null past the end.
    void*& GetNext(POSITION& pos) { return Step(pos, true); }
    void* GetNext(POSITION& pos) const { return const_cast<CPtrList*>(this)->Step(pos, true); }
    void*& GetPrev(POSITION& pos) { return Step(pos, false); }
    void* GetPrev(POSITION& pos) const { return const_cast<CPtrList*>(this)->Step(pos, false); }

    void*& GetAt(POSITION pos) { return Checked(pos)->data; }
    void* GetAt(POSITION pos) const { return Checked(pos)->data; }
    void SetAt(POSITION pos, void* element) { Checked(pos)->data = element; }
    void RemoveAt(POSITION pos) { m_Entries.erase(Checked(pos)->self); }
    POSITION InsertBefore(POSITION pos, void* element) {
        return pos ? Insert(Checked(pos)->self, element) : AddHead(element);
    }
    POSITION InsertAfter(POSITION pos, void* element) {
        return pos ? Insert(std::next(Checked(pos)->self), element) : AddTail(element);
    }

    // Position of the first element equal to value after startAfter (from the head
    // when null), or null.
    POSITION Find(const void* value, POSITION startAfter = nullptr) const {
        auto it = startAfter ? std::next(Checked(startAfter)->self) : Begin();
        for (; it != m_Entries.end(); ++it) {
            if (it->data == value)
                return PositionOf(*it);
        }
        return nullptr;
    }
    // Position of the zero-based index, or null when out of range.
    POSITION FindIndex(int index) const {
        if (index < 0 || index >= GetCount())
            return nullptr;
        auto it = Begin();
        std::advance(it, index);
        return PositionOf(*it);
    }

private:
    struct Entry;
    using Entries = std::list<Entry>;
    // Each entry knows its own place so that a position (the entry's address)
    // leads back to it in constant time.
    struct Entry {
        void* data;
        Entries::iterator self;
    };

    static Entry* Checked(POSITION pos) {
        if (pos == nullptr)
            throw std::invalid_argument("null list position");
        return static_cast<Entry*>(pos);
    }
    static Entry* Checked(const Entry* entry) {
        if (entry == nullptr)
            throw std::invalid_argument("empty list");
        return const_cast<Entry*>(entry);
    }
    static POSITION PositionOf(const Entry& entry) { return const_cast<Entry*>(&entry); }
    Entries::iterator Begin() const { return const_cast<Entries&>(m_Entries).begin(); }
    POSITION Insert(Entries::iterator before, void* element) {
        auto it = m_Entries.insert(before, Entry{element, {}});
        it->self = it;
        return PositionOf(*it);
    }
    void*& Step(POSITION& pos, bool forward) {
        Entry* entry = Checked(pos);
        auto it = entry->self;
        if (forward) {
            ++it;
            pos = it == m_Entries.end() ? nullptr : PositionOf(*it);
        } else {
            pos = it == m_Entries.begin() ? nullptr : PositionOf(*std::prev(it));
        }
        return entry->data;
    }

    Entries m_Entries;
};

// The typed form: the same list, handing out TYPE (a pointer type).
template <class BASE, class TYPE>
class CTypedPtrList : public BASE {
public:
    explicit CTypedPtrList(int blockSize = 10) : BASE(blockSize) {}

    TYPE GetHead() const { return static_cast<TYPE>(BASE::GetHead()); }
    TYPE GetTail() const { return static_cast<TYPE>(BASE::GetTail()); }
    TYPE RemoveHead() { return static_cast<TYPE>(BASE::RemoveHead()); }
    TYPE RemoveTail() { return static_cast<TYPE>(BASE::RemoveTail()); }
    POSITION AddHead(TYPE element) { return BASE::AddHead(element); }
    POSITION AddTail(TYPE element) { return BASE::AddTail(element); }
    TYPE GetNext(POSITION& pos) const { return static_cast<TYPE>(BASE::GetNext(pos)); }
    TYPE GetPrev(POSITION& pos) const { return static_cast<TYPE>(BASE::GetPrev(pos)); }
    TYPE GetAt(POSITION pos) const { return static_cast<TYPE>(BASE::GetAt(pos)); }
    void SetAt(POSITION pos, TYPE element) { BASE::SetAt(pos, element); }
    POSITION InsertBefore(POSITION pos, TYPE element) { return BASE::InsertBefore(pos, element); }
    POSITION InsertAfter(POSITION pos, TYPE element) { return BASE::InsertAfter(pos, element); }
};

#endif
