// The drawing surface a shape is painted on.
//
// tcanvas is the small set of operations a shape drawing needs, with the pixel
// rules of the classic desktop canvas:
//   - Rectangle(l, t, r, b) fills columns l..r-1 and rows t..b-1 with the
//     brush and outlines that area with the pen;
//   - a one-pixel pen draws through pixel centres, and LineTo leaves out the
//     pixel at its end point;
//   - Polygon fills the interior (even-odd rule) with the brush and outlines
//     it, closing edge included, with the pen;
//   - Ellipse(l, t, r, b) is the ellipse inscribed in the same area a
//     Rectangle with those arguments covers, filled and outlined;
//   - nothing is antialiased.
// Coordinates are pixels, x to the right and y downward. Colours are 32-bit
// values with red in the lowest byte, then green, then blue (0x00BBGGRR); the
// highest byte is ignored.
//
// The pen, brush and font are plain state of the canvas: reading and setting
// them never draws. Each drawing operation uses the state in effect when it
// is called. A derived canvas implements the protected do... operations;
// the public ones keep the pen position and the state.
//
// trecordingcanvas lists every drawing call with its arguments and the state
// in effect, so drawings can be compared call by call.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kestrune {

struct tpoint {
    int x = 0;
    int y = 0;
    friend bool operator==(const tpoint&, const tpoint&) = default;
};

struct trect {
    int left = 0, top = 0, right = 0, bottom = 0;
    friend bool operator==(const trect&, const trect&) = default;
};

// Layout of TextRect: flags that may be combined.
enum ttextformat : unsigned {
    tfLeft = 0,
    tfCenter = 1,  // centred horizontally
    tfRight = 2,
    tfVerticalCenter = 4,  // centred vertically (single line only)
    tfSingleLine = 8,
};

// Pen, brush and font of a canvas.
struct tcanvasstate {
    std::int32_t pencolor = 0;  // black
    int penwidth = 1;
    std::int32_t brushcolor = 0x00FFFFFF;  // white
    int fontsize = 8;                      // points (at 96 pixels per inch)
    std::int32_t fontcolor = 0;            // black
    friend bool operator==(const tcanvasstate&, const tcanvasstate&) = default;
};

class tcanvas {
public:
    virtual ~tcanvas() = default;

    // ---- state ----
    std::int32_t pencolor() const { return state_.pencolor; }
    void setpencolor(std::int32_t c) { state_.pencolor = c; }
    int penwidth() const { return state_.penwidth; }
    // Widths below 1 are taken as 1, as the desktop canvas does.
    void setpenwidth(int w) { state_.penwidth = w < 1 ? 1 : w; }
    std::int32_t brushcolor() const { return state_.brushcolor; }
    void setbrushcolor(std::int32_t c) { state_.brushcolor = c; }
    int fontsize() const { return state_.fontsize; }
    void setfontsize(int points) { state_.fontsize = points; }
    std::int32_t fontcolor() const { return state_.fontcolor; }
    void setfontcolor(std::int32_t c) { state_.fontcolor = c; }
    const tcanvasstate& state() const { return state_; }
    tpoint penpos() const { return penpos_; }

    // ---- drawing ----
    void Rectangle(int l, int t, int r, int b) { dorectangle(trect{l, t, r, b}); }
    void Polygon(std::span<const tpoint> points) { dopolygon(points); }
    void MoveTo(int x, int y);
    void LineTo(int x, int y);
    void Ellipse(int l, int t, int r, int b) { doellipse(trect{l, t, r, b}); }
    // Writes text inside the rectangle, clipped to it; the background of the
    // text itself is filled with the brush colour, the glyphs drawn in the
    // font colour.
    void TextRect(int l, int t, int r, int b, std::string_view text, unsigned format) {
        dotextrect(trect{l, t, r, b}, text, format);
    }

protected:
    virtual void dorectangle(const trect& r) = 0;
    virtual void dopolygon(std::span<const tpoint> points) = 0;
    virtual void domoveto(tpoint) {}
    virtual void dolineto(tpoint from, tpoint to) = 0;
    virtual void doellipse(const trect& r) = 0;
    virtual void dotextrect(const trect& r, std::string_view text, unsigned format) = 0;

private:
    tcanvasstate state_;
    tpoint penpos_;
};

// One call made on a recording canvas.
struct tcanvascall {
    enum kind { rectangle, polygon, moveto, lineto, ellipse, textrect };
    kind op = rectangle;
    // rectangle, ellipse, textrect: the corners (l, t) and (r, b);
    // polygon: the vertices; moveto: the new position; lineto: from, to.
    std::vector<tpoint> points;
    std::string text;     // textrect only
    unsigned format = 0;  // textrect only
    tcanvasstate state;   // pen, brush and font in effect

    // The call without its state, e.g. "Rectangle(0,0,105,105)",
    // "Polygon(1,2 3,4 5,6)", "MoveTo(3,4)", "LineTo(3,4-7,8)",
    // "Ellipse(1,2,3,4)", "TextRect(0,0,9,9,'text',13)".
    std::string str() const;
};

// A straight piece drawn by LineTo, with the pen it was drawn with.
struct tcanvasline {
    tpoint from, to;
    std::int32_t color = 0;
    int width = 1;
    friend bool operator==(const tcanvasline&, const tcanvasline&) = default;
};

class trecordingcanvas : public tcanvas {
public:
    std::vector<tcanvascall> calls;

    // Every call's str(), in order.
    std::vector<std::string> strs() const;
    // The calls of one kind, in order.
    std::vector<tcanvascall> callsof(tcanvascall::kind op) const;
    // Every LineTo as a line from the pen position to its end.
    std::vector<tcanvasline> lines() const;
    void clearcalls() { calls.clear(); }

protected:
    void dorectangle(const trect& r) override;
    void dopolygon(std::span<const tpoint> points) override;
    void domoveto(tpoint p) override;
    void dolineto(tpoint from, tpoint to) override;
    void doellipse(const trect& r) override;
    void dotextrect(const trect& r, std::string_view text, unsigned format) override;

private:
    void record(tcanvascall::kind op, std::vector<tpoint> points, std::string_view text = {}, unsigned format = 0);
};

}  // namespace kestrune
