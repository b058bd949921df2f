#include "OvTypes.h"

#include "foundation/OvNumeric.h"

#include <atomic>
#include <cstring>
#include <limits>
#include <new>

// ---------------------------------------------------------------------------
// Factories
// ---------------------------------------------------------------------------

COv3DPoint OV_3DPOINT(double x, double y, double z) {
    return COv3DPoint{x, y, z};
}

CPx2DPoint OV_2DPOINT(int x, int y) {
    return CPx2DPoint{x, y};
}

COvSize OV_SIZE(int width, int height) {
    return COvSize{width, height};
}

namespace {

int ClampComponent(int value) {
    return value < 0 ? 0 : (value > 255 ? 255 : value);
}

}  // namespace

COvSize OV_SIZE(const COvSize3D& size) {
    return COvSize{ov::ToPixel(size.width), ov::ToPixel(size.height)};
}

COvSize3D OV_SIZE3D(double width, double height) {
    return COvSize3D{width, height};
}

CPxRGB OV_RGB(int r, int g, int b) {
    return CPxRGB{ClampComponent(r), ClampComponent(g), ClampComponent(b)};
}

// ---------------------------------------------------------------------------
// COvString
// ---------------------------------------------------------------------------

// The shared record: text, length, count. The count is atomic because descriptor
// copies that share a name are made and dropped on the loading threads.
struct COvString::Buffer {
    char* text;
    int length;
    std::atomic<int> count;
};

COvString::Buffer* COvString::NewBuffer(const char* text) {
    const std::size_t length = text ? std::strlen(text) : 0;
    if (length > static_cast<std::size_t>(std::numeric_limits<int>::max()))
        throw std::bad_alloc();
    Buffer* buffer = new Buffer;
    buffer->text = new (std::nothrow) char[length + 1];
    if (buffer->text == nullptr) {
        delete buffer;
        throw std::bad_alloc();
    }
    if (length)
        std::memcpy(buffer->text, text, length);
    buffer->text[length] = '\0';
    buffer->length = static_cast<int>(length);
    buffer->count.store(1, std::memory_order_relaxed);
    return buffer;
}

void COvString::Release() {
    // acq_rel: the last owner must see every write made through the other owners.
    if (m_pBuffer->count.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        delete[] m_pBuffer->text;
        delete m_pBuffer;
    }
    m_pBuffer = nullptr;
}

COvString::COvString() : m_pBuffer(NewBuffer(nullptr)) {}

COvString::COvString(const char* text) : m_pBuffer(NewBuffer(text)) {}

COvString::COvString(const COvString& other) : m_pBuffer(other.m_pBuffer) {
    m_pBuffer->count.fetch_add(1, std::memory_order_relaxed);
}

COvString::~COvString() {
    Release();
}

int COvString::GetLength() const {
    return m_pBuffer->length;
}

bool COvString::IsEmpty() const {
    return m_pBuffer->length == 0;
}

COvString::operator const char*() const {
    return m_pBuffer->text;
}

COvString& COvString::operator=(const COvString& other) {
    if (m_pBuffer != other.m_pBuffer) {
        other.m_pBuffer->count.fetch_add(1, std::memory_order_relaxed);
        Release();
        m_pBuffer = other.m_pBuffer;
    }
    return *this;
}

COvString& COvString::operator=(const char* text) {
    // The copy is made before letting go, so assigning a string its own text works.
    Buffer* fresh = NewBuffer(text);
    Release();
    m_pBuffer = fresh;
    return *this;
}

void COvString::Empty() {
    *this = static_cast<const char*>(nullptr);
}

bool COvString::operator==(const COvString& other) const {
    return m_pBuffer->length == other.m_pBuffer->length &&
           std::memcmp(m_pBuffer->text, other.m_pBuffer->text, m_pBuffer->length) == 0;
}

bool COvString::operator==(COvString& other) const {
    return *this == static_cast<const COvString&>(other);
}

bool COvString::operator!=(const COvString& other) const {
    return !(*this == other);
}

bool COvString::operator!=(COvString& other) const {
    return !(*this == static_cast<const COvString&>(other));
}

bool COvString::operator==(const char* text) const {
    return Compare(text) == 0;
}

bool COvString::operator!=(const char* text) const {
    return Compare(text) != 0;
}

int COvString::Compare(const char* text) const {
    const auto* left = reinterpret_cast<const unsigned char*>(m_pBuffer->text);
    const auto* right = reinterpret_cast<const unsigned char*>(text ? text : "");
    while (*left != 0 && *left == *right) {
        ++left;
        ++right;
    }
    if (*left == *right)
        return 0;
    return *left < *right ? -1 : 1;
}
