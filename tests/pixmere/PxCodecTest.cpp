// Decoders and encoders: exact BMP layout and round trips, each format on small
// valid files, and corrupt, truncated and hostile input.
#include <gtest/gtest.h>
#include <jpeglib.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <thread>

#include "FailingAlloc.h"
#include "OvJpegSample.h"
#include "PxTestSupport.h"
#include "pixmere/src/codec/PxDecoders.h"

namespace {

std::uint32_t U32At(const std::vector<unsigned char>& v, std::size_t o) {
    return v[o] | (v[o + 1] << 8) | (v[o + 2] << 16) | (static_cast<std::uint32_t>(v[o + 3]) << 24);
}

void Put32(std::vector<unsigned char>& f, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        f[at + i] = static_cast<unsigned char>(v >> (8 * i));
}

// A BMP of `size` bytes, the pixels at `offset`, with a 40-byte header for w x h
// pixels of `bits` bits; everything else is zero.
std::vector<unsigned char> BmpWithHeader(std::size_t size, std::uint32_t offset, std::int32_t w,
                                         std::int32_t h, std::uint16_t bits) {
    std::vector<unsigned char> f(size, 0);
    f[0] = 'B';
    f[1] = 'M';
    Put32(f, 2, static_cast<std::uint32_t>(size));
    Put32(f, 10, offset);
    Put32(f, 14, 40);
    Put32(f, 18, static_cast<std::uint32_t>(w));
    Put32(f, 22, static_cast<std::uint32_t>(h));
    f[26] = 1;  // planes
    f[28] = static_cast<unsigned char>(bits);
    return f;
}

std::vector<unsigned char> MakeJpeg(const CPxImageData24& img, bool grey, bool progressive) {
    const int w = img.GetWidth();
    return OvEncodeJpeg(w, img.GetHeight(), grey ? 1 : 3, grey ? JCS_GRAYSCALE : JCS_EXT_BGR, 100,
                        progressive, [&](int y, unsigned char* row) {
                            const unsigned char* src = img.GetScanLine(y);
                            for (int x = 0; x < w; ++x) {
                                if (grey)
                                    row[x] = src[3 * x + 1];
                                else
                                    std::memcpy(row + 3 * x, src + 3 * x, 3);
                            }
                        });
}

// A smooth picture, which JPEG keeps close.
void FillSmooth(CPxImageData24& img) {
    for (int y = 0; y < img.GetHeight(); ++y)
        for (int x = 0; x < img.GetWidth(); ++x)
            img.SetPixel(x, y, CPxRGB{x * 4, y * 4, 128});
}

std::vector<unsigned char> Encode(const CPxImageData24& img, bool png) {
    std::vector<unsigned char> out;
    EXPECT_EQ(png ? PxEncodePng(img, out) : PxEncodeBmp(img, out), 0);
    return out;
}

// A client's stream that knows no size, keeps nothing in memory and hands out at
// most three bytes a read.
class TrickleStream : public CQrReadStream {
public:
    explicit TrickleStream(const std::vector<unsigned char>& d) : m_Data(d) {}
    std::int64_t Read(void* buffer, std::int64_t size) override {
        const std::int64_t n =
            std::min<std::int64_t>({size, 3, static_cast<std::int64_t>(m_Data.size()) - m_Pos});
        std::memcpy(buffer, m_Data.data() + m_Pos, static_cast<std::size_t>(n));
        m_Pos += n;
        return n;
    }
    int Seek(std::int64_t pos) override {
        if (pos < 0 || pos > static_cast<std::int64_t>(m_Data.size()))
            return QR_E_SEEK;
        m_Pos = pos;
        return 0;
    }
    std::int64_t Tell() const override { return m_Pos; }
    std::int64_t GetSize() const override { return -1; }

private:
    const std::vector<unsigned char>& m_Data;
    std::int64_t m_Pos = 0;
};

}  // namespace

