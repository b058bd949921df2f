// Pictures, depth buffers and cursors: layout, access at the edges, sizes, copies.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <limits>

#include "Pixmere.h"

TEST(PxImageTest, RowsAreBottomUpAndPadded) {
    struct Case {
        int width, lineBytes;
    };
    for (const Case c : {Case{1, 4}, Case{4, 12}, Case{5, 16}, Case{2, 8}}) {
        CPxImageData24 img;
        ASSERT_EQ(img.NewImage(c.width, 3), 0);
        EXPECT_EQ(img.GetLineBytes(), c.lineBytes) << c.width;
        const BITMAPINFOHEADER& h = img.GetInfo()->bmiHeader;
        EXPECT_EQ(h.biSize, 40u);
        EXPECT_EQ(h.biWidth, c.width);
        EXPECT_EQ(h.biHeight, 3);  // positive: bottom-up
        EXPECT_EQ(h.biPlanes, 1);
        EXPECT_EQ(h.biBitCount, 24);
        EXPECT_EQ(h.biCompression, BI_RGB);
        // The top row is the last one in memory, pixels are blue, green, red.
        EXPECT_EQ(img.GetScanLine(0), img.GetData() + 2 * c.lineBytes);
        EXPECT_EQ(img.GetScanLine(2), img.GetData());
        ASSERT_TRUE(img.SetPixel(c.width - 1, 0, CPxRGB{10, 20, 30}));
        const unsigned char* p = img.GetData() + 2 * c.lineBytes + 3 * (c.width - 1);
        EXPECT_EQ(p[0], 30);
        EXPECT_EQ(p[1], 20);
        EXPECT_EQ(p[2], 10);
        // New pixels and padding start zeroed.
        EXPECT_EQ(img.GetData()[c.lineBytes - 1], 0);
    }
}

TEST(PxImageTest, PixelAccessStopsAtTheEdges) {
    CPxImageData24 img;
    CPxRGB c{1, 2, 3};
    EXPECT_FALSE(img.GetPixel(0, 0, c));  // no pixels
    EXPECT_FALSE(img.SetPixel(0, 0, c));
    ASSERT_EQ(img.NewImage(4, 3), 0);
    struct P {
        int x, y;
        bool inside;
    };
    for (const P p : {P{0, 0, true}, P{3, 2, true}, P{-1, 0, false}, P{4, 0, false},
                      P{0, -1, false}, P{0, 3, false}, P{std::numeric_limits<int>::min(), 1, false},
                      P{1, std::numeric_limits<int>::max(), false}}) {
        EXPECT_EQ(img.SetPixel(p.x, p.y, CPxRGB{255, 128, 7}), p.inside) << p.x << "," << p.y;
        CPxRGB got{-1, -1, -1};
        EXPECT_EQ(img.GetPixel(p.x, p.y, got), p.inside);
        if (p.inside) {
            EXPECT_EQ(got.r, 255);
            EXPECT_EQ(got.g, 128);
            EXPECT_EQ(got.b, 7);
        } else {
            EXPECT_EQ(got.r, -1);  // untouched
        }
    }
    // Only the low byte of each component is stored.
    ASSERT_TRUE(img.SetPixel(1, 1, CPxRGB{256 + 9, -1, 0}));
    ASSERT_TRUE(img.GetPixel(1, 1, c));
    EXPECT_EQ(c.r, 9);
    EXPECT_EQ(c.g, 255);
}

TEST(PxImageTest, NewImageSizes) {
    struct Case {
        int w, h, rc;
        bool empty;
    };
    for (const Case c : {Case{0, 10, 0, true}, Case{10, 0, 0, true}, Case{-5, -5, 0, true},
                         Case{1, 1, 0, false}, Case{PX_MAX_SIDE + 1, 1, PX_E_TOO_LARGE, true},
                         Case{PX_MAX_SIDE, PX_MAX_SIDE, PX_E_TOO_LARGE, true},
                         Case{std::numeric_limits<int>::max(), std::numeric_limits<int>::max(),
                              PX_E_TOO_LARGE, true}}) {
        CPxZImageData24 img;
        ASSERT_EQ(img.NewImage(3, 3), 0);  // a previous picture is replaced either way
        EXPECT_EQ(img.NewImage(c.w, c.h), c.rc) << c.w << "x" << c.h;
        EXPECT_EQ(img.IsEmpty(), c.empty);
        if (c.empty) {
            EXPECT_EQ(img.GetWidth(), 0);
            EXPECT_EQ(img.GetHeight(), 0);
            EXPECT_EQ(img.GetBuffer().GetStart(), nullptr);
        }
    }
}

TEST(PxImageTest, DepthBufferFollowsTheSizeAndClears) {
    CPxZImageData24 img;
    EXPECT_EQ(img.GetBuffer().GetStart(), nullptr);
    ASSERT_EQ(img.NewImage(5, 2), 0);
    CPxImageZBuffer& z = img.GetBuffer();
    ASSERT_NE(z.GetStart(), nullptr);
    EXPECT_EQ(z.GetWidth(), 5);
    EXPECT_EQ(z.GetHeight(), 2);
    img.Clear();
    for (int i = 0; i < 10; ++i) {
        std::uint32_t bits;
        std::memcpy(&bits, &z.GetStart()[i], 4);
        EXPECT_EQ(bits, 0x7F7FFFFFu);
    }
    ASSERT_EQ(img.NewImage(7, 3), 0);
    EXPECT_EQ(img.GetBuffer().GetWidth(), 7);
    img.FreeData();
    EXPECT_EQ(img.GetBuffer().GetStart(), nullptr);

    CPxImageZBuffer alone;
    EXPECT_EQ(alone.Resize(0, 5), 0);
    EXPECT_EQ(alone.GetStart(), nullptr);
    alone.Clear();  // nothing to clear, no fault
    EXPECT_EQ(alone.Resize(1 << 20, 1 << 20), PX_E_NOMEM);
}

