// The text bitmap renderer: measures a text, draws it on a 24-bit picture over a
// background colour and writes the picture as a BMP file, which is then shown like any
// image file.
#ifndef ORVANE_SCREEN_OVDC_H
#define ORVANE_SCREEN_OVDC_H

#include <memory>

#include "OvControl.h"
#include "OvPlatform.h"
#include "OvTypes.h"
#include "Pixmere.h"

class COvFontFace;
class COvFontFaces;
class COvTextScale;
struct COvShapedLine;

// One rendering: Init, SetBackColor, DrawText, SaveBitmap, Exit. Used by one thread at a
// time; renderings on several threads may run at once (they share the control's font
// faces, which lock what must not be used twice at once). Every failure is logged on the
// control's log with class "COvDC" and returned.
//
// Sizes are points at 96 pixels per inch: p points make a cell (ascent + descent) of
// MulDiv(p, 96, 72) pixels, and each line of a text takes one cell. Text is UTF-8; lines
// are separated by line feeds.
class COvDC {
public:
    COvDC();
    COvDC(const COvDC&) = delete;
    COvDC& operator=(const COvDC&) = delete;
    // Releases (Exit).
    virtual ~COvDC();

    // Releases what the object held, then prepares a width x height picture. A width or
    // height of 0 or less is replaced by the measured size of text (GetImageSize; a
    // measured width of 0, for an empty text, gives a picture 1 pixel wide). 0,
    // OV_E_NULL_CONTROL (not logged), OV_TEXT_NO_DISPLAY when the font libraries cannot
    // start, the measuring code, or OV_TEXT_NO_BITMAP when the picture cannot be had
    // (beyond the imaging library's picture limit, or no memory).
    int Init(COvControl* control, int width, int height, const char* text, const char* fontName,
             int fontSize);
    // Fills the components of size that are 0 or less with the size of text in the font
    // at fontSize points (not clamped; 0 or less is measured at 8 points), regular weight
    // and no slant: the widest line's width and one cell per line. Sizes are held within
    // int. 0 (also without measuring, when both are positive), OV_TEXT_NO_DISPLAY,
    // OV_TEXT_NO_FONT or OV_E_NOMEMORY.
    int GetImageSize(const char* text, COvSize& size, const char* fontName, int fontSize);
    // Fills the whole picture with the low bytes of color. 0, or OV_TEXT_FILL_FAILED
    // without a picture (before Init or after Exit).
    int SetBackColor(const CPxRGB& color);
    // Draws text over the picture, anti-aliased in color: left-aligned from the top, a
    // line per line feed, no wrapping; a line too wide is cut and ends in an ellipsis;
    // lines below the bottom are not drawn. The size is clamped into 8..99 points. Bold
    // for weight 600 or more; italic, underline, strike-out for non-zero values. Faces by
    // family name through fontconfig; an empty or unknown name gives the default
    // sans-serif face; a style the face lacks is synthesised. 0, OV_TEXT_NO_SELECT
    // without a picture or when the face cannot be sized, OV_TEXT_NO_DISPLAY,
    // OV_TEXT_NO_FONT or OV_E_NOMEMORY.
    int DrawText(const char* text, int fontSize, const CPxRGB& color, int weight, int italic,
                 int underline, int strikeOut, const char* fontName);
    // Writes the picture to path as an uncompressed 24-bit BMP file (54-byte header, rows
    // bottom row first, padded to 4 bytes), replacing an existing file. 0,
    // OV_TEXT_NO_PIXELS without a picture, OV_E_NOMEMORY, OV_E_FILE (detail
    // "::CreateFile") when the file cannot be created, OV_TEXT_WRITE_FAILED when it cannot
    // be written completely.
    int SaveBitmap(const char* path);
    // Frees the picture and lets go of the font faces; m_Rect becomes empty. Safe to
    // repeat.
    void Exit();

    COvControl* m_pControl;
    // The fonts drawn with: the control's shared faces, got on first use.
    std::shared_ptr<COvFontFaces> m_pFaces;
    // The picture drawn on; empty when released.
    CPxImageData24 m_Bitmap;
    // (0, 0, width, height): the whole picture.
    RECT m_Rect;

private:
    // The faces, got from the control when not held yet; null when none can be had.
    COvFontFaces* Faces();
    // Logs a failure of function with the detail its code stands for, and returns it.
    int Fail(const char* function, int code);
    // Draws the glyphs of a shaped line with its baseline at row `baseline`. The caller
    // holds the face's lock.
    void DrawGlyphs(COvFontFace& face, bool oblique, const COvTextScale& scale,
                    const COvShapedLine& line, int baseline, const CPxRGB& color);
    // Blends coverage (rows of `width` bytes) from the picture's colours towards color,
    // with its top-left pixel at (x, y); what lies outside the picture is left out.
    void BlendCoverage(int x, int y, const unsigned char* coverage, int width, int height,
                       const CPxRGB& color);
    void FillRows(int x, int width, int top, int rows, const CPxRGB& color);
};

#endif
