#include "screen/OvFontFaces.h"

#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H

#include <atomic>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <new>

#include "OvScene.h"
#include "data/OvMemManager.h"

namespace {

// Generic names that fontconfig resolves to an installed family of that kind.
constexpr const char* kGenericFamilies[] = {"sans-serif", "sans",    "serif",   "monospace",
                                            "mono",       "cursive", "fantasy", "system-ui"};
constexpr const char* kDefaultFamily = "sans-serif";
constexpr int kSemiBold = 600;  // the OpenType weight from which a face counts as bold
// The slant of a synthesised italic: tan 12 degrees in 16.16, as FreeType slants.
constexpr FT_Fixed kOblique = 0x0366A;
constexpr FT_Fixed kOne = 0x10000;
// Rendered glyphs one face keeps; past this many bytes they are dropped and rendered
// again as needed. A label's glyphs take a few kilobytes.
constexpr std::size_t kMaxGlyphBytes = 4u << 20;
// The largest em a rendered glyph is kept for (20 bits of its key): 16383 pixels, far
// beyond the largest drawing size.
constexpr long long kMaxEm64 = 0xFFFFF;
// Requests remembered; past this many distinct requests the answers are dropped and
// asked again, so that a client cycling through made-up names cannot grow the cache.
constexpr std::size_t kMaxChoices = 256;

// Compared as fontconfig compares family names: blanks and case do not count.
bool SameName(const char* a, const char* b) {
    auto next = [](const char*& p) {
        while (*p == ' ')
            ++p;
        return static_cast<char>(std::tolower(static_cast<unsigned char>(*p)));
    };
    for (;; ++a, ++b) {
        const char ca = next(a);
        if (ca != next(b))
            return false;
        if (ca == '\0')
            return true;
    }
}

// True when the match is the family asked for, one that fontconfig's configuration binds
// to it as a stand-in of the same kind (a metric-compatible face, a renamed family), or
// any face for a generic name; false for the defaults it falls back to for any name.
bool IsFamily(FcPattern* match, FcPattern* asked, const char* family) {
    for (const char* generic : kGenericFamilies) {
        if (SameName(family, generic))
            return true;
    }
    FcChar8* name = nullptr;
    FcValue bound;
    FcValueBinding binding = FcValueBindingWeak;
    for (int i = 0; FcPatternGetString(match, FC_FAMILY, i, &name) == FcResultMatch; ++i) {
        for (int j = 0;
             FcPatternGetWithBinding(asked, FC_FAMILY, j, &bound, &binding) == FcResultMatch; ++j) {
            if (binding != FcValueBindingWeak && bound.type == FcTypeString &&
                SameName(reinterpret_cast<const char*>(name),
                         reinterpret_cast<const char*>(bound.u.s)))
                return true;
        }
    }
    return false;
}

int XHeightOf(FT_Face face, const TT_OS2* os2) {
    if (os2 != nullptr && os2->version >= 2 && os2->sxHeight > 0)
        return os2->sxHeight;
    if (FT_Load_Char(face, 'x', FT_LOAD_NO_SCALE) == 0 &&
        face->glyph->format == FT_GLYPH_FORMAT_OUTLINE && face->glyph->metrics.height > 0)
        return static_cast<int>(face->glyph->metrics.horiBearingY);
    return face->ascender / 2;
}

}  // namespace

// ---------------------------------------------------------------------------
// One face
// ---------------------------------------------------------------------------

COvFontFace::~COvFontFace() {
    hb_font_destroy(m_pFont);
    hb_face_destroy(m_pHbFace);
    if (m_Face != nullptr)
        FT_Done_Face(m_Face);
    hb_blob_destroy(m_pBlob);
}

