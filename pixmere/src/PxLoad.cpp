#include "PxImage.h"
#include "Quorra.h"

int CPxImageData24::LoadImageA(const char*, CPxImageHeader** header, int) {
    if (header)
        *header = nullptr;
    FreeData();
    return PX_E_FORMAT;
}
int CPxImageData24::LoadImageA(CQrReadStream*, CPxImageHeader** header, int) {
    if (header)
        *header = nullptr;
    FreeData();
    return PX_E_FORMAT;
}
