#include "cli/LabelText.h"

#include <cairo-ft.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cmath>

namespace {

// Where Debian's fonts-dejavu-core puts the face: opened directly, it spares the run the font
// configuration's start-up (several milliseconds, more than a small picture takes to draw).
constexpr const char* kFaceFile = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";

// The face from its file, made once and kept for the whole run; null when the file is not
// there, and the face is then looked up by name.
cairo_font_face_t* FaceFromFile() {
    static cairo_font_face_t* const face = []() -> cairo_font_face_t* {
        FT_Library library = nullptr;
        FT_Face ftFace = nullptr;
        if (FT_Init_FreeType(&library) != 0) {
            return nullptr;
        }
        if (FT_New_Face(library, kFaceFile, 0, &ftFace) != 0) {
            FT_Done_FreeType(library);
            return nullptr;
        }
        return cairo_ft_font_face_create_for_ft_face(ftFace, 0);
    }();
    return face;
}

}  // namespace

void UseLabelFont(cairo_t* cr) {
    if (cairo_font_face_t* face = FaceFromFile()) {
        cairo_set_font_face(cr, face);
    } else {
        cairo_select_font_face(cr, kLabelFace, CAIRO_FONT_SLANT_NORMAL,
                               kLabelFontBold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    }
    cairo_set_font_size(cr, kLabelFontSize);
    // The same metrics on every surface and machine: grey smoothing, whole-unit advances.
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_ON);
    cairo_set_font_options(cr, options);
    cairo_font_options_destroy(options);
}

TextSize MeasureLabel(cairo_t* cr, const std::string& text) {
    cairo_text_extents_t extents;
    cairo_text_extents(cr, text.c_str(), &extents);
    return {static_cast<int32_t>(std::ceil(extents.x_advance)), kLabelAscent, kLabelDescent};
}

LabelPlace DrawLabel(cairo_t* cr, const std::string& text, const QRect& rect, uint32_t format) {
    const LabelPlace place = PlaceLabel(rect, format, MeasureLabel(cr, text));
    if (BoxIsEmpty(place.box)) {
        return place;
    }
    cairo_save(cr);
    cairo_rectangle(cr, place.box.left, place.box.top, place.box.right - place.box.left,
                    place.box.bottom - place.box.top);
    cairo_clip_preserve(cr);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_fill(cr);
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_move_to(cr, place.baselineX, place.baselineY);
    cairo_show_text(cr, text.c_str());
    cairo_restore(cr);
    return place;
}
