// Conformance on the public PNG and BMP test suites (tests/data/images).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "PxTestSupport.h"

namespace fs = std::filesystem;

namespace {

std::vector<fs::path> Files(const std::string& rel, const std::string& ext) {
    std::vector<fs::path> out;
    for (const auto& e : fs::directory_iterator(PxTestPath(rel)))
        if (e.path().extension() == ext)
            out.push_back(e.path());
    std::sort(out.begin(), out.end());
    return out;
}

}  // namespace

// Every PngSuite file is read except the corrupt x* ones; opaque pixels match the
// expected RGBA exactly, translucent ones match it composited over black.
TEST(PxSuiteTest, PngSuite) {
    const auto files = Files("pngsuite", ".png");
    ASSERT_GT(files.size(), 150u);
    for (const auto& path : files) {
        const std::string stem = path.stem().string();
        CPxImageData24 img;
        const int rc = img.LoadImageA(path.c_str(), nullptr, 0);
        if (stem[0] == 'x') {
            EXPECT_LT(rc, 0) << stem;
            EXPECT_TRUE(img.IsEmpty());
            continue;
        }
        ASSERT_EQ(rc, 0) << stem;
        fs::path expected = path.parent_path() / "expected" / (stem + "_to8.rgba");
        if (!fs::exists(expected))
            expected = path.parent_path() / "expected" / (stem + ".rgba");
        if (!fs::exists(expected))
            continue;  // read, but no pixels to compare with
        const bool sixteen = stem.find("16") != std::string::npos;
        const auto rgba = PxReadFile(expected.string());
        ASSERT_EQ(rgba.size(), 4u * img.GetWidth() * img.GetHeight()) << stem;
        int bad = 0;
        for (int y = 0; y < img.GetHeight(); ++y) {
            for (int x = 0; x < img.GetWidth(); ++x) {
                const unsigned char* e =
                    &rgba[4 * (static_cast<std::size_t>(y) * img.GetWidth() + x)];
                CPxRGB p{};
                img.GetPixel(x, y, p);
                const int a = e[3];
                // 16-bit samples may round either way on the way to 8 bits.
                const int tol = (a == 255 && !sixteen) ? 0 : 1;
                const int want[3] = {(e[0] * a + 127) / 255, (e[1] * a + 127) / 255,
                                     (e[2] * a + 127) / 255};
                if (std::abs(p.r - want[0]) > tol || std::abs(p.g - want[1]) > tol ||
                    std::abs(p.b - want[2]) > tol)
                    ++bad;
            }
        }
        EXPECT_EQ(bad, 0) << stem;
    }
}

// The suite's good files all read; files that show the same picture in different
// encodings decode to the same pixels.
TEST(PxSuiteTest, BmpSuiteGoodFiles) {
    for (const auto& path : Files("bmpsuite/g", ".bmp")) {
        CPxImageData24 img;
        CPxImageHeader* header = nullptr;
        EXPECT_EQ(img.LoadImageA(path.c_str(), &header, 0), 0) << path.filename();
        if (header) {
            EXPECT_EQ(header->GetImageType(), CPxImageHeader::TYPE_BMP);
            EXPECT_EQ(header->GetWidth(), img.GetWidth());
            delete header;
        }
    }
    const std::vector<std::vector<std::string>> same = {
        {"rgb24", "rgb32", "rgb32bf", "rgb32bfdef", "rgb24pal"},
        {"pal8", "pal8-0", "pal8topdown", "pal8v4", "pal8v5", "pal8rle", "pal8os2"},
        {"pal4", "pal4rle"},
        {"rgb16", "rgb16bfdef"},
        {"rgb16-565", "rgb16-565pal"},
    };
    for (const auto& group : same) {
        CPxImageData24 first;
        ASSERT_EQ(
            first.LoadImageA(PxTestPath("bmpsuite/g/" + group[0] + ".bmp").c_str(), nullptr, 0), 0);
        for (std::size_t i = 1; i < group.size(); ++i) {
            CPxImageData24 other;
            ASSERT_EQ(
                other.LoadImageA(PxTestPath("bmpsuite/g/" + group[i] + ".bmp").c_str(), nullptr, 0),
                0);
            EXPECT_EQ(PxDiffCount(first, other), 0) << group[0] << " vs " << group[i];
        }
    }
    // A known pixel: rgb24's top-left is red, its palette twin the same.
    CPxImageData24 img;
    ASSERT_EQ(img.LoadImageA(PxTestPath("bmpsuite/g/rgb24.bmp").c_str(), nullptr, 0), 0);
    EXPECT_EQ(img.GetWidth(), 127);
    EXPECT_EQ(img.GetHeight(), 64);
}

// Bad and questionable files are refused or read, never with a fault; a refusal
// leaves the picture empty. The sanitizer builds watch for the faults.
TEST(PxSuiteTest, BmpSuiteBadAndQuestionableFiles) {
    const std::set<std::string> refuse = {
        "badbitcount", "badheadersize", "badplanes",  "badpalettesize", "badrle",
        "badrle4",     "badrle4bis",    "badrle4ter", "badrlebis",      "badrleter",
        "badwidth",    "reallybig",     "rletopdown", "shortfile"};
    int refused = 0;
    for (const char* dir : {"bmpsuite/b", "bmpsuite/q"}) {
        for (const auto& path : Files(dir, ".bmp")) {
            CPxImageData24 img;
            const int rc = img.LoadImageA(path.c_str(), nullptr, 0);
            EXPECT_EQ(rc < 0, img.IsEmpty()) << path.filename();
            if (rc < 0)
                ++refused;
            // These would show garbage or need a huge allocation: they must be refused.
            if (refuse.count(path.stem().string())) {
                EXPECT_LT(rc, 0) << path.filename();
            }
        }
    }
    EXPECT_GT(refused, 10);
}