TEST(PxCodecTest, BmpWriterLayout) {
    struct Case {
        int w, h;
        std::size_t fileSize;
    };
    for (const Case c : {Case{5, 2, 86}, Case{4, 1, 66}, Case{1, 3, 66}}) {
        CPxImageData24 img;
        ASSERT_EQ(img.NewImage(c.w, c.h), 0);
        PxFillPattern(img);
        // Garbage in the padding must not reach the file.
        if (img.GetLineBytes() > 3 * c.w)
            img.GetData()[3 * c.w] = 0xAB;
        const auto f = Encode(img, false);
        ASSERT_EQ(f.size(), c.fileSize);
        EXPECT_EQ(f[0], 'B');
        EXPECT_EQ(f[1], 'M');
        EXPECT_EQ(U32At(f, 2), c.fileSize);
        EXPECT_EQ(U32At(f, 6), 0u);  // both reserved words
        EXPECT_EQ(U32At(f, 10), 54u);
        EXPECT_EQ(U32At(f, 14), 40u);
        EXPECT_EQ(U32At(f, 18), static_cast<std::uint32_t>(c.w));
        EXPECT_EQ(U32At(f, 22), static_cast<std::uint32_t>(c.h));
        EXPECT_EQ(f[26] | (f[27] << 8), 1);
        EXPECT_EQ(f[28] | (f[29] << 8), 24);
        for (std::size_t o = 30; o < 54; o += 4)
            EXPECT_EQ(U32At(f, o), 0u) << o;
        // First stored row is the bottom row, blue first; padding is zero.
        CPxRGB bottom{};
        img.GetPixel(0, c.h - 1, bottom);
        EXPECT_EQ(f[54], bottom.b);
        EXPECT_EQ(f[56], bottom.r);
        const std::size_t line = (3 * c.w + 3) / 4 * 4;
        for (std::size_t o = 3 * c.w; o < line; ++o)
            EXPECT_EQ(f[54 + o], 0) << o;
    }
    CPxImageData24 empty;
    std::vector<unsigned char> out{1, 2};
    EXPECT_EQ(PxEncodeBmp(empty, out), PX_E_EMPTY);
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(PxSaveBmp(empty, "/tmp/never.bmp"), PX_E_EMPTY);
}

// What the library writes it reads back identically, through memory and through files.
TEST(PxCodecTest, BmpAndPngRoundTripExactly) {
    const std::string dir = testing::TempDir();
    for (bool png : {false, true}) {
        for (int w : {1, 4, 5, 33}) {
            CPxImageData24 img;
            ASSERT_EQ(img.NewImage(w, 7), 0);
            PxFillPattern(img, w);
            CPxZImageData24 back;
            ASSERT_EQ(PxLoadBytes(back, Encode(img, png)), 0) << png << " " << w;
            EXPECT_EQ(PxDiffCount(img, back), 0);
            EXPECT_EQ(back.GetBuffer().GetWidth(), w);  // the depth picture resized its buffer

            const std::string path = dir + "/pxround" + std::to_string(w) + (png ? ".png" : ".bmp");
            ASSERT_EQ(png ? PxSavePng(img, path.c_str()) : PxSaveBmp(img, path.c_str()), 0);
            CPxImageData24 fromFile;
            CPxImageHeader* header = nullptr;
            ASSERT_EQ(fromFile.LoadImageA(path.c_str(), &header, 0), 0);
            ASSERT_NE(header, nullptr);
            EXPECT_EQ(header->GetImageType(),
                      png ? CPxImageHeader::TYPE_PNG : CPxImageHeader::TYPE_BMP);
            EXPECT_EQ(header->GetWidth(), w);
            EXPECT_EQ(header->GetHeight(), 7);
            delete header;
            EXPECT_EQ(PxDiffCount(img, fromFile), 0);
            std::remove(path.c_str());
        }
    }
    EXPECT_EQ(PxSaveBmp(CPxImageData24(), "/tmp/x.bmp"), PX_E_EMPTY);
    CPxImageData24 one;
    ASSERT_EQ(one.NewImage(1, 1), 0);
    EXPECT_EQ(PxSaveBmp(one, "/nonexistent/dir/x.bmp"), PX_E_OPEN);
}

TEST(PxCodecTest, JpegDecodesColourGreyAndProgressive) {
    CPxImageData24 src;
    ASSERT_EQ(src.NewImage(40, 24), 0);
    FillSmooth(src);
    struct Case {
        bool grey, progressive;
        int flag;
    };
    for (const Case c : {Case{false, false, 0}, Case{false, true, 0}, Case{true, false, 0},
                         Case{false, false, CPxImageData24::PX_LOAD_FAST}}) {
        const auto bytes = MakeJpeg(src, c.grey, c.progressive);
        CPxImageData24 img;
        ASSERT_EQ(PxLoadBytes(img, bytes, c.flag), 0);
        ASSERT_EQ(img.GetWidth(), 40);
        ASSERT_EQ(img.GetHeight(), 24);
        if (c.grey) {
            CPxRGB p{}, s{};
            img.GetPixel(10, 10, p);
            src.GetPixel(10, 10, s);
            EXPECT_EQ(p.r, p.b);
            EXPECT_NEAR(p.g, s.g, 4);
        } else {
            EXPECT_EQ(PxDiffCount(src, img, 8), 0) << c.progressive << c.flag;
        }
    }
}

