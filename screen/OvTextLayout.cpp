#include "screen/OvTextLayout.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "OvTypes.h"

namespace {

constexpr long long kPixelsPerInch = 96;
constexpr long long kPointsPerInch = 72;
constexpr int kNoSize = 8;
// Far taller than any picture (32768 pixels), small enough that font units times a cell
// in 1/64 pixels stays within 64 bits for the longest line shaped.
constexpr long long kMaxCell = 1 << 20;

// num / den rounded to the nearest integer, halves away from zero (den > 0).
long long RoundDiv(long long num, long long den) {
    return num >= 0 ? (num + den / 2) / den : -((-num + den / 2) / den);
}

// The byte where a cut at `at` must go so that it does not split a UTF-8 sequence.
std::size_t CharBoundary(const char* text, std::size_t at) {
    std::size_t back = 0;
    while (back < 3 && at > back && (static_cast<unsigned char>(text[at - back]) & 0xC0) == 0x80)
        ++back;
    return (static_cast<unsigned char>(text[at - back]) & 0xC0) == 0x80 ? at : at - back;
}

}  // namespace

int OvCellPixels(int points) {
    const long long p = points > 0 ? points : kNoSize;
    const long long cell = (p * kPixelsPerInch + kPointsPerInch / 2) / kPointsPerInch;
    return static_cast<int>(std::min(cell, kMaxCell));
}

bool COvLines::Next(COvTextSpan& line) {
    if (m_bDone)
        return false;
    const void* feed = m_nLength > m_nStart
                           ? std::memchr(m_pText + m_nStart, '\n', m_nLength - m_nStart)
                           : nullptr;
    const std::size_t end = feed != nullptr
                                ? static_cast<std::size_t>(static_cast<const char*>(feed) - m_pText)
                                : m_nLength;
    line = {m_nStart, end - m_nStart};
    m_bDone = feed == nullptr;
    m_nStart = end + 1;
    return true;
}

// ---------------------------------------------------------------------------
// Scale
// ---------------------------------------------------------------------------

COvTextScale::COvTextScale(const COvFaceMetrics& metrics, int cellPixels, int boldPixels)
    : m_Metrics(metrics),
      m_nCell(static_cast<int>(std::min<long long>(std::max(cellPixels, 1), kMaxCell))),
      m_nBold(boldPixels) {}

long long COvTextScale::To64(long long units) const {
    return RoundDiv(units * m_nCell * 64, m_Metrics.nCell);
}

int COvTextScale::ToPixels(long long units) const {
    const long long px = RoundDiv(units * m_nCell, m_Metrics.nCell);
    return static_cast<int>(std::clamp<long long>(px, INT_MIN, INT_MAX));
}

int COvTextScale::Width(const COvShapedLine& line) const {
    return Width(line.nAdvance, line.glyphs.size());
}

int COvTextScale::Width(long long advance, std::size_t glyphs) const {
    const long long px = static_cast<long long>(ToPixels(advance)) +
                         static_cast<long long>(m_nBold) * static_cast<long long>(glyphs);
    return static_cast<int>(std::clamp<long long>(px, 0, INT_MAX));
}

long long COvTextScale::EmSize64() const {
    return To64(m_Metrics.nUnitsPerEm);
}

int COvTextScale::BoldStrength() const {
    // About a 24th of the em, as type designers widen a regular stem for a bold one.
    return static_cast<int>(std::max<long long>(1, RoundDiv(EmSize64(), 64 * 24)));
}

// ---------------------------------------------------------------------------
// Shaping
// ---------------------------------------------------------------------------

COvShaper::COvShaper() : m_pBuffer(hb_buffer_create()) {}

COvShaper::~COvShaper() {
    hb_buffer_destroy(m_pBuffer);
}

int COvShaper::Shape(hb_font_t* font, const char* text, std::size_t length, COvShapedLine& out) {
    out.glyphs.clear();
    out.nAdvance = 0;
    if (length > kMaxLineBytes)
        length = CharBoundary(text, kMaxLineBytes);
    hb_buffer_clear_contents(m_pBuffer);
    // The length is given, so HarfBuzz never reads past it: a sequence cut at the end is
    // one more invalid sequence.
    hb_buffer_add_utf8(m_pBuffer, text, static_cast<int>(length), 0, static_cast<int>(length));
    hb_buffer_guess_segment_properties(m_pBuffer);
    hb_shape(font, m_pBuffer, nullptr, 0);
    if (!hb_buffer_allocation_successful(m_pBuffer))
        return OV_E_NOMEMORY;
    unsigned int count = 0;
    const hb_glyph_info_t* info = hb_buffer_get_glyph_infos(m_pBuffer, &count);
    const hb_glyph_position_t* pos = hb_buffer_get_glyph_positions(m_pBuffer, &count);
    out.glyphs.resize(count);
    long long penX = 0;
    long long penY = 0;
    for (unsigned int i = 0; i < count; ++i) {
        out.glyphs[i] = {info[i].codepoint, info[i].cluster, penX + pos[i].x_offset,
                         penY + pos[i].y_offset, pos[i].x_advance};
        penX += pos[i].x_advance;
        penY += pos[i].y_advance;
    }
    out.nAdvance = penX;
    return 0;
}

int COvShaper::ShapeFitted(hb_font_t* font, const COvTextScale& scale, const char* text,
                           std::size_t length, int width, COvShapedLine& out) {
    int code = Shape(font, text, length, out);
    if (code != 0 || scale.Width(out) <= width)
        return code;

    hb_codepoint_t glyph = 0;
    const char* ellipsis = hb_font_get_nominal_glyph(font, 0x2026, &glyph) ? "\xE2\x80\xA6" : "...";
    COvShapedLine tail;
    code = Shape(font, ellipsis, std::strlen(ellipsis), tail);
    if (code != 0)
        return code;
    const int room = width - scale.Width(tail);

    // Where a cut may go (the start of a character, in logical order, whatever the
    // direction the glyphs are drawn in) and the width of what comes before it.
    std::vector<COvPlacedGlyph> logical = out.glyphs;
    std::stable_sort(
        logical.begin(), logical.end(),
        [](const COvPlacedGlyph& a, const COvPlacedGlyph& b) { return a.nCluster < b.nCluster; });
    struct Cut {
        std::size_t nAt;
        int nWidth;
    };
    std::vector<Cut> cuts{{0, 0}};
    long long advance = 0;
    for (std::size_t i = 0; i < logical.size(); ++i) {
        if (i > 0 && logical[i].nCluster != logical[i - 1].nCluster)
            cuts.push_back({logical[i].nCluster, scale.Width(advance, i)});
        advance += logical[i].nAdvance;
    }

    // The estimate ignores kerning across the cut, so each candidate is shaped with its
    // ellipsis and checked; the first that fits is drawn.
    auto fits = std::upper_bound(cuts.begin(), cuts.end(), room,
                                 [](int w, const Cut& c) { return w < c.nWidth; });
    for (auto cut = fits; cut != cuts.begin();) {
        --cut;
        m_Cut.assign(text, cut->nAt);
        m_Cut += ellipsis;
        code = Shape(font, m_Cut.data(), m_Cut.size(), out);
        if (code != 0 || scale.Width(out) <= width || cut->nAt == 0)
            return code;
    }
    // Not even the ellipsis fits: it is drawn as far as the picture goes.
    out = tail;
    return 0;
}
