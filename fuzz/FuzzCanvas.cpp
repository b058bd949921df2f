// Draws operations read from arbitrary bytes onto a small picture: any coordinates,
// sizes and widths must stay inside the picture and finish quickly.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "Pixmere.h"

namespace {

struct Reader {
    const std::uint8_t* p;
    std::size_t n;
    int Int() {
        std::int32_t v = 0;
        const std::size_t k = n < 4 ? n : 4;
        std::memcpy(&v, p, k);
        p += k;
        n -= k;
        // Mostly small values near the picture, sometimes anything at all.
        return (v & 0x10000) ? v : static_cast<std::int8_t>(v & 0xFF) * 2;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CPxImageData24 dst, src;
    if (dst.NewImage(37, 23) != 0 || src.NewImage(5, 7) != 0)
        return 0;
    CPxCanvas24 canvas(&dst);
    Reader r{data, size};
    const CPxRGB color{200, 100, 50};
    for (int op = 0; op < 32 && r.n > 0; ++op) {
        const std::uint8_t kind = *r.p;
        ++r.p;
        --r.n;
        const int a = r.Int(), b = r.Int(), c = r.Int(), d = r.Int(), e = r.Int(), f = r.Int();
        switch (kind % 4) {
            case 0:
                canvas.DrawImage(&src, a, b, c, d);
                break;
            case 1:
                canvas.DrawLine(a, b, c, d, e, color);
                break;
            case 2:
                canvas.DrawTriangle(a, b, c, d, e, f, color);
                break;
            default:
                canvas.DrawFrame(a, b, c, d, e, color);
                break;
        }
    }
    return 0;
}
