// Canvas drawing: exact scaling at 1:1 and 2:1, area averaging, clipping at every
// edge and far outside, and the pixel coverage of lines, triangles and frames.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "PxTestSupport.h"

namespace {

const CPxRGB kWhite{255, 255, 255};

// A grey picture from rows of values, top row first.
CPxImageData24 Grey(std::initializer_list<std::initializer_list<int>> rows) {
    CPxImageData24 img;
    const int h = static_cast<int>(rows.size());
    const int w = static_cast<int>(rows.begin()->size());
    EXPECT_EQ(img.NewImage(w, h), 0);
    int y = 0;
    for (const auto& row : rows) {
        int x = 0;
        for (int v : row)
            img.SetPixel(x++, y, CPxRGB{v, v, v});
        ++y;
    }
    return img;
}

int Red(const CPxImageData24& img, int x, int y) {
    CPxRGB c{};
    img.GetPixel(x, y, c);
    return c.r;
}

// The red channel of the whole picture as rows of text, for readable failures.
std::string Dump(const CPxImageData24& img) {
    std::string s;
    for (int y = 0; y < img.GetHeight(); ++y) {
        for (int x = 0; x < img.GetWidth(); ++x)
            s += std::to_string(Red(img, x, y)) + " ";
        s += "\n";
    }
    return s;
}

// Sum of the red channel over the picture, in units of full pixels.
double Coverage(const CPxImageData24& img) {
    double sum = 0;
    for (int y = 0; y < img.GetHeight(); ++y)
        for (int x = 0; x < img.GetWidth(); ++x)
            sum += Red(img, x, y) / 255.0;
    return sum;
}

CPxImageData24 Black(int w, int h) {
    CPxImageData24 img;
    EXPECT_EQ(img.NewImage(w, h), 0);
    return img;
}

}  // namespace

TEST(PxCanvasTest, DrawImageCopiesExactlyAtNaturalSize) {
    CPxImageData24 src;
    ASSERT_EQ(src.NewImage(5, 3), 0);
    PxFillPattern(src);
    CPxImageData24 dst = Black(9, 7);
    CPxCanvas24 canvas(&dst);
    ASSERT_EQ(canvas.DrawImage(&src, 2, 3, 5, 3), 0);
    for (int y = 0; y < 7; ++y) {
        for (int x = 0; x < 9; ++x) {
            CPxRGB d{}, s{0, 0, 0};
            dst.GetPixel(x, y, d);
            src.GetPixel(x - 2, y - 3, s);  // stays black outside the source
            EXPECT_TRUE(d.r == s.r && d.g == s.g && d.b == s.b) << x << "," << y;
        }
    }
}

TEST(PxCanvasTest, DrawImageTwiceAndHalfSizeGiveKnownPixels) {
    // Enlarging 2:1 samples the source at quarter positions between pixel centres.
    CPxImageData24 src = Grey({{0, 200}});
    CPxImageData24 dst = Black(4, 2);
    CPxCanvas24 canvas(&dst);
    ASSERT_EQ(canvas.DrawImage(&src, 0, 0, 4, 2), 0);
    for (int y = 0; y < 2; ++y) {
        EXPECT_EQ(Red(dst, 0, y), 0);
        EXPECT_EQ(Red(dst, 1, y), 50);
        EXPECT_EQ(Red(dst, 2, y), 150);
        EXPECT_EQ(Red(dst, 3, y), 200);
    }
    // Shrinking 2:1 averages each 2 x 2 block.
    CPxImageData24 big = Grey({{10, 30, 100, 100}, {50, 70, 0, 200}});
    CPxImageData24 half = Black(2, 1);
    CPxCanvas24 c2(&half);
    ASSERT_EQ(c2.DrawImage(&big, 0, 0, 2, 1), 0);
    EXPECT_EQ(Red(half, 0, 0), 40);
    EXPECT_EQ(Red(half, 1, 0), 100);
}

TEST(PxCanvasTest, StrongReductionAveragesTheArea) {
    // A checkerboard reduced 8:1 becomes mid grey instead of picking black or white.
    CPxImageData24 board;
    ASSERT_EQ(board.NewImage(64, 64), 0);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            board.SetPixel(x, y, (x + y) % 2 ? kWhite : CPxRGB{0, 0, 0});
    CPxImageData24 small = Black(8, 8);
    CPxCanvas24 canvas(&small);
    ASSERT_EQ(canvas.DrawImage(&board, 0, 0, 8, 8), 0);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            EXPECT_NEAR(Red(small, x, y), 128, 1) << x << "," << y;

    // A flat colour stays exactly flat at any size.
    CPxImageData24 flat;
    ASSERT_EQ(flat.NewImage(101, 37), 0);
    for (int y = 0; y < 37; ++y)
        for (int x = 0; x < 101; ++x)
            flat.SetPixel(x, y, CPxRGB{200, 10, 77});
    for (int size : {1, 3, 7, 40, 150}) {
        CPxImageData24 out = Black(size, size);
        CPxCanvas24 c(&out);
        ASSERT_EQ(c.DrawImage(&flat, 0, 0, size, size), 0);
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) {
                CPxRGB p{};
                out.GetPixel(x, y, p);
                ASSERT_TRUE(p.r == 200 && p.g == 10 && p.b == 77) << size << " " << x << "," << y;
            }
    }
}

