// Lets an operation that raises an event learn whether a listener destroyed the object
// it works for, so that it never touches the object afterwards.
#ifndef ORVANE_FOUNDATION_OVLIFEWATCH_H
#define ORVANE_FOUNDATION_OVLIFEWATCH_H

namespace ov {

// A watch lives on the stack of the operation. A watched class keeps the innermost of
// its watches in a private member `m_pLifeWatch` (with `friend class ov::LifeWatch`)
// and calls Bury on it from its destructor; watches nest, so an operation raised from
// a listener inside another one is watched too.
class LifeWatch {
public:
    template <class T>
    explicit LifeWatch(T& watched) : LifeWatch(watched.m_pLifeWatch) {}
    ~LifeWatch() {
        if (!m_bGone)
            *m_ppHead = m_pOuter;
    }
    LifeWatch(const LifeWatch&) = delete;
    LifeWatch& operator=(const LifeWatch&) = delete;

    // True once the watched object has been destroyed.
    bool Gone() const { return m_bGone; }

    // Tells every watch of a dying object; the object calls it from its destructor.
    static void Bury(LifeWatch*& head) {
        for (LifeWatch* watch = head; watch != nullptr; watch = watch->m_pOuter)
            watch->m_bGone = true;
        head = nullptr;
    }

private:
    explicit LifeWatch(LifeWatch*& head) : m_ppHead(&head), m_pOuter(head), m_bGone(false) {
        head = this;
    }

    LifeWatch** m_ppHead;
    LifeWatch* m_pOuter;
    bool m_bGone;
};

}  // namespace ov

#endif