// Every prefix of a valid file, and every file with a damaged byte, is refused or
// read without a fault; refused loads leave the picture empty.
TEST(PxCodecTest, TruncatedAndDamagedFilesAreRefusedCleanly) {
    CPxImageData24 src;
    ASSERT_EQ(src.NewImage(19, 13), 0);
    FillSmooth(src);
    const std::vector<std::vector<unsigned char>> files = {Encode(src, false), Encode(src, true),
                                                           MakeJpeg(src, false, false),
                                                           MakeJpeg(src, false, true)};
    for (std::size_t k = 0; k < files.size(); ++k) {
        const auto& full = files[k];
        for (std::size_t n = 0; n < full.size(); n += (n < 64 ? 1 : 7)) {
            std::vector<unsigned char> part(full.begin(), full.begin() + n);
            CPxImageData24 img;
            ASSERT_EQ(img.NewImage(2, 2), 0);
            const int rc = PxLoadBytes(img, part);
            EXPECT_LT(rc, 0) << "file " << k << " cut at " << n;
            EXPECT_TRUE(img.IsEmpty());
        }
        for (std::size_t i = 0; i < full.size(); i += 3) {
            auto bad = full;
            bad[i] ^= 0x5A;
            CPxImageData24 img;
            const int rc = PxLoadBytes(img, bad);
            EXPECT_EQ(rc < 0, img.IsEmpty());
        }
    }
}

TEST(PxCodecTest, UnreadableInputGivesClearCodes) {
    CPxImageData24 img;
    CPxImageHeader* header = reinterpret_cast<CPxImageHeader*>(&img);  // must be reset
    EXPECT_EQ(img.LoadImageA(static_cast<const char*>(nullptr), &header, 0), PX_E_ARGUMENT);
    EXPECT_EQ(header, nullptr);
    EXPECT_EQ(img.LoadImageA(static_cast<CQrReadStream*>(nullptr), nullptr, 0), PX_E_ARGUMENT);
    EXPECT_EQ(img.LoadImageA("/nonexistent.png", nullptr, 0), PX_E_OPEN);
    EXPECT_EQ(PxLoadBytes(img, {}), PX_E_FORMAT);
    EXPECT_EQ(PxLoadBytes(img, {'G', 'I', 'F', '8', '9', 'a', 0, 0}), PX_E_FORMAT);
    EXPECT_LT(PxLoadBytes(img, {'B', 'M'}), 0);
}

// Headers that claim huge pictures are refused before any allocation: the test
// would run out of memory under the sanitizers otherwise.
TEST(PxCodecTest, HugeClaimedSizesAreRefused) {
    struct Case {
        std::int32_t w, h;
        std::uint16_t bits;
    };
    for (const Case c : {Case{30000, 30000, 24}, Case{0x7FFFFFFF, 1, 24}, Case{1, INT32_MIN, 24},
                         Case{-5, 5, 24}, Case{0, 5, 24}, Case{8000, 8000, 32}, Case{4, 4, 7}}) {
        CPxImageData24 img;
        EXPECT_LT(PxLoadBytes(img, BmpWithHeader(54 + 64, 54, c.w, c.h, c.bits)), 0)
            << c.w << "x" << c.h;
        EXPECT_TRUE(img.IsEmpty());
    }
}

// Hostile inputs, and inputs that once made a decoder misbehave: each is refused
// with the picture left empty (those named "readable-..." may also be read).
TEST(PxCodecTest, RecordedHostileInputsAreRefused) {
    const std::filesystem::path dir = PxTestPath("crashes");
    int seen = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        if (!entry.is_regular_file())
            continue;
        ++seen;
        CPxImageData24 img;
        const int rc = img.LoadImageA(entry.path().c_str(), nullptr, 0);
        EXPECT_EQ(rc < 0, img.IsEmpty()) << entry.path();
        if (entry.path().filename().string().rfind("readable-", 0) != 0) {
            EXPECT_LT(rc, 0) << entry.path();
        }
    }
    EXPECT_GT(seen, 0);
}

