// The built-in handler of pictures.
#include <climits>
#include <cstdint>
#include <memory>

#include "OvData.h"
#include "Pixmere.h"

void COvImageDataHandler::Free() {
    delete this;
}

void COvImageDataHandler::FreeData(void** data) {
    if (data == nullptr || *data == nullptr)
        return;
    delete static_cast<CPxImageData24*>(*data);
    *data = nullptr;
}

void* COvImageDataHandler::CreateData(CQrReadStream* stream, int* size) {
    if (stream == nullptr)
        return nullptr;
    auto image = std::make_unique<CPxImageData24>();
    if (image->LoadImageA(stream, nullptr, 0) < 0)
        return nullptr;
    // The pixel limit keeps this far below the int range; clamp anyway so that a
    // size can never wrap negative and break the budget.
    const std::int64_t bytes =
        static_cast<std::int64_t>(image->GetWidth()) * image->GetHeight() * 3 + 64;
    if (size != nullptr)
        *size = bytes > INT_MAX ? INT_MAX : static_cast<int>(bytes);
    return image.release();
}
