// The production canvas: tcanvas drawn with Cairo, and an off-screen bitmap
// that owns one.
//
// On a bitmap (an image surface without a transformation) the canvas follows
// the desktop canvas's pixel rules exactly: one-pixel lines are laid out pixel
// by pixel (LineTo leaves out the end pixel), rectangles cover columns l..r-1
// and rows t..b-1, fills and thicker pens are rasterised without
// antialiasing. On a vector surface (SVG) the same calls become paths through
// the same pixel centres, so the picture stays sharp at any size.
//
// Text uses a fixed sans face (DejaVu Sans when installed, else the font
// configuration's sans default), at 96 pixels per inch, without antialiasing.
#pragma once

#include <cairo.h>

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "kestrune/shape/canvas.hpp"

namespace kestrune {

class tcairocanvas : public tcanvas {
public:
    // Draws on cr, which the caller keeps alive and owns.
    explicit tcairocanvas(cairo_t* cr);
    // Whether the target is drawn pixel by pixel (an image surface with the
    // identity transformation).
    bool pixelexact() const { return pixelexact_; }
    // False once Cairo has reported an error on the target.
    bool ok() const;

protected:
    void dorectangle(const trect& r) override;
    void dopolygon(std::span<const tpoint> points) override;
    void dolineto(tpoint from, tpoint to) override;
    void doellipse(const trect& r) override;
    void dotextrect(const trect& r, std::string_view text, unsigned format) override;

private:
    void setsource(std::int32_t color);
    void setupfont();
    void strokepen(bool closedshape);
    void pixelline(tpoint from, tpoint to);  // one-pixel line on a bitmap
    // Adds the pixels of pixelline(from, to) to the current path as
    // rectangles, drawing nothing.
    void addpixelline(tpoint from, tpoint to);
    void fillcells(int l, int t, int r, int b, std::int32_t color);
    // Writing the pixels directly, where nothing stands in between.
    bool directwritable() const;
    bool knownvalue(std::int32_t color, std::uint32_t& value) const;
    bool pixelvalue(std::int32_t color, int x, int y, std::uint32_t& value);
    std::uint32_t* surfacepixels(int& stride);
    // A rectangle's cells and frame, and the pixel outline of a polygon,
    // written into the surface (only where directwritable()); false after
    // an error.
    bool writerectangle(const trect& r);
    bool plotoutline(std::span<const tpoint> points);

    cairo_t* cr_;
    // A polygon's vertices, clamped, without repeats of the one before.
    std::vector<tpoint> vertices_;
    // The last few colours (0x00BBGGRR) with the values Cairo wrote for them.
    struct knowncolor {
        bool used = false;
        std::uint32_t rgb = 0, value = 0;
    };
    std::array<knowncolor, 4> knowncolors_{};
    std::size_t nextknown_ = 0;
    bool pixelexact_ = false;
    bool fontready_ = false;
    int surfacewidth_ = 0, surfaceheight_ = 0;
};

// An off-screen picture: a 24-bit RGB image that starts white, with its
// canvas. A size outside 1..32767 on either axis gives a bitmap that is not
// ok() and draws nothing.
class tcairobitmap {
public:
    tcairobitmap(int width, int height);
    ~tcairobitmap();
    tcairobitmap(const tcairobitmap&) = delete;
    tcairobitmap& operator=(const tcairobitmap&) = delete;

    bool ok() const;
    int width() const { return width_; }
    int height() const { return height_; }
    tcanvas& canvas() { return *canvas_; }
    // The colour of one pixel (0x00BBGGRR); 0 outside the bitmap.
    std::int32_t pixel(int x, int y) const;
    // The image, flushed, for encoders (CAIRO_FORMAT_RGB24).
    cairo_surface_t* surface() const;

private:
    int width_ = 0, height_ = 0;
    cairo_surface_t* surface_ = nullptr;
    cairo_t* cr_ = nullptr;
    std::unique_ptr<tcairocanvas> canvas_;
};

// Frees the process-wide font and glyph caches that text drawing fills, so
// that a leak checker sees a clean exit. Call it at most once, at the end of
// the program, when no canvas exists any more and no thread draws.
void releasecanvasresources();

}  // namespace kestrune
