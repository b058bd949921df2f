// A 20-character label rendered to its BMP file as a text object renders it (Init,
// SetBackColor, DrawText, SaveBitmap, Exit), beside: cairo drawing the same label with
// its own FreeType text path and writing as many bytes; FreeType rendering the label's
// glyphs bare; and the file write alone, the machine's limit for the file part.
#include <benchmark/benchmark.h>
#include <cairo-ft.h>
#include <cairo.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "OvControl.h"
#include "bench/imaging/BenchRatios.h"
#include "screen/OvDC.h"
#include "screen/OvFontFaces.h"

namespace {

constexpr const char* kLabel = "Harbour crane No. 17";  // 20 characters
constexpr int kPoints = 12;
const CPxRGB kBack{255, 255, 240};
const CPxRGB kInk{0, 0, 128};

// A path in the temporary directory for the labels' files. Each label gets a new file
// and removes it, as a text object does: rewriting one file instead would measure the
// file system's flush of a truncated file (ext4 starts one on close), not the renderer.
struct TempFile {
    TempFile() {
        char name[] = "/tmp/ovtextbenchXXXXXX";
        const int fd = mkstemp(name);
        if (fd >= 0)
            close(fd);
        path = name;
        std::remove(name);
    }
    std::string path;
};

void WriteBytes(const std::string& path, const std::vector<unsigned char>& bytes) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0 || write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
        std::abort();
    close(fd);
}

// The label's file as the renderer writes it, for the peers to write as many bytes.
std::vector<unsigned char> LabelFile(COvControl& control, int& width, int& height) {
    COvDC dc;
    dc.Init(&control, 0, 0, kLabel, "", kPoints);
    dc.SetBackColor(kBack);
    dc.DrawText(kLabel, kPoints, kInk, 0, 0, 0, 0, "");
    width = dc.m_Rect.right;
    height = dc.m_Rect.bottom;
    std::vector<unsigned char> bytes;
    PxEncodeBmp(dc.m_Bitmap, bytes);
    return bytes;
}

void Ours_LabelToFile(benchmark::State& state) {
    COvControl control;
    control.Init(0, nullptr);
    TempFile file;
    for (auto _ : state) {
        COvDC dc;
        dc.Init(&control, 0, 0, kLabel, "", kPoints);
        dc.SetBackColor(kBack);
        dc.DrawText(kLabel, kPoints, kInk, 0, 0, 0, 0, "");
        if (dc.SaveBitmap(file.path.c_str()) != 0)
            state.SkipWithError("SaveBitmap failed");
        dc.Exit();
        unlink(file.path.c_str());
    }
    control.Exit();
}

// The same without the file: what the drawing itself costs.
void Ours_LabelDrawOnly(benchmark::State& state) {
    COvControl control;
    control.Init(0, nullptr);
    for (auto _ : state) {
        COvDC dc;
        dc.Init(&control, 0, 0, kLabel, "", kPoints);
        dc.SetBackColor(kBack);
        dc.DrawText(kLabel, kPoints, kInk, 0, 0, 0, 0, "");
        benchmark::DoNotOptimize(dc.m_Bitmap.GetData());
    }
    control.Exit();
}

// cairo's text path on the same face and size, on a 24-bit surface of the label's size,
// then as many bytes written as our file holds.
void Cairo_LabelToFile(benchmark::State& state) {
    COvControl control;
    control.Init(0, nullptr);
    int width = 0, height = 0;
    const std::vector<unsigned char> bytes = LabelFile(control, width, height);
    COvFontFaces faces;
    COvFontChoice choice{};
    faces.Find("", false, false, choice);
    cairo_font_face_t* face = cairo_ft_font_face_create_for_ft_face(choice.pFace->m_Face, 0);
    const COvFaceMetrics& m = choice.pFace->m_Metrics;
    const double em = 16.0 * m.nUnitsPerEm / m.nCell;  // 12 points: a 16-pixel cell
    TempFile file;
    for (auto _ : state) {
        cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
        cairo_t* cr = cairo_create(surface);
        cairo_set_source_rgb(cr, 1.0, 1.0, 240 / 255.0);
        cairo_paint(cr);
        cairo_set_font_face(cr, face);
        cairo_set_font_size(cr, em);
        cairo_set_source_rgb(cr, 0, 0, 128 / 255.0);
        cairo_move_to(cr, 0, 16.0 * m.nAscender / m.nCell);
        cairo_show_text(cr, kLabel);
        cairo_surface_flush(surface);
        WriteBytes(file.path, bytes);
        unlink(file.path.c_str());
        cairo_destroy(cr);
        cairo_surface_destroy(surface);
    }
    cairo_font_face_destroy(face);
    control.Exit();
}

// FreeType alone: the label's glyphs loaded and rendered at the same size, nothing
// shaped, placed or written.
void FreeType_BareGlyphs(benchmark::State& state) {
    COvFontFaces faces;
    COvFontChoice choice{};
    faces.Find("", false, false, choice);
    FT_Face face = choice.pFace->m_Face;
    const COvFaceMetrics& m = choice.pFace->m_Metrics;
    FT_Set_Char_Size(face, 0, 16 * 64 * m.nUnitsPerEm / m.nCell, 72, 72);
    for (auto _ : state) {
        for (const char* c = kLabel; *c != '\0'; ++c) {
            FT_Load_Char(face, static_cast<unsigned char>(*c),
                         FT_LOAD_NO_BITMAP | FT_LOAD_TARGET_LIGHT);
            FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL);
            benchmark::DoNotOptimize(face->glyph->bitmap.buffer);
        }
    }
}

// The machine's limit for the file part: the label's bytes written to the same file.
void Machine_WriteFile(benchmark::State& state) {
    COvControl control;
    control.Init(0, nullptr);
    int width = 0, height = 0;
    const std::vector<unsigned char> bytes = LabelFile(control, width, height);
    control.Exit();
    TempFile file;
    for (auto _ : state) {
        WriteBytes(file.path, bytes);
        unlink(file.path.c_str());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}

}  // namespace

BENCHMARK(Ours_LabelToFile)->Unit(benchmark::kMicrosecond);
BENCHMARK(Ours_LabelDrawOnly)->Unit(benchmark::kMicrosecond);
BENCHMARK(Cairo_LabelToFile)->Unit(benchmark::kMicrosecond);
BENCHMARK(FreeType_BareGlyphs)->Unit(benchmark::kMicrosecond);
BENCHMARK(Machine_WriteFile)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
    return RunWithRatios(
        argc, argv,
        {{"label to file vs cairo label + its bytes", "Ours_LabelToFile", "Cairo_LabelToFile", 0.7},
         {"label drawn vs its glyphs rendered bare", "Ours_LabelDrawOnly", "FreeType_BareGlyphs",
          1.0},
         {"label to file vs its bytes written alone", "Ours_LabelToFile", "Machine_WriteFile",
          0.3}});
}
