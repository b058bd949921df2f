// Text laid out in lines: split at line feeds, shaped with one face, measured in
// pixels and, where a line is too wide, cut with an ellipsis.
#ifndef ORVANE_SCREEN_OVTEXTLAYOUT_H
#define ORVANE_SCREEN_OVTEXTLAYOUT_H

#include <cstddef>
#include <string>
#include <vector>

#include "screen/OvFontFaces.h"

// The cell height in pixels (ascent + descent) of a size in points at 96 pixels per
// inch, rounded as MulDiv rounds. A size of 0 or less counts as 8 points: there is
// nothing to measure at it, and drawing uses 8 points for it. Sizes that would give a
// cell taller than any picture are held at such a cell, so no arithmetic overflows.
int OvCellPixels(int points);

// A line of a text: bytes [nStart, nStart + nLength), without its line feed.
struct COvTextSpan {
    std::size_t nStart;
    std::size_t nLength;
};

// Walks the lines of a text, split at every line feed; the part after the last one is a
// line too, also when it is empty. A carriage return stays part of its line.
class COvLines {
public:
    COvLines(const char* text, std::size_t length) : m_pText(text), m_nLength(length) {}
    // The next line; false after the last.
    bool Next(COvTextSpan& line);

private:
    const char* m_pText;
    std::size_t m_nLength;
    std::size_t m_nStart = 0;
    bool m_bDone = false;
};

// One glyph of a shaped line, in font units: the pen position plus the glyph's own
// offset (y grows upwards), its advance, and the byte where its character starts.
struct COvPlacedGlyph {
    unsigned int nGlyph;
    unsigned int nCluster;
    long long nX;
    long long nY;
    long long nAdvance;
};

// A shaped line: its glyphs in drawing order (left to right) and its whole advance.
struct COvShapedLine {
    std::vector<COvPlacedGlyph> glyphs;
    long long nAdvance = 0;
};

// Font units of one face in pixels at one cell height. Measuring and drawing both go
// through here, so a line measured to fit a width does fit it when drawn.
class COvTextScale {
public:
    // boldPixels: what synthetic emboldening adds to each glyph's advance (0: none).
    COvTextScale(const COvFaceMetrics& metrics, int cellPixels, int boldPixels);

    // Rounded to the nearest 1/64 pixel.
    long long To64(long long units) const;
    // Rounded to the nearest pixel, held within int.
    int ToPixels(long long units) const;
    // The width in pixels that a shaped line takes.
    int Width(const COvShapedLine& line) const;
    // The same for `glyphs` glyphs advancing `advance` font units in all.
    int Width(long long advance, std::size_t glyphs) const;
    // The em size in 1/64 pixels, as FreeType is given it.
    long long EmSize64() const;
    // The pixels synthetic emboldening adds to each glyph (what the face asks for at
    // this size), whether or not this scale applies it.
    int BoldStrength() const;

    int Cell() const { return m_nCell; }
    int Bold() const { return m_nBold; }
    int Ascent() const { return ToPixels(m_Metrics.nAscender); }
    const COvFaceMetrics& Metrics() const { return m_Metrics; }

private:
    COvFaceMetrics m_Metrics;
    int m_nCell;
    int m_nBold;
};

// Shapes lines with HarfBuzz. One per rendering (it keeps a buffer); any number may work
// at once on the same face.
class COvShaper {
public:
    COvShaper();
    ~COvShaper();
    COvShaper(const COvShaper&) = delete;
    COvShaper& operator=(const COvShaper&) = delete;

    // Shapes text (UTF-8; an invalid sequence becomes the replacement character) into
    // out. A line longer than kMaxLineBytes is shaped by its first kMaxLineBytes.
    // 0, or OV_E_NOMEMORY.
    int Shape(hb_font_t* font, const char* text, std::size_t length, COvShapedLine& out);
    // As Shape; then, when the line is wider than width pixels, cuts it after the last
    // whole character that lets the rest and an ellipsis ("…", or "..." for a face
    // without one) fit, and shapes that. 0, or OV_E_NOMEMORY.
    int ShapeFitted(hb_font_t* font, const COvTextScale& scale, const char* text,
                    std::size_t length, int width, COvShapedLine& out);

    // Far more than the widest picture can show at the smallest size, and a bound on
    // what one line's shaping allocates.
    static constexpr std::size_t kMaxLineBytes = 1 << 18;

private:
    hb_buffer_t* m_pBuffer;
    std::string m_Cut;
};

#endif