// Every decoder reads the same pixels through a stream of unknown size that
// trickles its bytes as through one in memory.
TEST(PxCodecTest, DecodersNeedNoSizeNorWholeReads) {
    CPxImageData24 src;
    ASSERT_EQ(src.NewImage(21, 10), 0);
    FillSmooth(src);
    const std::vector<std::vector<unsigned char>> files = {
        Encode(src, false),
        Encode(src, true),
        MakeJpeg(src, false, true),
        PxReadFile(PxTestPath("bmpsuite/g/pal8rle.bmp")),
        PxReadFile(PxTestPath("bmpsuite/g/pal4rle.bmp")),
        PxReadFile(PxTestPath("bmpsuite/g/rgb16-565.bmp")),
        PxReadFile(PxTestPath("pngsuite/basi3p08.png"))};
    for (std::size_t k = 0; k < files.size(); ++k) {
        CPxImageData24 whole, trickled;
        ASSERT_EQ(PxLoadBytes(whole, files[k]), 0) << k;
        TrickleStream s(files[k]);
        ASSERT_EQ(trickled.LoadImageA(&s, nullptr, 0), 0) << k;
        EXPECT_EQ(PxDiffCount(whole, trickled), 0) << k;
    }
}

// Adobe CMYK JPEGs store inverted ink values; solid cyan-free, full-black-free ink
// of magenta and yellow is red.
TEST(PxCodecTest, JpegCmykBecomesRgb) {
    const auto bytes = OvEncodeJpeg(16, 16, 4, JCS_CMYK, 100, false, [](int, unsigned char* row) {
        for (int x = 0; x < 16; ++x) {
            row[4 * x] = 255;      // inverted: no cyan
            row[4 * x + 1] = 0;    // full magenta
            row[4 * x + 2] = 0;    // full yellow
            row[4 * x + 3] = 255;  // no black
        }
    });
    CPxImageData24 img;
    ASSERT_EQ(PxLoadBytes(img, bytes), 0);
    CPxRGB p{};
    ASSERT_TRUE(img.GetPixel(8, 8, p));
    EXPECT_GT(p.r, 245);
    EXPECT_LT(p.g, 10);
    EXPECT_LT(p.b, 10);
}

namespace {

// Runs a load on a thread of its own, where FailingAlloc's failures apply.
int LoadOnOtherThread(CPxImageData24& img, const std::vector<unsigned char>& bytes,
                      CPxImageHeader** header) {
    int rc = 0;
    std::thread([&] {
        CQrMemoryReadStream s(bytes.data(), bytes.size());
        rc = img.LoadImageA(&s, header, 0);
    }).join();
    return rc;
}

}  // namespace

// A decoded picture whose depth buffer, or whose asked-for header, cannot be had is a
// failure, not a success with a part missing.
TEST(PxCodecTest, LoadsThatCannotFinishReportTheFailure) {
    CPxImageData24 src;
    ASSERT_EQ(src.NewImage(37, 23), 0);
    const std::vector<unsigned char> bmp = Encode(src, false);

    CPxZImageData24 deep;
    OvFailAllocations(37 * 23 * sizeof(float), 1);
    EXPECT_EQ(LoadOnOtherThread(deep, bmp, nullptr), PX_E_NOMEM);
    OvFailAllocations(0, 0);
    EXPECT_TRUE(deep.IsEmpty());
    EXPECT_EQ(deep.GetBuffer().GetStart(), nullptr);

    CPxImageData24 flat;
    CPxImageHeader* header = nullptr;
    OvFailAllocations(sizeof(CPxFileHeader), 1);
    EXPECT_EQ(LoadOnOtherThread(flat, bmp, &header), PX_E_NOMEM);
    OvFailAllocations(0, 0);
    EXPECT_EQ(header, nullptr);
    EXPECT_TRUE(flat.IsEmpty());
}