TEST(PxImageTest, CursorsPointAtTheTopRow) {
    CPxZImageData24 img;
    CPxZImagePixel24 zp;
    EXPECT_FALSE(img.GetImagePixel(zp));
    ASSERT_EQ(img.NewImage(5, 3), 0);
    ASSERT_TRUE(img.GetImagePixel(zp));
    EXPECT_EQ(zp.m_pTop, img.GetScanLine(0));
    EXPECT_EQ(zp.m_nStep, -16);
    EXPECT_EQ(zp.m_pZTop, img.GetBuffer().GetStart());
    EXPECT_EQ(zp.m_nWidth, 5);
    zp.MoveTo(2, 1);
    zp.Set(CPxRGB{9, 8, 7});
    CPxRGB c{};
    ASSERT_TRUE(img.GetPixel(2, 1, c));
    EXPECT_EQ(c.r, 9);
    EXPECT_EQ(zp.m_pZCurrent, img.GetBuffer().GetStart() + 5 + 2);

    // A plain picture leaves the depth members empty.
    CPxImageData24 plain;
    ASSERT_EQ(plain.NewImage(2, 2), 0);
    CPxZImagePixel24 pp;
    pp.m_nWidth = 99;
    ASSERT_TRUE(plain.GetImagePixel(pp));
    EXPECT_EQ(pp.m_pZTop, nullptr);
    EXPECT_EQ(pp.m_nWidth, 0);
    EXPECT_EQ(pp.m_pTop, plain.GetScanLine(0));
}

// Copies share the pixels, and a copy stays valid after the original is gone.
TEST(PxImageTest, CopiesShareAndOutliveTheirSource) {
    CPxZImageData24 copy;
    {
        CPxZImageData24 img;
        ASSERT_EQ(img.NewImage(3, 3), 0);
        copy = img;
        EXPECT_EQ(copy.GetData(), img.GetData());
        EXPECT_EQ(copy.GetBuffer().GetStart(), img.GetBuffer().GetStart());
        img.SetPixel(1, 1, CPxRGB{1, 2, 3});
    }
    CPxRGB c{};
    ASSERT_TRUE(copy.GetPixel(1, 1, c));  // read after the original's destruction
    EXPECT_EQ(c.b, 3);
    CPxImageData24 second(copy);
    copy.FreeData();
    EXPECT_TRUE(copy.IsEmpty());
    EXPECT_TRUE(second.GetPixel(1, 1, c));
}

// An allocator given at construction supplies and takes back the pixel memory.
TEST(PxImageTest, AllocatorSuppliesThePixels) {
    struct Counting final : CPxMemoryAllocator {
        int allocs = 0, frees = 0;
        bool fail = false;
        void* AllocMemory(std::size_t n) override {
            if (fail)
                return nullptr;
            ++allocs;
            // Used memory, as a pool hands out: NewImage must clear it itself.
            void* p = std::malloc(n);
            return p != nullptr ? std::memset(p, 0xCD, n) : nullptr;
        }
        void FreeMemory(void* p) override {
            ++frees;
            std::free(p);
        }
    } alloc;
    {
        CPxImageData24 img(&alloc);
        ASSERT_EQ(img.NewImage(4, 4), 0);
        ASSERT_EQ(img.NewImage(8, 8), 0);
        CPxRGB c{1, 1, 1};
        ASSERT_TRUE(img.GetPixel(7, 7, c));
        EXPECT_EQ(0, c.r + c.g + c.b);
        EXPECT_EQ(alloc.allocs, 2);
        EXPECT_EQ(alloc.frees, 1);
        alloc.fail = true;
        EXPECT_EQ(img.NewImage(2, 2), PX_E_NOMEM);
        EXPECT_TRUE(img.IsEmpty());
    }
    EXPECT_EQ(alloc.frees, 2);
}

// Decoding reuses a picture's memory only when nothing else sees it: a copy made
// before must keep its pixels.
TEST(PxImageTest, ReserveKeepsOnlyUnsharedMemory) {
    CPxImageData24 img;
    ASSERT_EQ(img.NewImage(5, 4), 0);
    unsigned char* before = img.GetData();
    ASSERT_EQ(img.ReserveImage(5, 4), 0);
    EXPECT_EQ(img.GetData(), before);
    ASSERT_TRUE(img.SetPixel(0, 0, CPxRGB{1, 2, 3}));
    CPxImageData24 copy(img);
    ASSERT_EQ(img.ReserveImage(5, 4), 0);
    EXPECT_NE(img.GetData(), copy.GetData());
    CPxRGB c{};
    ASSERT_TRUE(copy.GetPixel(0, 0, c));
    EXPECT_EQ(c.b, 3);
    // The padding of fresh rows is zero, whatever the pixels hold.
    ASSERT_EQ(img.ReserveImage(5, 2), 0);
    for (int y = 0; y < 2; ++y)
        for (int i = 15; i < 16; ++i)
            EXPECT_EQ(img.GetData()[y * 16 + i], 0);
    EXPECT_EQ(img.ReserveImage(0, 2), 0);
    EXPECT_TRUE(img.IsEmpty());
}