// The same scaled picture drawn partly outside each edge matches the
// corresponding part of a draw fully inside.
TEST(PxCanvasTest, DrawImageClipsAtEveryEdge) {
    CPxImageData24 src;
    ASSERT_EQ(src.NewImage(7, 5), 0);
    PxFillPattern(src, 3);
    CPxImageData24 ref = Black(40, 40);
    CPxCanvas24 rc(&ref);
    ASSERT_EQ(rc.DrawImage(&src, 10, 10, 17, 13), 0);
    struct Shift {
        int dx, dy;
    };
    for (const Shift s :
         {Shift{-20, 0}, Shift{20, 0}, Shift{0, -18}, Shift{0, 22}, Shift{-25, -20}}) {
        CPxImageData24 dst = Black(40, 40);
        CPxCanvas24 c(&dst);
        ASSERT_EQ(c.DrawImage(&src, 10 + s.dx, 10 + s.dy, 17, 13), 0);
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 40; ++x) {
                CPxRGB want{0, 0, 0}, got{};
                ref.GetPixel(x - s.dx, y - s.dy, want);
                dst.GetPixel(x, y, got);
                ASSERT_TRUE(want.r == got.r && want.g == got.g && want.b == got.b)
                    << s.dx << "," << s.dy << " at " << x << "," << y;
            }
    }
}

// Arguments that draw nothing, and coordinates at the ends of the int range,
// which must neither overflow nor take long.
TEST(PxCanvasTest, AnyCoordinatesAreSafe) {
    CPxImageData24 src = Grey({{255, 255}, {255, 255}});
    CPxImageData24 dst = Black(16, 16);
    CPxCanvas24 canvas(&dst);
    EXPECT_EQ(canvas.DrawImage(nullptr, 0, 0, 4, 4), PX_E_ARGUMENT);
    CPxImageData24 empty;
    EXPECT_EQ(canvas.DrawImage(&empty, 0, 0, 4, 4), 0);
    EXPECT_EQ(canvas.DrawImage(&src, 0, 0, 0, 4), 0);
    EXPECT_EQ(canvas.DrawImage(&src, 0, 0, 4, -4), 0);
    EXPECT_EQ(canvas.DrawImage(&dst, 0, 0, 4, 4), PX_E_ARGUMENT);  // into itself
    EXPECT_EQ(Coverage(dst), 0);

    const int lo = INT_MIN, hi = INT_MAX;
    EXPECT_EQ(canvas.DrawImage(&src, lo, lo, hi, hi), 0);  // ends at -1: nothing visible
    EXPECT_EQ(canvas.DrawImage(&src, hi, hi, hi, hi), 0);
    EXPECT_EQ(canvas.DrawLine(lo, 3, lo + 5, 3, 1, kWhite), 0);
    EXPECT_EQ(canvas.DrawTriangle(hi, hi, hi - 9, hi, hi, hi - 9, kWhite), 0);
    EXPECT_EQ(canvas.DrawFrame(lo, lo, lo + 3, lo + 3, 2, kWhite), 0);
    EXPECT_EQ(Coverage(dst), 0);

    // Shapes reaching far outside draw their visible part.
    EXPECT_EQ(canvas.DrawImage(&src, -1000000000, -1000000000, 2000000000, 2000000000), 0);
    EXPECT_EQ(Coverage(dst), 256);
    dst = Black(16, 16);
    canvas = CPxCanvas24(&dst);
    EXPECT_EQ(canvas.DrawLine(lo, lo, hi, hi, 1, kWhite), 0);
    EXPECT_GT(Red(dst, 8, 8), 200);  // the diagonal passes through the picture
    EXPECT_EQ(canvas.DrawLine(lo, 5, hi, 5, hi, kWhite), 0);
    EXPECT_EQ(canvas.DrawTriangle(lo, lo, hi, 0, 0, hi, kWhite), 0);
    EXPECT_EQ(canvas.DrawFrame(lo, lo, hi, hi, hi, kWhite), 0);
    EXPECT_EQ(Coverage(dst), 256);

    CPxCanvas24 none(nullptr);
    EXPECT_EQ(none.DrawLine(0, 0, 5, 5, 1, kWhite), 0);
    EXPECT_EQ(none.DrawImage(&src, 0, 0, 2, 2), 0);
}

