#include "PxCodec.h"

#include "PxImage.h"

int PxEncodeBmp(const CPxImageData24&, std::vector<unsigned char>&) {
    return PX_E_EMPTY;
}
int PxSaveBmp(const CPxImageData24&, const char*) {
    return PX_E_EMPTY;
}
int PxEncodePng(const CPxImageData24&, std::vector<unsigned char>&) {
    return PX_E_EMPTY;
}
int PxSavePng(const CPxImageData24&, const char*) {
    return PX_E_EMPTY;
}
