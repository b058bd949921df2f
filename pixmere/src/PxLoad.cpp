// LoadImageA: the format is told from the first bytes, then the matching decoder runs.
#include <cstring>
#include <memory>
#include <new>

#include "Quorra.h"
#include "codec/PxDecoders.h"

namespace {

int Sniff(const unsigned char* p, std::int64_t n) {
    static const unsigned char kPng[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (n >= 8 && std::memcmp(p, kPng, 8) == 0)
        return CPxImageHeader::TYPE_PNG;
    if (n >= 3 && p[0] == 0xFF && p[1] == 0xD8 && p[2] == 0xFF)
        return CPxImageHeader::TYPE_JPEG;
    if (n >= 2 && p[0] == 'B' && p[1] == 'M')
        return CPxImageHeader::TYPE_BMP;
    return CPxImageHeader::TYPE_UNKNOWN;
}

}  // namespace

int CPxImageData24::LoadImageA(const char* path, CPxImageHeader** header, int flag) {
    if (header)
        *header = nullptr;
    if (!path) {
        FreeData();
        return PX_E_ARGUMENT;
    }
    CQrFileStreamCreator files;
    std::unique_ptr<CQrReadStream> stream(files.CreateStream(path));
    if (!stream) {
        FreeData();
        return PX_E_OPEN;
    }
    return LoadImageA(stream.get(), header, flag);
}

int CPxImageData24::LoadImageA(CQrReadStream* stream, CPxImageHeader** header, int flag) {
    if (header)
        *header = nullptr;
    if (!stream) {
        FreeData();
        return PX_E_ARGUMENT;
    }
    const std::int64_t start = stream->Tell();
    unsigned char magic[8] = {};
    // A stream may hand out fewer bytes than asked for: read until 8 or the end.
    std::int64_t got = 0;
    for (std::int64_t n; got < 8 && (n = stream->Read(magic + got, 8 - got)) > 0;)
        got += n;
    const int type = got > 0 ? Sniff(magic, got) : CPxImageHeader::TYPE_UNKNOWN;
    PxFileFacts facts;
    int rc = PX_E_FORMAT;
    if (type != CPxImageHeader::TYPE_UNKNOWN && stream->Seek(start) == 0) {
        // Failures are codes: a working buffer that cannot be had is one too.
        try {
            switch (type) {
                case CPxImageHeader::TYPE_PNG:
                    rc = PxDecodePng(*stream, *this, facts);
                    break;
                case CPxImageHeader::TYPE_JPEG:
                    rc = PxDecodeJpeg(*stream, *this, facts, flag);
                    break;
                default:
                    rc = PxDecodeBmp(*stream, *this, facts);
                    break;
            }
        } catch (const std::bad_alloc&) {
            rc = PX_E_NOMEM;
        }
    }
    if (rc == PX_OK && header) {
        *header = new (std::nothrow) CPxFileHeader(facts);
        if (!*header)
            rc = PX_E_NOMEM;  // the caller asked for the header: no silent half result
    }
    if (rc != PX_OK)
        FreeData();
    return rc;
}
