// PDF rendering through libharu: A4 sheets (landscape for the condensed
// report, portrait otherwise), an embedded monospaced TrueType font (DejaVu
// Sans Mono, which has every CP850 letter and box-drawing character) and
// text placed on a fixed character grid.
//
// Grid: the page length gives the line pitch (the longest page of the
// document, so every sheet has the same lines); each pitch (pica, elite,
// condensed) spreads its columns over the printable width, widened when a
// text reaches further so that nothing runs off the sheet. Glyphs are scaled
// horizontally to fill their cell exactly, so a text keeps its columns and
// text extraction sees whole words.
#include <hpdf.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "platform/console/console.h"
#include "platform/os/os.h"
#include "settings/catalogue.h"
#include "tools/zediridi/zediridi.h"

namespace zediridi {
namespace {

constexpr double kMargin = 20.0;  // points on every side

const char* const kFontFiles[] = {
    "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf",  // Debian, Ubuntu
    "/usr/share/fonts/TTF/DejaVuSansMono.ttf",
    "/usr/share/fonts/dejavu/DejaVuSansMono.ttf",
    "/usr/share/fonts/dejavu-sans-mono-fonts/DejaVuSansMono.ttf",
};

struct HaruError {
  bool failed = false;
  unsigned long code = 0;
};

void OnError(HPDF_STATUS error, HPDF_STATUS, void* data) {
  HaruError* e = static_cast<HaruError*>(data);
  if (!e->failed) e->code = error;
  e->failed = true;
}

std::string FontFile() {
  for (const char* f : kFontFiles)
    if (os::FileExists(f)) return f;
  return std::string();
}

std::string Hex(unsigned long v) {
  char b[16];
  std::snprintf(b, sizeof b, "%04lX", v);
  return b;
}

}  // namespace

bool RenderPdf(const Document& doc, std::string& pdf, std::string& error) {
  pdf.clear();
  const std::string font = FontFile();
  if (font.empty()) {
    error = settings::Translate("no es troba el tipus de lletra") + " " + kFontFiles[0];
    return false;
  }

  // Grid of the document.
  int rows = 1;
  int columns[3] = {kPitchColumns[0], kPitchColumns[1], kPitchColumns[2]};
  for (const Page& p : doc.pages) {
    rows = std::max(rows, p.lines);
    for (const Placed& t : p.texts) {
      rows = std::max(rows, t.line + 1);
      columns[t.pitch] = std::max(columns[t.pitch], t.column + static_cast<int>(t.text.size()) - 1);
    }
  }

  HaruError he;
  HPDF_Doc h = HPDF_New(OnError, &he);
  if (!h) {
    error = settings::Translate("no s'ha pogut generar el PDF");
    return false;
  }
  HPDF_SetCompressionMode(h, HPDF_COMP_ALL);
  HPDF_UseUTFEncodings(h);
  HPDF_SetCurrentEncoder(h, "UTF-8");
  HPDF_SetInfoAttr(h, HPDF_INFO_CREATOR, "ZEDIRIDI");
  const char* fontName = he.failed ? nullptr : HPDF_LoadTTFontFromFile(h, font.c_str(), HPDF_TRUE);
  HPDF_Font f = fontName ? HPDF_GetFont(h, fontName, "UTF-8") : nullptr;
  // Advance of a glyph in ems (every glyph of the font has the same).
  double advance = f ? HPDF_Font_GetUnicodeWidth(f, '0') / 1000.0 : 0;
  if (advance <= 0) advance = 0.602;

  const std::size_t pageCount = std::max<std::size_t>(doc.pages.size(), 1);  // an empty report: one blank sheet
  for (std::size_t n = 0; n < pageCount && f && !he.failed; ++n) {
    HPDF_Page page = HPDF_AddPage(h);
    if (!page) break;
    HPDF_Page_SetSize(page, HPDF_PAGE_SIZE_A4, doc.landscape ? HPDF_PAGE_LANDSCAPE : HPDF_PAGE_PORTRAIT);
    if (doc.pages.empty()) continue;
    const double width = HPDF_Page_GetWidth(page) - 2 * kMargin;
    const double height = HPDF_Page_GetHeight(page) - 2 * kMargin;
    const double linePitch = height / rows;
    HPDF_Page_BeginText(page);
    int current = -1;
    for (const Placed& t : doc.pages[n].texts) {
      const double cell = width / columns[t.pitch];
      if (t.pitch != current) {
        current = t.pitch;
        const double size = std::min(cell / advance, linePitch);
        double scaling = 100.0 * cell / (advance * size);
        scaling = std::clamp(scaling, 10.0, 300.0);
        HPDF_Page_SetFontAndSize(page, f, static_cast<HPDF_REAL>(size));
        HPDF_Page_SetHorizontalScalling(page, static_cast<HPDF_REAL>(scaling));
      }
      const double x = kMargin + (t.column - 1) * cell;
      const double y = kMargin + height - (t.line + 0.8) * linePitch;
      HPDF_Page_TextOut(page, static_cast<HPDF_REAL>(x), static_cast<HPDF_REAL>(y), console::Cp850ToUtf8(t.text).c_str());
    }
    HPDF_Page_EndText(page);
  }

  if (f && !he.failed && HPDF_SaveToStream(h) == HPDF_OK) {
    HPDF_UINT32 size = HPDF_GetStreamSize(h);
    pdf.assign(size, '\0');
    HPDF_UINT32 got = size;
    if (HPDF_ReadFromStream(h, reinterpret_cast<HPDF_BYTE*>(pdf.data()), &got) != HPDF_OK && got != size)
      he.failed = true;
    pdf.resize(got);
  }
  const bool ok = f && !he.failed && !pdf.empty() && ReplaceToUnicodeMaps(pdf);
  HPDF_Free(h);
  if (!ok) {
    pdf.clear();
    error = settings::Translate("no s'ha pogut generar el PDF") + (he.failed ? " (libharu " + Hex(he.code) + ")" : "");
  }
  return ok;
}

}  // namespace zediridi
