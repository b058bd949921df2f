// The built-in handler of pictures.
#include <climits>
#include <cstdint>
#include <memory>

#include "OvControl.h"
#include "OvData.h"
#include "Pixmere.h"
#include "data/OvMemManager.h"

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
    // Pixels come from the data layer's pool, which recycles those of evicted pictures.
    COvMemManager* manager = m_pControl != nullptr ? m_pControl->m_pMemManager : nullptr;
    auto image =
        std::make_unique<CPxImageData24>(manager != nullptr ? manager->GetPixelPool() : nullptr);
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
