// Value types, their factories and the library's reference-counted string.
#ifndef ORVANE_OVTYPES_H
#define ORVANE_OVTYPES_H

#include "OvExport.h"
#include "PxTypes.h"

// Status codes shared by every class of the library: 0 is success, negative a failure.
enum {
    OV_E_NOMEMORY = -10000,      // memory could not be allocated
    OV_E_FILE = -10001,          // a file could not be opened or created
    OV_E_DEGENERATE = -10002,    // zero-length or parallel vector, zero divisor
    OV_E_NULL_CONTROL = -10004,  // a null control given to an Init
    OV_E_NULL_OUTPUT = -10005,   // a null output pointer given to an operation that fills it
};

// A point or a direction in scene or camera space.
struct COv3DPoint {
    double x;
    double y;
    double z;
};

// A size in pixels.
struct COvSize {
    int width;
    int height;
};

// The size of a flat object in scene units.
struct COvSize3D {
    double width;
    double height;
};

// The factories store their arguments as given, except OV_RGB, which clamps.
OV_EXPORT COv3DPoint OV_3DPOINT(double x, double y, double z);
OV_EXPORT CPx2DPoint OV_2DPOINT(int x, int y);
OV_EXPORT COvSize OV_SIZE(int width, int height);
// Each dimension truncated toward zero: 2.9 gives 2, -2.9 gives -2. Values beyond
// the int range saturate at its ends; NaN gives 0.
OV_EXPORT COvSize OV_SIZE(const COvSize3D& size);
OV_EXPORT COvSize3D OV_SIZE3D(double width, double height);
// Each component clamped into 0..255.
OV_EXPORT CPxRGB OV_RGB(int r, int g, int b);

// A byte string whose copies share one buffer. The count is changed atomically, so
// copies may be made and dropped on several threads at once (the loading threads
// copy data descriptors); one COvString object itself must not be assigned on one
// thread while another reads it.
class OV_EXPORT COvString {
public:
    COvString();
    COvString(const char* text);  // null gives the empty string
    COvString(const COvString& other);
    ~COvString();

    int GetLength() const;
    bool IsEmpty() const;
    operator const char*() const;  // never null

    COvString& operator=(const COvString& other);
    COvString& operator=(const char* text);
    void Empty();

    bool operator==(const COvString& other) const;
    bool operator==(COvString& other) const;
    bool operator!=(const COvString& other) const;
    bool operator!=(COvString& other) const;
    bool operator==(const char* text) const;  // null counts as the empty text
    bool operator!=(const char* text) const;

    // -1, 0 or 1, comparing bytes as unsigned values; a null text counts as empty.
    int Compare(const char* text) const;

private:
    struct Buffer;
    void Release();
    static Buffer* NewBuffer(const char* text);

    Buffer* m_pBuffer;
};

#endif