TEST(PxCanvasTest, AxisAlignedLinesCoverWholePixels) {
    struct Case {
        int x1, y1, x2, y2, width;
        int left, top, right, bottom;  // the covered block, inclusive
    };
    for (const Case c : {Case{2, 5, 7, 5, 1, 2, 5, 7, 5}, Case{7, 5, 2, 5, 1, 2, 5, 7, 5},
                         Case{4, 1, 4, 8, 3, 3, 0, 5, 9}, Case{1, 1, 3, 1, 0, 1, 1, 3, 1}}) {
        CPxImageData24 dst = Black(12, 12);
        CPxCanvas24 canvas(&dst);
        ASSERT_EQ(canvas.DrawLine(c.x1, c.y1, c.x2, c.y2, c.width, kWhite), 0);
        for (int y = 0; y < 12; ++y)
            for (int x = 0; x < 12; ++x) {
                const bool in = x >= c.left && x <= c.right && y >= c.top && y <= c.bottom;
                ASSERT_EQ(Red(dst, x, y), in ? 255 : 0) << x << "," << y << "\n" << Dump(dst);
            }
    }
    CPxImageData24 dst = Black(8, 8);
    CPxCanvas24 canvas(&dst);
    EXPECT_EQ(canvas.DrawLine(3, 3, 3, 3, 5, kWhite), 0);  // zero length
    EXPECT_EQ(Coverage(dst), 0);
}

// Slanted lines and triangles: the covered area matches the geometric area, edges
// are blended, and a triangle looks the same in either winding.
TEST(PxCanvasTest, AntiAliasedShapesCoverTheirArea) {
    CPxImageData24 dst = Black(64, 64);
    CPxCanvas24 canvas(&dst);
    ASSERT_EQ(canvas.DrawLine(5, 10, 55, 40, 4, kWhite), 0);
    const double len = std::hypot(50.0, 30.0);
    EXPECT_NEAR(Coverage(dst), (len + 4) * 4, 0.03 * (len + 4) * 4);
    int partial = 0;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            partial += Red(dst, x, y) > 0 && Red(dst, x, y) < 255;
    EXPECT_GT(partial, 50);  // edges are anti-aliased

    CPxImageData24 a = Black(64, 64), b = Black(64, 64);
    CPxCanvas24 ca(&a), cb(&b);
    ASSERT_EQ(ca.DrawTriangle(3, 4, 60, 20, 20, 58, kWhite), 0);
    ASSERT_EQ(cb.DrawTriangle(3, 4, 20, 58, 60, 20, kWhite), 0);
    EXPECT_EQ(PxDiffCount(a, b), 0);
    const double area = std::abs((60 - 3) * (58 - 4) - (20 - 3) * (20 - 4)) / 2.0;
    EXPECT_NEAR(Coverage(a), area, 0.02 * area);
    EXPECT_EQ(Red(a, 25, 25), 255);  // inside
    EXPECT_EQ(Red(a, 60, 60), 0);    // outside

    // Partial coverage blends with what is there.
    CPxImageData24 grey = Black(8, 8);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            grey.SetPixel(x, y, CPxRGB{100, 100, 100});
    CPxCanvas24 cg(&grey);
    ASSERT_EQ(cg.DrawTriangle(0, 0, 7, 0, 0, 7, CPxRGB{200, 200, 200}), 0);
    const int edge = Red(grey, 4, 3);  // on the hypotenuse
    EXPECT_GT(edge, 100);
    EXPECT_LT(edge, 200);

    CPxImageData24 flat = Black(8, 8);
    CPxCanvas24 cf(&flat);
    EXPECT_EQ(cf.DrawTriangle(0, 0, 3, 3, 7, 7, kWhite), 0);  // collinear
    EXPECT_EQ(Coverage(flat), 0);
}

TEST(PxCanvasTest, FramesLieInsideTheirCorners) {
    struct Case {
        int x1, y1, x2, y2, thickness;
        const char* rows;  // '#' drawn, '.' untouched, over an 8 x 6 picture
    };
    const Case cases[] = {
        {1, 1, 6, 4, 1,
         "........"
         ".######."
         ".#....#."
         ".#....#."
         ".######."
         "........"},
        {6, 4, 1, 1, 2,  // corners in either order
         "........"
         ".######."
         ".######."
         ".######."
         ".######."
         "........"},
        {0, 0, 7, 5, 2,
         "########"
         "########"
         "##....##"
         "##....##"
         "########"
         "########"},
        {-3, 2, 3, 9, 1,
         "........"
         "........"
         "####...."
         "...#...."
         "...#...."
         "...#...."},
    };
    for (const Case& c : cases) {
        CPxImageData24 dst = Black(8, 6);
        CPxCanvas24 canvas(&dst);
        ASSERT_EQ(canvas.DrawFrame(c.x1, c.y1, c.x2, c.y2, c.thickness, kWhite), 0);
        for (int y = 0; y < 6; ++y)
            for (int x = 0; x < 8; ++x)
                ASSERT_EQ(Red(dst, x, y), c.rows[y * 8 + x] == '#' ? 255 : 0)
                    << c.x1 << "," << c.y1 << " t" << c.thickness << " at " << x << "," << y << "\n"
                    << Dump(dst);
    }
}