// Core (12-byte) headers store the height as an unsigned 16-bit value: a picture of
// 32768 rows is bottom-up like every other core picture.
TEST(PxCodecTest, CoreHeaderHeightIsUnsigned) {
    const int h = 32768;
    std::vector<unsigned char> f(14 + 12 + 4 * static_cast<std::size_t>(h), 0);
    f[0] = 'B';
    f[1] = 'M';
    f[10] = 26;  // pixels right after the headers
    f[14] = 12;
    f[18] = 1;                              // width 1
    f[20] = static_cast<unsigned char>(h);  // height, low byte
    f[21] = static_cast<unsigned char>(h >> 8);
    f[22] = 1;        // planes
    f[24] = 24;       // bits
    f[26 + 2] = 255;  // the first stored row is red: the bottom row
    CPxImageData24 img;
    ASSERT_EQ(PxLoadBytes(img, f), 0);
    ASSERT_EQ(img.GetHeight(), h);
    CPxRGB bottom{}, top{};
    ASSERT_TRUE(img.GetPixel(0, h - 1, bottom));
    ASSERT_TRUE(img.GetPixel(0, 0, top));
    EXPECT_EQ(bottom.r, 255);
    EXPECT_EQ(top.r, 0);
}

namespace {

std::vector<unsigned char> Deflate(const std::vector<unsigned char>& raw) {
    uLongf size = compressBound(static_cast<uLong>(raw.size()));
    std::vector<unsigned char> out(size);
    EXPECT_EQ(compress2(out.data(), &size, raw.data(), static_cast<uLong>(raw.size()), 9), Z_OK);
    out.resize(size);
    return out;
}

void PutChunk(std::vector<unsigned char>& png, const char* type,
              const std::vector<unsigned char>& data) {
    const auto length = static_cast<std::uint32_t>(data.size());
    for (int shift = 24; shift >= 0; shift -= 8)
        png.push_back(static_cast<unsigned char>(length >> shift));
    const std::size_t start = png.size();
    png.insert(png.end(), type, type + 4);
    png.insert(png.end(), data.begin(), data.end());
    const auto crc = static_cast<std::uint32_t>(
        crc32(0, png.data() + start, static_cast<uInt>(png.size() - start)));
    for (int shift = 24; shift >= 0; shift -= 8)
        png.push_back(static_cast<unsigned char>(crc >> shift));
}

// One black pixel after `chunks` compressed text chunks that each inflate to
// `inflated` bytes.
std::vector<unsigned char> TextBombPng(int chunks, std::size_t inflated) {
    std::vector<unsigned char> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    PutChunk(png, "IHDR", {0, 0, 0, 1, 0, 0, 0, 1, 8, 2, 0, 0, 0});
    std::vector<unsigned char> text = {'C', 'o', 'm', 'm', 'e', 'n', 't', 0, 0};
    const std::vector<unsigned char> packed = Deflate(std::vector<unsigned char>(inflated, 'a'));
    text.insert(text.end(), packed.begin(), packed.end());
    for (int i = 0; i < chunks; ++i)
        PutChunk(png, "zTXt", text);
    PutChunk(png, "IDAT", Deflate({0, 0, 0, 0}));
    PutChunk(png, "IEND", {});
    return png;
}

// An 8-bit run-length BMP of w x h whose codes end the picture at once.
std::vector<unsigned char> EmptyRleBmp(std::int32_t w, std::int32_t h) {
    std::vector<unsigned char> f = BmpWithHeader(14 + 40 + 8 + 2, 14 + 40 + 8, w, h, 8);
    Put32(f, 30, 1);  // RLE8
    Put32(f, 46, 2);  // two palette entries
    f[63] = 1;        // end of picture
    return f;
}

}  // namespace

// Small files that claim much: text chunks that inflate to megabytes, a run-length
// file of unknown size whose worst case is many times its length. Each decodes with
// little heap beyond its picture (measured where the allocator can tell).
TEST(PxCodecTest, SmallHostileFilesTakeLittleHeapBeyondThePicture) {
    constexpr long long kAllowance = 2 << 20;
    const auto bomb = TextBombPng(40, 1000000);
    const auto rle = EmptyRleBmp(2000, 2000);
    struct Case {
        const char* title;
        const std::vector<unsigned char>& bytes;
        bool trickle;  // through a stream of unknown size
        long long pictureBytes;
    } cases[] = {{"text chunks", bomb, false, 4}, {"run-length", rle, true, 6000LL * 2000}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        CPxImageData24 img;
        int rc = -1;
        const long long peak = PxHeapPeak([&] {
            if (c.trickle) {
                TrickleStream s(c.bytes);
                rc = img.LoadImageA(&s, nullptr, 0);
            } else {
                rc = PxLoadBytes(img, c.bytes);
            }
        });
        EXPECT_EQ(rc, 0);
        EXPECT_FALSE(img.IsEmpty());
        if (peak >= 0) {
            EXPECT_LT(peak, c.pictureBytes + kAllowance);
        }
    }
}
