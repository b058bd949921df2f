// Decodes arbitrary bytes through a memory stream, as every loaded file is. The
// result must be a code or a picture, never a fault, a leak or a huge allocation.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "Pixmere.h"
#include "Quorra.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CPxZImageData24 img;
    CPxImageHeader* header = nullptr;
    {
        CQrMemoryReadStream stream(data, size);
        const int rc = img.LoadImageA(&stream, &header, 0);
        if ((rc < 0) != img.IsEmpty() || (rc < 0) != (header == nullptr))
            std::abort();
    }
    if (!img.IsEmpty()) {
        // Touch the whole picture, and encode it again.
        const BITMAPINFOHEADER& h = img.GetInfo()->bmiHeader;
        if (h.biWidth != img.GetWidth() || h.biHeight != img.GetHeight())
            std::abort();
        volatile unsigned sum = 0;
        for (int y = 0; y < img.GetHeight(); ++y)
            sum = sum + img.GetScanLine(y)[3 * img.GetWidth() - 1];
        if (static_cast<long long>(img.GetWidth()) * img.GetHeight() < 4096) {
            std::vector<unsigned char> bmp;
            if (PxEncodeBmp(img, bmp) != 0)
                std::abort();
        }
    }
    delete header;
    return 0;
}
