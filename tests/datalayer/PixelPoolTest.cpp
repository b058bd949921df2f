// The pixel pool: evicted pictures' memory reused for the next pictures of the same
// size, within its share of the budget, given back when the cache is emptied, and
// safe for pictures that outlive the data layer.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DataFixture.h"
#include "OvControl.h"
#include "Pixmere.h"
#include "PxCodec.h"
#include "data/OvMemManager.h"
#include "data/OvPixelPool.h"

namespace {

// A w x h PNG of one colour.
std::vector<unsigned char> SolidPng(int w, int h, const CPxRGB& colour) {
    CPxImageData24 picture;
    EXPECT_EQ(0, picture.NewImage(w, h));
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x)
            picture.SetPixel(x, y, colour);
    }
    std::vector<unsigned char> png;
    EXPECT_EQ(0, PxEncodePng(picture, png));
    return png;
}

CPxRGB ColourOf(int i) {
    return CPxRGB{(i * 40) % 256, (i * 90 + 20) % 256, (i * 7 + 200) % 256};
}

// Every pixel of the picture has the colour.
bool IsSolid(const CPxImageData24& picture, const CPxRGB& colour) {
    for (int y = 0; y < picture.GetHeight(); ++y) {
        for (int x = 0; x < picture.GetWidth(); ++x) {
            CPxRGB c{};
            if (!picture.GetPixel(x, y, c) || c.r != colour.r || c.g != colour.g ||
                c.b != colour.b) {
                return false;
            }
        }
    }
    return true;
}

TEST(PixelPool, KeepsBlocksBySizeWithinItsLimitMostRecentFirst) {
    COvPixelPool::Handle pool = COvPixelPool::Create();
    ASSERT_NE(nullptr, pool);
    pool->SetLimit(250);
    void* a = pool->AllocMemory(100);
    void* b = pool->AllocMemory(100);
    void* c = pool->AllocMemory(60);
    pool->FreeMemory(a);
    pool->FreeMemory(b);
    pool->FreeMemory(c);  // past the limit: back to the system
    COvPixelPool::Stats stats = pool->GetStats();
    EXPECT_EQ(200, stats.idleBytes);
    EXPECT_EQ(2, stats.idleBlocks);

    EXPECT_EQ(b, pool->AllocMemory(100));
    void* d = pool->AllocMemory(60);  // no block of that size is idle
    stats = pool->GetStats();
    EXPECT_EQ(1, stats.reused);
    EXPECT_EQ(4, stats.fresh);
    EXPECT_EQ(200, stats.peakIdleBytes);

    pool->SetLimit(50);
    EXPECT_EQ(0, pool->GetStats().idleBytes);
    // The owner lets go while two blocks are out: they are freed as they come back,
    // the last one taking the pool with it (the sanitizers watch).
    COvPixelPool* raw = pool.get();
    pool.reset();
    raw->FreeMemory(b);
    raw->FreeMemory(d);
}

// Same-sized pictures loaded one after another under a budget of ten: the later ones
// are decoded into the memory of evicted ones, whole and right; the pool holds no more
// than an eighth of the budget, is emptied with the cache, and a copy of a picture
// may outlive the control.
TEST(PixelPool, EvictedPicturesMemoryCarriesTheNextPictures) {
    constexpr int kW = 41;  // rows with padding
    constexpr int kH = 30;
    constexpr int kPictures = 30;
    const unsigned int record = 3 * kW * kH + 64;
    COvControl control;
    ASSERT_EQ(0, control.Init(10 * record, nullptr));
    auto* memory = new CQrMemoryStreamCreator;
    for (int i = 0; i < kPictures; ++i) {
        const std::vector<unsigned char> png = SolidPng(kW, kH, ColourOf(i));
        memory->RegisterBuffer(("p" + std::to_string(i)).c_str(), png.data(), png.size());
    }
    control.AddStreamCreator(memory);
    const COvPixelPool* pool = control.m_pMemManager->GetPixelPool();
    ASSERT_NE(nullptr, pool);

    CPxImageData24 kept;
    for (int i = 0; i < kPictures; ++i) {
        COvDataInfo info = MakeInfo(1, "p" + std::to_string(i), 2);
        COvMemData* data = nullptr;
        ASSERT_EQ(0, control.GetData(&data, &info, nullptr));
        const auto* picture = static_cast<const CPxImageData24*>(data->m_pData);
        ASSERT_TRUE(IsSolid(*picture, ColourOf(i))) << i;
        if (i == kPictures - 1)
            kept = *picture;  // shares the pixels
        control.UnLockData(data);
        control.EndDraw();
        EXPECT_LE(pool->GetStats().idleBytes, 10 * record / 8);
    }
    EXPECT_GE(pool->GetStats().reused, kPictures - 12);

    control.Delete();
    EXPECT_EQ(0, pool->GetStats().idleBytes);
    control.Exit();
    EXPECT_TRUE(IsSolid(kept, ColourOf(kPictures - 1)));
}

}  // namespace