int COvFontFace::Load(FT_Library library, const char* path, int index) {
    m_pBlob = hb_blob_create_from_file_or_fail(path);
    if (m_pBlob == nullptr)
        return OV_TEXT_NO_FONT;
    unsigned int length = 0;
    const char* data = hb_blob_get_data(m_pBlob, &length);
    if (FT_New_Memory_Face(library, reinterpret_cast<const FT_Byte*>(data),
                           static_cast<FT_Long>(length), index, &m_Face) != 0) {
        m_Face = nullptr;
        return OV_TEXT_NO_FONT;
    }
    // Bitmap-only faces come in a few fixed sizes; text is drawn at any size.
    if (!FT_IS_SCALABLE(m_Face) || m_Face->units_per_EM == 0)
        return OV_TEXT_NO_FONT;
    // The low 16 bits name the face in a collection, the high ones a named instance.
    m_pHbFace = hb_face_create(m_pBlob, static_cast<unsigned int>(index) & 0xFFFFu);
    m_pFont = hb_font_create(m_pHbFace);
    if (m_pFont == nullptr || m_pFont == hb_font_get_empty())
        return OV_TEXT_NO_FONT;
    const int em = m_Face->units_per_EM;
    hb_font_set_scale(m_pFont, em, em);
    if ((index >> 16) > 0)
        hb_font_set_var_named_instance(m_pFont, static_cast<unsigned int>(index >> 16) - 1);
    hb_font_make_immutable(m_pFont);

    COvFaceMetrics& m = m_Metrics;
    m.nUnitsPerEm = em;
    m.nAscender = m_Face->ascender;
    m.nDescender = -m_Face->descender;
    if (m.nAscender <= 0 || m.nDescender < 0 || m.nAscender + m.nDescender <= 0) {
        m.nAscender = em * 4 / 5;  // a face without vertical metrics: a common design
        m.nDescender = em - m.nAscender;
    }
    m.nCell = m.nAscender + m.nDescender;
    m.nUnderlinePos = m_Face->underline_position;
    m.nUnderlineThickness = m_Face->underline_thickness > 0 ? m_Face->underline_thickness : em / 20;
    if (m.nUnderlinePos >= 0)
        m.nUnderlinePos = -m.nUnderlineThickness;
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(m_Face, FT_SFNT_OS2));
    m.nXHeight = XHeightOf(m_Face, os2);
    // Read from the face, not from fontconfig's answer: its configuration may already
    // call a regular face bold when it plans to embolden it.
    m_bBold = (m_Face->style_flags & FT_STYLE_FLAG_BOLD) != 0 ||
              (os2 != nullptr && os2->usWeightClass >= kSemiBold);
    m_bItalic = (m_Face->style_flags & FT_STYLE_FLAG_ITALIC) != 0;
    return 0;
}

bool COvFontFace::SetSize(long long em64) {
    if (em64 == m_nSizedEm)
        return true;
    if (em64 <= 0 || FT_Set_Char_Size(m_Face, 0, static_cast<FT_F26Dot6>(em64), 72, 72) != 0)
        return false;
    m_nSizedEm = em64;
    return true;
}

const COvGlyphImage* COvFontFace::Glyph(unsigned int glyph, long long em64, int quarter,
                                        int boldPixels, bool oblique) {
    const std::uint64_t key = static_cast<std::uint64_t>(glyph) |
                              static_cast<std::uint64_t>(em64 & 0xFFFFF) << 32 |
                              static_cast<std::uint64_t>(boldPixels & 0xFF) << 52 |
                              static_cast<std::uint64_t>(quarter & 3) << 60 |
                              static_cast<std::uint64_t>(oblique ? 1 : 0) << 62;
    if (em64 > kMaxEm64)
        return nullptr;
    auto known = m_Glyphs.find(key);
    if (known != m_Glyphs.end())
        return &known->second;
    if (!SetSize(em64) ||
        FT_Load_Glyph(m_Face, glyph, FT_LOAD_NO_BITMAP | FT_LOAD_TARGET_LIGHT) != 0)
        return nullptr;
    FT_GlyphSlot slot = m_Face->glyph;
    if (slot->format != FT_GLYPH_FORMAT_OUTLINE)
        return nullptr;
    if (boldPixels > 0)
        FT_Outline_EmboldenXY(&slot->outline, 64L * boldPixels, 0);
    if (oblique) {
        FT_Matrix shear{kOne, kOblique, 0, kOne};
        FT_Outline_Transform(&slot->outline, &shear);
    }
    FT_Outline_Translate(&slot->outline, 16L * quarter, 0);
    if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0 ||
        slot->bitmap.pixel_mode != FT_PIXEL_MODE_GRAY)
        return nullptr;
    const FT_Bitmap& b = slot->bitmap;
    COvGlyphImage image{slot->bitmap_left,
                        slot->bitmap_top,
                        static_cast<int>(b.width),
                        static_cast<int>(b.rows),
                        {}};
    image.coverage.resize(static_cast<std::size_t>(b.width) * b.rows);
    for (unsigned int row = 0; b.width > 0 && row < b.rows; ++row) {
        // A negative pitch means the rows are stored bottom row first.
        const unsigned int from = b.pitch >= 0 ? row : b.rows - 1 - row;
        std::memcpy(image.coverage.data() + static_cast<std::size_t>(row) * b.width,
                    b.buffer + static_cast<long>(from) * std::abs(b.pitch), b.width);
    }
    if (m_nGlyphBytes + image.coverage.size() > kMaxGlyphBytes) {
        m_Glyphs.clear();
        m_nGlyphBytes = 0;
    }
    const std::size_t bytes = image.coverage.size();
    const COvGlyphImage* kept = &m_Glyphs.emplace(key, std::move(image)).first->second;
    m_nGlyphBytes += bytes;
    return kept;
}

