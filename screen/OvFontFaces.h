// The font faces behind the text renderer: fontconfig finds a face for a family name,
// FreeType rasterises its glyphs and HarfBuzz shapes text with it.
#ifndef ORVANE_SCREEN_OVFONTFACES_H
#define ORVANE_SCREEN_OVFONTFACES_H

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include <hb.h>

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

class COvControl;

// What the renderer needs of a face's design, in font units; fixed once loaded.
struct COvFaceMetrics {
    int nUnitsPerEm;
    int nAscender;      // above the baseline, positive
    int nDescender;     // below the baseline, positive
    int nCell;          // ascender + descender: what a cell height in pixels stands for
    int nUnderlinePos;  // centre of the underline, negative below the baseline
    int nUnderlineThickness;
    int nXHeight;
};

// A rendered glyph: coverage 0..255, rows top row first, `width` bytes a row; placed
// `left` pixels right of the pen and with its top row `top` pixels above the baseline.
struct COvGlyphImage {
    int left;
    int top;
    int width;
    int rows;
    std::vector<unsigned char> coverage;
};

// One loaded face. Shaping (through m_pFont, which is never changed after loading) may
// run on any number of threads at once; anything that touches m_Face or the rendered
// glyphs must hold m_GlyphLock, since a FreeType face is not thread-safe.
class COvFontFace {
public:
    COvFontFace() = default;
    COvFontFace(const COvFontFace&) = delete;
    COvFontFace& operator=(const COvFontFace&) = delete;
    ~COvFontFace();

    // Maps the file and opens face `index` in it. 0, or OV_TEXT_NO_FONT.
    int Load(FT_Library library, const char* path, int index);
    // Sets the em size (1/64 pixels) glyphs are rendered at. False when the face cannot
    // take it. The caller holds m_GlyphLock.
    bool SetSize(long long em64);
    // Glyph `glyph` at an em of em64 1/64 pixels, moved right by quarter / 4 pixel
    // (quarter 0..3), widened by boldPixels (0: not at all) and slanted when oblique.
    // Rendered on first use and kept; null for a glyph without an outline or when the
    // face cannot take the size. The caller holds m_GlyphLock; the image is valid until
    // the next call or until it lets go.
    const COvGlyphImage* Glyph(unsigned int glyph, long long em64, int quarter, int boldPixels,
                               bool oblique);

    FT_Face m_Face = nullptr;
    hb_blob_t* m_pBlob = nullptr;  // the mapped file, shared by both libraries
    hb_face_t* m_pHbFace = nullptr;
    hb_font_t* m_pFont = nullptr;  // scaled to font units
    COvFaceMetrics m_Metrics = {};
    bool m_bBold = false;    // the design is bold (or heavier) itself
    bool m_bItalic = false;  // the design is italic or oblique itself
    std::mutex m_GlyphLock;

private:
    long long m_nSizedEm = 0;  // the em m_Face is set to
    std::unordered_map<std::uint64_t, COvGlyphImage> m_Glyphs;
    std::size_t m_nGlyphBytes = 0;
};

// A face chosen for a request, and the styles the face lacks and that the renderer
// must synthesise (emboldening, an oblique slant).
struct COvFontChoice {
    COvFontFace* pFace;
    bool bEmbolden;
    bool bOblique;
};

// The faces that the text renderings of one control share: a FreeType library, a
// fontconfig configuration, every face loaded so far (kept until the cache goes) and the
// answers to earlier requests. Safe to use from several threads at once. Construction
// loads nothing; the libraries start with the first request.
class COvFontFaces {
public:
    COvFontFaces() = default;
    COvFontFaces(const COvFontFaces&) = delete;
    COvFontFaces& operator=(const COvFontFaces&) = delete;
    ~COvFontFaces();

    // The faces shared through control's memory manager (made on first use), or faces of
    // its own for a caller whose control has no running manager.
    static std::shared_ptr<COvFontFaces> ForControl(COvControl* control);

    // Starts FreeType and fontconfig when not done yet. 0, or OV_TEXT_NO_DISPLAY.
    int Start();
    // Finds the face for a family name (any installed family; empty or unknown: the
    // default sans-serif face) in the style asked for, loading it on first use; a real
    // bold or italic face when one is installed, else the regular face with the style to
    // synthesise. 0, OV_TEXT_NO_DISPLAY or OV_TEXT_NO_FONT.
    int Find(const char* name, bool bold, bool italic, COvFontChoice& out);

    // How many faces are loaded, and how many requests went to fontconfig.
    int GetFaceCount();
    int GetMatchCount();

private:
    // The installed face fontconfig picks for a request, or null; named tells whether it
    // is the family asked for (or a stand-in bound to it) rather than a default.
    // Holds m_Lock.
    FcPattern* Match(const char* family, bool bold, bool italic, bool& named);
    // The face of a matched pattern, loaded on first use. Holds m_Lock.
    COvFontFace* FaceOf(FcPattern* match);

    std::mutex m_Lock;  // guards everything below
    FT_Library m_Library = nullptr;
    FcConfig* m_pConfig = nullptr;
    int m_nMatches = 0;
    std::map<std::pair<std::string, int>, std::unique_ptr<COvFontFace>> m_Faces;
    std::map<std::string, COvFontChoice> m_Choices;
};

#endif
