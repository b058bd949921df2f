#include "Quorra.h"

CQrFileStreamCreator::CQrFileStreamCreator() {}
CQrFileStreamCreator::~CQrFileStreamCreator() {}
CQrFileStreamCreator::CQrFileStreamCreator(const CQrFileStreamCreator& other)
    : CQrStreamCreator(other) {}
CQrFileStreamCreator& CQrFileStreamCreator::operator=(const CQrFileStreamCreator&) {
    return *this;
}
void CQrFileStreamCreator::Free() {}
CQrReadStream* CQrFileStreamCreator::CreateStream(const char*) { return nullptr; }
void CQrFileStreamCreator::FreeStream(CQrReadStream*) {}