// ---------------------------------------------------------------------------
// The shared faces
// ---------------------------------------------------------------------------

COvFontFaces::~COvFontFaces() {
    m_Choices.clear();
    m_Faces.clear();  // every face goes before its library
    if (m_Library != nullptr)
        FT_Done_FreeType(m_Library);
    if (m_pConfig != nullptr)
        FcConfigDestroy(m_pConfig);
}

std::shared_ptr<COvFontFaces> COvFontFaces::ForControl(COvControl* control) {
    try {
        COvMemManager* manager = control != nullptr ? control->m_pMemManager : nullptr;
        if (manager == nullptr)
            return std::make_shared<COvFontFaces>();
        // Renderings on several threads may ask first at the same moment: one of the
        // made caches wins, the others are dropped unused.
        std::shared_ptr<COvFontFaces> faces = std::atomic_load(&manager->m_pFontFaces);
        if (faces)
            return faces;
        auto made = std::make_shared<COvFontFaces>();
        if (std::atomic_compare_exchange_strong(&manager->m_pFontFaces, &faces, made))
            return made;
        return faces;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

int COvFontFaces::Start() {
    std::lock_guard<std::mutex> lock(m_Lock);
    if (m_Library == nullptr && FT_Init_FreeType(&m_Library) != 0) {
        m_Library = nullptr;
        return OV_TEXT_NO_DISPLAY;
    }
    // A configuration of our own, so that nothing depends on what else in the process
    // does with fontconfig's current one.
    if (m_pConfig == nullptr)
        m_pConfig = FcInitLoadConfigAndFonts();
    return m_pConfig != nullptr ? 0 : OV_TEXT_NO_DISPLAY;
}

FcPattern* COvFontFaces::Match(const char* family, bool bold, bool italic, bool& named) {
    named = false;
    FcPattern* pattern = FcPatternCreate();
    if (pattern == nullptr)
        return nullptr;
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
    FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_OUTLINE, FcTrue);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(m_pConfig, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(m_pConfig, pattern, &result);
    if (match != nullptr)
        named = IsFamily(match, pattern, family);
    FcPatternDestroy(pattern);
    ++m_nMatches;
    return match;
}

COvFontFace* COvFontFaces::FaceOf(FcPattern* match) {
    FcChar8* file = nullptr;
    int index = 0;
    if (FcPatternGetString(match, FC_FILE, 0, &file) != FcResultMatch)
        return nullptr;
    FcPatternGetInteger(match, FC_INDEX, 0, &index);
    auto key = std::make_pair(std::string(reinterpret_cast<const char*>(file)), index);
    auto found = m_Faces.find(key);
    if (found != m_Faces.end())
        return found->second.get();
    auto face = std::make_unique<COvFontFace>();
    if (face->Load(m_Library, key.first.c_str(), index) != 0)
        return nullptr;
    return m_Faces.emplace(std::move(key), std::move(face)).first->second.get();
}

int COvFontFaces::Find(const char* name, bool bold, bool italic, COvFontChoice& out) {
    const int started = Start();
    if (started != 0)
        return started;
    using Pattern = std::unique_ptr<FcPattern, decltype(&FcPatternDestroy)>;
    try {
        std::lock_guard<std::mutex> lock(m_Lock);
        const std::string family = name != nullptr && *name != '\0' ? name : kDefaultFamily;
        const std::string key = family + (bold ? "\n1" : "\n0") + (italic ? "1" : "0");
        auto known = m_Choices.find(key);
        if (known != m_Choices.end()) {
            out = known->second;
            return 0;
        }
        bool named = false;
        Pattern match(Match(family.c_str(), bold, italic, named), &FcPatternDestroy);
        COvFontFace* face = match && named ? FaceOf(match.get()) : nullptr;
        if (face == nullptr && family != kDefaultFamily) {
            match.reset(Match(kDefaultFamily, bold, italic, named));
            face = match ? FaceOf(match.get()) : nullptr;
        }
        if (face == nullptr)
            return OV_TEXT_NO_FONT;
        const COvFontChoice choice{face, bold && !face->m_bBold, italic && !face->m_bItalic};
        if (m_Choices.size() >= kMaxChoices)
            m_Choices.clear();
        m_Choices.emplace(key, choice);
        out = choice;
        return 0;
    } catch (const std::bad_alloc&) {
        return OV_TEXT_NO_FONT;
    }
}

int COvFontFaces::GetFaceCount() {
    std::lock_guard<std::mutex> lock(m_Lock);
    return static_cast<int>(m_Faces.size());
}

int COvFontFaces::GetMatchCount() {
    std::lock_guard<std::mutex> lock(m_Lock);
    return m_nMatches;
}
