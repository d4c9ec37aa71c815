// tcanvas on Cairo, and the off-screen bitmap.
#include "kestrune/shape/cairocanvas.hpp"

#include "kestrune/support/text.hpp"

#include <dlfcn.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <string>

namespace kestrune {

namespace {

// Cairo holds coordinates in 24.8 fixed point; keep everything well inside
// that range so far-off points (hostile sizes or radii) cannot wrap around.
constexpr int kCoordLimit = 1 << 22;

int clampcoord(int v) { return std::clamp(v, -kCoordLimit, kCoordLimit); }

tpoint clamppoint(tpoint p) { return {clampcoord(p.x), clampcoord(p.y)}; }

// Rectangle corners in order, clamped.
trect normalised(const trect& r) {
    trect n{clampcoord(r.left), clampcoord(r.top), clampcoord(r.right), clampcoord(r.bottom)};
    if (n.right < n.left) std::swap(n.left, n.right);
    if (n.bottom < n.top) std::swap(n.top, n.bottom);
    return n;
}

// Latin-1 bytes as UTF-8 for Cairo, control characters left out.
std::string drawabletext(std::string_view s) {
    std::string printable(s);
    std::erase_if(printable, [](char ch) {
        const auto c = static_cast<unsigned char>(ch);
        return c < 0x20 || c == 0x7F;
    });
    return latin1toutf8(printable);
}

// Font size in points at 96 pixels per inch to pixels.
double fontpixels(int points) {
    const double px = std::nearbyint(std::abs(static_cast<double>(points)) * 96.0 / 72.0);
    return std::clamp(px, 1.0, 1000.0);
}

// Walks the pixels of a one-pixel line from a towards b inside a width x
// height bitmap, handing each horizontal or vertical run of them to
// run(left, top, width, height).
template <class Run>
void walkpixelline(tpoint a, tpoint b, int width, int height, Run&& run) {
    a = clamppoint(a);
    b = clamppoint(b);
    const std::int64_t dx = static_cast<std::int64_t>(b.x) - a.x;
    const std::int64_t dy = static_cast<std::int64_t>(b.y) - a.y;
    if (dx == 0 && dy == 0) return;
    const bool xmajor = std::llabs(dx) >= std::llabs(dy);
    const std::int64_t n = xmajor ? std::llabs(dx) : std::llabs(dy);  // pixels drawn
    const std::int64_t m = xmajor ? std::llabs(dy) : std::llabs(dx);
    const int smaj = (xmajor ? dx : dy) < 0 ? -1 : 1;
    const int smin = (xmajor ? dy : dx) < 0 ? -1 : 1;
    const std::int64_t maj0 = xmajor ? a.x : a.y;
    const std::int64_t min0 = xmajor ? a.y : a.x;
    const std::int64_t majlimit = xmajor ? width : height;
    const std::int64_t minlimit = xmajor ? height : width;
    if (majlimit <= 0 || minlimit <= 0) return;

    // Steps i whose major coordinate maj0 + smaj*i lies in 0..majlimit-1.
    std::int64_t ilo, ihi;
    if (smaj > 0) {
        ilo = std::max<std::int64_t>(0, -maj0);
        ihi = std::min<std::int64_t>(n - 1, majlimit - 1 - maj0);
    } else {
        ilo = std::max<std::int64_t>(0, maj0 - (majlimit - 1));
        ihi = std::min<std::int64_t>(n - 1, maj0);
    }
    if (ilo > ihi) return;

    bool inrun = false;
    std::int64_t runfirst = 0, runlast = 0, runminor = 0;
    auto flush = [&] {
        if (!inrun) return;
        const int lo = static_cast<int>(std::min(runfirst, runlast));
        const int len = static_cast<int>(std::llabs(runlast - runfirst) + 1);
        if (xmajor)
            run(lo, static_cast<int>(runminor), len, 1);
        else
            run(static_cast<int>(runminor), lo, 1, len);
        inrun = false;
    };
    // The minor offset of step i is (2im + n) / 2n, rounded down: kept as a
    // quotient and remainder that each step adds 2m to (2m <= 2n, so at most
    // one carry), one division for the whole line.
    std::int64_t quot = (2 * ilo * m + n) / (2 * n);
    std::int64_t rem = (2 * ilo * m + n) % (2 * n);
    for (std::int64_t i = ilo; i <= ihi; ++i) {
        if (i > ilo) {
            rem += 2 * m;
            if (rem >= 2 * n) {
                rem -= 2 * n;
                ++quot;
            }
        }
        const std::int64_t maj = maj0 + smaj * i;
        const std::int64_t minor = min0 + smin * quot;
        if (minor < 0 || minor >= minlimit) {
            flush();
            continue;
        }
        if (inrun && minor == runminor) {
            runlast = maj;
        } else {
            flush();
            inrun = true;
            runfirst = runlast = maj;
            runminor = minor;
        }
    }
    flush();
}

}  // namespace

tcairocanvas::tcairocanvas(cairo_t* cr) : cr_(cr) {
    if (cairo_status(cr_) != CAIRO_STATUS_SUCCESS) return;
    cairo_surface_t* target = cairo_get_target(cr_);
    cairo_matrix_t m;
    cairo_get_matrix(cr_, &m);
    const bool identity = m.xx == 1 && m.yy == 1 && m.xy == 0 && m.yx == 0 && m.x0 == 0 && m.y0 == 0;
    if (cairo_surface_get_type(target) == CAIRO_SURFACE_TYPE_IMAGE && identity) {
        pixelexact_ = true;
        surfacewidth_ = cairo_image_surface_get_width(target);
        surfaceheight_ = cairo_image_surface_get_height(target);
    }
    cairo_set_antialias(cr_, CAIRO_ANTIALIAS_NONE);
    cairo_set_fill_rule(cr_, CAIRO_FILL_RULE_EVEN_ODD);
}

// The face and options of the text, set on the first text only: most
// pictures have none, and setting them up costs as much as a fill.
void tcairocanvas::setupfont() {
    if (fontready_) return;
    fontready_ = true;
    cairo_select_font_face(cr_, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_font_options_t* fo = cairo_font_options_create();
    cairo_font_options_set_antialias(fo, CAIRO_ANTIALIAS_NONE);
    cairo_font_options_set_hint_metrics(fo, CAIRO_HINT_METRICS_ON);
    cairo_font_options_set_hint_style(fo, CAIRO_HINT_STYLE_FULL);
    cairo_set_font_options(cr_, fo);
    cairo_font_options_destroy(fo);
}

bool tcairocanvas::ok() const { return cairo_status(cr_) == CAIRO_STATUS_SUCCESS; }

void tcairocanvas::setsource(std::int32_t color) {
    const auto c = static_cast<std::uint32_t>(color);
    cairo_set_source_rgb(cr_, (c & 0xFF) / 255.0, ((c >> 8) & 0xFF) / 255.0, ((c >> 16) & 0xFF) / 255.0);
}

// Strokes the current path with the pen. A one-pixel pen has square ends and
// corners; a thicker pen, like the desktop's geometric pens, round ones.
void tcairocanvas::strokepen(bool closedshape) {
    const int w = penwidth();
    cairo_set_line_width(cr_, w);
    if (w > 1) {
        cairo_set_line_cap(cr_, CAIRO_LINE_CAP_ROUND);
        cairo_set_line_join(cr_, CAIRO_LINE_JOIN_ROUND);
    } else {
        cairo_set_line_cap(cr_, CAIRO_LINE_CAP_BUTT);
        cairo_set_line_join(cr_, closedshape ? CAIRO_LINE_JOIN_MITER : CAIRO_LINE_JOIN_BEVEL);
    }
    setsource(pencolor());
    cairo_stroke(cr_);
}

void tcairocanvas::fillcells(int l, int t, int r, int b, std::int32_t color) {
    if (r <= l || b <= t) return;
    cairo_new_path(cr_);
    cairo_rectangle(cr_, l, t, static_cast<double>(r) - l, static_cast<double>(b) - t);
    setsource(color);
    cairo_fill(cr_);
}

// A one-pixel line from one pixel towards another, the end pixel left out:
// along the longer axis every pixel is set once, the shorter axis following
// the ideal line rounded to the nearest pixel. Only the part inside the
// bitmap is walked, so a line of any length costs at most the bitmap's size.
void tcairocanvas::pixelline(tpoint a, tpoint b) {
    cairo_new_path(cr_);
    addpixelline(a, b);
    setsource(pencolor());
    cairo_fill(cr_);
}

void tcairocanvas::addpixelline(tpoint a, tpoint b) {
    walkpixelline(a, b, surfacewidth_, surfaceheight_,
                  [this](int l, int t, int w, int h) { cairo_rectangle(cr_, l, t, w, h); });
}

// Whether the canvas may write the surface's pixels itself: nothing stands
// between it and the memory (no clip, no group, no device offset or scale,
// an operator for which an opaque colour replaces the pixel).
bool tcairocanvas::directwritable() const {
    cairo_surface_t* target = cairo_get_target(cr_);
    if (cairo_get_group_target(cr_) != target) return false;
    const cairo_format_t format = cairo_image_surface_get_format(target);
    if (format != CAIRO_FORMAT_RGB24 && format != CAIRO_FORMAT_ARGB32) return false;
    const cairo_operator_t op = cairo_get_operator(cr_);
    if (op != CAIRO_OPERATOR_OVER && op != CAIRO_OPERATOR_SOURCE) return false;
    double dx = 0, dy = 0, sx = 1, sy = 1;
    cairo_surface_get_device_offset(target, &dx, &dy);
    cairo_surface_get_device_scale(target, &sx, &sy);
    if (dx != 0 || dy != 0 || sx != 1 || sy != 1) return false;
    cairo_rectangle_list_t* clip = cairo_copy_clip_rectangle_list(cr_);
    const bool unclipped = clip->status == CAIRO_STATUS_SUCCESS && clip->num_rectangles == 1 &&
                           clip->rectangles[0].x <= 0 && clip->rectangles[0].y <= 0 &&
                           clip->rectangles[0].x + clip->rectangles[0].width >= surfacewidth_ &&
                           clip->rectangles[0].y + clip->rectangles[0].height >= surfaceheight_;
    cairo_rectangle_list_destroy(clip);
    return unclipped;
}

// The value Cairo writes into this surface for an opaque colour. The first
// time a colour is asked for, Cairo fills pixel (x, y) with it and the value
// is read back, so (x, y) must lie on the surface and the caller must write
// that pixel again; the last few colours are then answered from memory.
// False after an error.
bool tcairocanvas::knownvalue(std::int32_t color, std::uint32_t& value) const {
    const std::uint32_t rgb = static_cast<std::uint32_t>(color) & 0xFFFFFFu;
    for (const knowncolor& k : knowncolors_)
        if (k.used && k.rgb == rgb) {
            value = k.value;
            return true;
        }
    return false;
}

bool tcairocanvas::pixelvalue(std::int32_t color, int x, int y, std::uint32_t& value) {
    if (knownvalue(color, value)) return true;
    const std::uint32_t rgb = static_cast<std::uint32_t>(color) & 0xFFFFFFu;
    cairo_new_path(cr_);
    cairo_rectangle(cr_, x, y, 1, 1);
    setsource(color);
    cairo_fill(cr_);
    int stride = 0;
    const std::uint32_t* pixels = surfacepixels(stride);
    if (!pixels) return false;
    value = pixels[static_cast<std::ptrdiff_t>(y) * stride + x];
    knowncolors_[nextknown_] = {true, rgb, value};
    nextknown_ = (nextknown_ + 1) % knowncolors_.size();
    return true;
}

// The surface's pixels, flushed for writing, and the row length in pixels;
// null after an error.
std::uint32_t* tcairocanvas::surfacepixels(int& stride) {
    cairo_surface_t* target = cairo_get_target(cr_);
    cairo_surface_flush(target);
    unsigned char* data = cairo_image_surface_get_data(target);
    const int bytes = cairo_image_surface_get_stride(target);
    if (!data || cairo_status(cr_) != CAIRO_STATUS_SUCCESS || bytes % 4 != 0) return nullptr;
    stride = bytes / 4;
    return reinterpret_cast<std::uint32_t*>(data);
}

// A rectangle's cells (the brush) and its one-pixel frame (the pen) written
// into the pixels: the very cells Cairo's fills of those whole-pixel boxes
// cover, with the values it writes. Only where directwritable(); false
// after an error, with nothing written.
bool tcairocanvas::writerectangle(const trect& r) {
    const int l = std::max(r.left, 0), t = std::max(r.top, 0);
    const int rr = std::min(r.right, surfacewidth_), b = std::min(r.bottom, surfaceheight_);
    if (rr <= l || b <= t) return true;  // nothing of it on the bitmap
    std::uint32_t brush = 0, pen = 0;
    if (!pixelvalue(brushcolor(), l, t, brush) || !pixelvalue(pencolor(), l, t, pen)) return false;
    int stride = 0;
    std::uint32_t* pixels = surfacepixels(stride);
    if (!pixels) return false;
    const auto cells = [&](int x0, int y0, int x1, int y1, std::uint32_t value) {
        x0 = std::max(x0, l), y0 = std::max(y0, t), x1 = std::min(x1, rr), y1 = std::min(y1, b);
        for (int y = y0; y < y1; ++y)
            if (x1 > x0) std::fill_n(pixels + static_cast<std::ptrdiff_t>(y) * stride + x0, x1 - x0, value);
    };
    cells(r.left, r.top, r.right, r.bottom, brush);
    cells(r.left, r.top, r.right, r.top + 1, pen);
    cells(r.left, r.bottom - 1, r.right, r.bottom, pen);
    cells(r.left, r.top, r.left + 1, r.bottom, pen);
    cells(r.right - 1, r.top, r.right, r.bottom, pen);
    cairo_surface_mark_dirty(cairo_get_target(cr_));
    return true;
}

// Writes the one-pixel outline of a polygon straight into the image surface:
// as a path it took a rectangle for every run of pixels, hundreds for a
// traced outline, and Cairo's fill of them cost more than the rest of the
// picture. The pen's pixel value is Cairo's own (pixelvalue), so the bytes
// are those a fill writes. Only where directwritable(); false after an error.
bool tcairocanvas::plotoutline(std::span<const tpoint> points) {
    const std::size_t n = points.size();
    std::uint32_t pixel = 0;
    if (!knownvalue(pencolor(), pixel)) {
        // A new pen: Cairo fills the outline's first pixel on the bitmap.
        int firstx = -1, firsty = -1;
        for (std::size_t i = 0; i < n && firstx < 0; ++i) {
            walkpixelline(points[i], points[(i + 1) % n], surfacewidth_, surfaceheight_, [&](int l, int t, int, int) {
                if (firstx < 0) firstx = l, firsty = t;
            });
        }
        if (firstx < 0) return true;  // no pixel of the outline lies on the bitmap
        if (!pixelvalue(pencolor(), firstx, firsty, pixel)) return false;
    }
    int stride = 0;
    std::uint32_t* pixels = surfacepixels(stride);
    if (!pixels) return false;
    for (std::size_t i = 0; i < n; ++i)
        walkpixelline(points[i], points[(i + 1) % n], surfacewidth_, surfaceheight_, [&](int l, int t, int w, int h) {
            for (int y = t; y < t + h; ++y) std::fill_n(pixels + static_cast<std::ptrdiff_t>(y) * stride + l, w, pixel);
        });
    cairo_surface_mark_dirty(cairo_get_target(cr_));
    return true;
}

void tcairocanvas::dorectangle(const trect& rect) {
    const trect r = normalised(rect);
    if (r.right <= r.left || r.bottom <= r.top) return;
    if (pixelexact_ && penwidth() == 1 && directwritable() && writerectangle(r)) return;
    fillcells(r.left, r.top, r.right, r.bottom, brushcolor());
    if (pixelexact_ && penwidth() == 1) {
        const std::int32_t pen = pencolor();
        fillcells(r.left, r.top, r.right, r.top + 1, pen);
        fillcells(r.left, r.bottom - 1, r.right, r.bottom, pen);
        fillcells(r.left, r.top, r.left + 1, r.bottom, pen);
        fillcells(r.right - 1, r.top, r.right, r.bottom, pen);
        return;
    }
    cairo_new_path(cr_);
    cairo_rectangle(cr_, r.left + 0.5, r.top + 0.5, static_cast<double>(r.right) - r.left - 1,
                    static_cast<double>(r.bottom) - r.top - 1);
    strokepen(true);
}

void tcairocanvas::dopolygon(std::span<const tpoint> given) {
    if (given.size() < 2) return;
    // A traced outline on a small bitmap puts most of its points on the same
    // pixel as the point before. Such a point adds nothing: Cairo skips a
    // line to the current point itself (but for the one right after the
    // start, which it drops with the next line), and the outline of a
    // zero-length edge has no pixels. So they are left out here, before
    // costing a call each, and the path Cairo builds stays the same.
    vertices_.clear();
    vertices_.reserve(given.size());
    for (const tpoint& p0 : given) {
        const tpoint p = clamppoint(p0);
        if (vertices_.empty() || !(p == vertices_.back())) vertices_.push_back(p);
    }
    const std::span<const tpoint> points(vertices_);
    cairo_new_path(cr_);
    for (const tpoint& p : points) cairo_line_to(cr_, p.x + 0.5, p.y + 0.5);
    cairo_close_path(cr_);
    setsource(brushcolor());
    if (pixelexact_ && penwidth() == 1) {
        cairo_fill(cr_);
        if (directwritable() && plotoutline(points)) return;
        // The outline's pixels in one fill rather than one per edge. The
        // rectangles all turn the same way and the pen is opaque, so their
        // union under the nonzero rule sets the very pixels that filling each
        // edge on its own sets (the even-odd rule would clear overlaps).
        cairo_new_path(cr_);
        for (std::size_t i = 0; i < points.size(); ++i) addpixelline(points[i], points[(i + 1) % points.size()]);
        cairo_set_fill_rule(cr_, CAIRO_FILL_RULE_WINDING);
        setsource(pencolor());
        cairo_fill(cr_);
        cairo_set_fill_rule(cr_, CAIRO_FILL_RULE_EVEN_ODD);
        return;
    }
    cairo_fill_preserve(cr_);
    strokepen(true);
}

void tcairocanvas::dolineto(tpoint from, tpoint to) {
    if (pixelexact_ && penwidth() == 1) {
        pixelline(from, to);
        return;
    }
    from = clamppoint(from);
    to = clamppoint(to);
    if (from == to) return;
    cairo_new_path(cr_);
    cairo_move_to(cr_, from.x + 0.5, from.y + 0.5);
    cairo_line_to(cr_, to.x + 0.5, to.y + 0.5);
    strokepen(false);
}

void tcairocanvas::doellipse(const trect& rect) {
    const trect r = normalised(rect);
    if (r.right <= r.left || r.bottom <= r.top) return;
    const double rx = (static_cast<double>(r.right) - r.left - 1) / 2.0;
    const double ry = (static_cast<double>(r.bottom) - r.top - 1) / 2.0;
    if (rx <= 0 || ry <= 0) {
        // One pixel thin: only the pen shows.
        fillcells(r.left, r.top, r.right, r.bottom, pencolor());
        return;
    }
    cairo_new_path(cr_);
    cairo_save(cr_);
    cairo_translate(cr_, (static_cast<double>(r.left) + r.right) / 2.0, (static_cast<double>(r.top) + r.bottom) / 2.0);
    cairo_scale(cr_, rx, ry);
    cairo_arc(cr_, 0, 0, 1, 0, 2 * M_PI);
    cairo_restore(cr_);
    cairo_close_path(cr_);
    setsource(brushcolor());
    cairo_fill_preserve(cr_);
    strokepen(true);
}

// One line of text placed in the rectangle as the desktop's text drawing
// does: left, centred or right; at the top, or centred vertically on a single
// line. The text's own cell is filled with the brush colour first.
void tcairocanvas::dotextrect(const trect& rect, std::string_view text, unsigned format) {
    const trect r = normalised(rect);
    const std::string utf8 = drawabletext(text);
    if (utf8.empty() || r.right <= r.left || r.bottom <= r.top) return;

    setupfont();
    cairo_save(cr_);
    cairo_new_path(cr_);
    cairo_rectangle(cr_, r.left, r.top, static_cast<double>(r.right) - r.left, static_cast<double>(r.bottom) - r.top);
    cairo_clip(cr_);
    cairo_set_font_size(cr_, fontpixels(fontsize()));
    cairo_font_extents_t fe;
    cairo_font_extents(cr_, &fe);
    cairo_text_extents_t te;
    cairo_text_extents(cr_, utf8.c_str(), &te);
    const int ascent = static_cast<int>(std::ceil(fe.ascent));
    const int height = ascent + static_cast<int>(std::ceil(fe.descent));
    const int width = static_cast<int>(std::clamp(std::ceil(te.x_advance), 0.0, 1e7));
    const int rw = r.right - r.left, rh = r.bottom - r.top;

    int x = r.left;
    if (format & tfCenter)
        x = r.left + (rw - width) / 2;
    else if (format & tfRight)
        x = r.right - width;
    int y = r.top;
    if ((format & tfVerticalCenter) && (format & tfSingleLine)) y = r.top + (rh - height) / 2;

    cairo_rectangle(cr_, x, y, width, height);
    setsource(brushcolor());
    cairo_fill(cr_);
    cairo_move_to(cr_, x, y + ascent);
    setsource(fontcolor());
    cairo_show_text(cr_, utf8.c_str());
    cairo_restore(cr_);
}

// ---- the bitmap ----

tcairobitmap::tcairobitmap(int width, int height) : width_(width), height_(height) {
    // An invalid size gives Cairo's error surface, on which nothing draws.
    surface_ = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    cr_ = cairo_create(surface_);
    cairo_set_source_rgb(cr_, 1, 1, 1);
    cairo_paint(cr_);
    canvas_ = std::make_unique<tcairocanvas>(cr_);
}

tcairobitmap::~tcairobitmap() {
    canvas_.reset();
    cairo_destroy(cr_);
    cairo_surface_destroy(surface_);
}

bool tcairobitmap::ok() const {
    return width_ > 0 && height_ > 0 && cairo_surface_status(surface_) == CAIRO_STATUS_SUCCESS &&
           cairo_status(cr_) == CAIRO_STATUS_SUCCESS;
}

cairo_surface_t* tcairobitmap::surface() const {
    cairo_surface_flush(surface_);
    return surface_;
}

std::int32_t tcairobitmap::pixel(int x, int y) const {
    if (!ok() || x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
    cairo_surface_flush(surface_);
    const unsigned char* data = cairo_image_surface_get_data(surface_);
    const int stride = cairo_image_surface_get_stride(surface_);
    if (!data) return 0;
    const auto* row = reinterpret_cast<const std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
    const std::uint32_t v = row[x];
    const std::uint32_t r = (v >> 16) & 0xFF, g = (v >> 8) & 0xFF, b = v & 0xFF;
    return static_cast<std::int32_t>(r | (g << 8) | (b << 16));
}

void releasecanvasresources() {
    cairo_debug_reset_static_data();
    // The font configuration library is loaded with the text renderer; its
    // own static data goes only through its FcFini.
    using finifn = void (*)();
    if (void* fini = ::dlsym(RTLD_DEFAULT, "FcFini")) reinterpret_cast<finifn>(fini)();
}

}  // namespace kestrune
