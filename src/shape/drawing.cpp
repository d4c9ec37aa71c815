// Drawing a traced shape on a canvas: the frame, the outline (filled polygon
// or lines) with its fixed area, the cross and bifocal segment marker,
// centring lines, edge ticks, drill holes and the box size as text.
//
// Shape coordinates are hundredths of a millimetre with +y up; the canvas has
// y downward. One scale serves both axes (the smaller of width/GridX and
// height/GridY), so a shape keeps its proportions, centred on the box.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <numbers>
#include <string>
#include <string_view>
#include <vector>

#include "kestrune/document/drill.hpp"
#include "kestrune/shape/canvas.hpp"
#include "kestrune/trace/geometry.hpp"
#include "kestrune/trace/sincosmemo.hpp"
#include "kestrune/support/text.hpp"
#include "kestrune/trace/radiilist.hpp"

namespace kestrune {

namespace {

// Canvas coordinates are kept within this range whatever the input: hostile
// radii, drill positions or box sizes give far-off points, never overflow.
constexpr std::int64_t kCoordLimit = 1 << 30;

// Rounds to the nearest whole number, halves to even, limited to the
// coordinate range; not-a-number gives 0.
std::int64_t roundcoord(double v) {
    // Every point of a picture passes here. Below 2^30 in size (inside the
    // coordinate range: nothing to limit), adding and taking away 1.5 * 2^52
    // leaves the whole number nearest to v, halves to even, in the default
    // rounding mode (which nothing in this program changes): what nearbyint
    // gives, without the library call.
    if (std::fabs(v) < 0x1p30) return static_cast<std::int64_t>((v + 0x1.8p52) - 0x1.8p52);
    if (std::isnan(v)) return 0;
    v = std::nearbyint(v);
    return static_cast<std::int64_t>(
        std::clamp(v, -static_cast<double>(kCoordLimit), static_cast<double>(kCoordLimit)));
}

int tocanvas(std::int64_t v) { return static_cast<int>(std::clamp(v, -kCoordLimit, kCoordLimit)); }

tpoint canvaspoint(std::int64_t x, std::int64_t y) { return {tocanvas(x), tocanvas(y)}; }

// The three ":"-separated fields of an edge tick; missing ones are empty.
void splitedgeentry(std::string_view s, std::string_view (&fields)[3]) {
    for (auto& f : fields) {
        const std::size_t colon = s.find(':');
        f = s.substr(0, colon);
        s = colon == std::string_view::npos ? std::string_view() : s.substr(colon + 1);
    }
}

// The state one drawing call shares between its steps.
class shapedrawer {
public:
    shapedrawer(tradiilist& list, tcanvas& t, int pleft, int ptop, int imwidth, int imheight, int eyecode,
                bool showtext)
        : r_(list),
          t_(t),
          pleft_(pleft),
          ptop_(ptop),
          imwidth_(imwidth),
          imheight_(imheight),
          eye_(eyecode == leftcode ? -1 : 1),
          showtext_(showtext) {}

    void run();

private:
    // Canvas point of a shape point given by angle (degrees) and radius.
    tpoint calcxy(double angle, double radius) const;
    // The same for point i of the list, its sine and cosine from the memo.
    tpoint calcxy(int i) const;
    tpoint placexy(double sine, double cosine, double radius) const;
    void initpolygon() { polygon_.clear(); }
    void addpolygon(tpoint p) { polygon_.push_back(p); }
    void DrawPolygon();
    void line(std::int64_t x1, std::int64_t y1, std::int64_t x2, std::int64_t y2) {
        t_.MoveTo(tocanvas(x1), tocanvas(y1));
        t_.LineTo(tocanvas(x2), tocanvas(y2));
    }

    void drawoutline();
    void drawcrossandsegment();
    void drawcentringlines();
    void drawedgeticks();
    void drawdrillholes();
    bool findedgepoint(const drilllinedefn& dl, std::int64_t y, std::int64_t& edgex, std::int64_t& edgey);
    void drawdimensiontext();

    tradiilist& r_;
    tcanvas& t_;
    const std::int64_t pleft_, ptop_, imwidth_, imheight_;
    const int eye_;
    const bool showtext_;
    int n_ = 0;
    double scale_ = 0;
    std::int64_t centx_ = 0, centy_ = 0;
    bool fixed_ = false;
    tsincosmemo& memo_ = threadsincosmemo();
    // The vertex buffer; it grows with the shape, so every point is drawn.
    std::vector<tpoint> polygon_;
};

tpoint shapedrawer::placexy(double sine, double cosine, double radius) const {
    const std::int64_t x = roundcoord(cosine * (eye_ * radius) * scale_) + centx_;
    const std::int64_t y = centy_ - roundcoord(sine * radius * scale_);
    return canvaspoint(x, y);
}

tpoint shapedrawer::calcxy(double angle, double radius) const {
    const double theta = angle * std::numbers::pi / 180.0;
    return placexy(std::sin(theta), std::cos(theta), radius);
}

tpoint shapedrawer::calcxy(int i) const {
    const double theta = r_.extractangleelement(i) * std::numbers::pi / 180.0;
    double s, c;
    memo_.get(static_cast<std::size_t>(i), theta, s, c);
    return placexy(s, c, r_.extractradiuselement(i));
}

void shapedrawer::DrawPolygon() {
    const std::int32_t oldbrush = t_.brushcolor();
    const std::int32_t oldpen = t_.pencolor();
    const int oldwidth = t_.penwidth();
    t_.setbrushcolor(r_.shapecolor);
    t_.setpencolor(r_.OutlineColor);
    t_.setpenwidth(r_.OutlineWidth);
    t_.Polygon(polygon_);
    t_.setbrushcolor(oldbrush);
    t_.setpencolor(oldpen);
    t_.setpenwidth(oldwidth);
}

void shapedrawer::run() {
    if (r_.borderdraw)
        t_.Rectangle(tocanvas(pleft_), tocanvas(ptop_), tocanvas(pleft_ + imwidth_), tocanvas(ptop_ + imheight_));

    n_ = r_.readcount();
    // A zero grid size gives no scale on that axis; the other axis decides.
    // With neither there is nothing to scale the shape by.
    const double sx = static_cast<double>(imwidth_) / r_.GridX;
    const double sy = static_cast<double>(imheight_) / r_.GridY;
    const bool okx = std::isfinite(sx), oky = std::isfinite(sy);
    if (!okx && !oky) return;
    scale_ = okx && oky ? std::min(sx, sy) : (okx ? sx : sy);
    centx_ = imwidth_ / 2 + pleft_;
    centy_ = imheight_ / 2 + ptop_;
    fixed_ = r_.hasfixedarea();

    drawoutline();
    if (n_ > 10) {
        if (r_.drawcross) drawcrossandsegment();
        if (r_.drawcentring) drawcentringlines();
        if (!r_.drawedgeslist.empty()) drawedgeticks();
    }
    if (n_ >= 1 && !r_.drawdrilllist.empty()) drawdrillholes();
    if (showtext_ && r_.a > 0 && r_.b > 0) drawdimensiontext();
}

void shapedrawer::drawoutline() {
    if (r_.polygondraw) {
        initpolygon();
        polygon_.reserve(static_cast<std::size_t>(n_));
        for (int i = 0; i < n_; ++i) addpolygon(calcxy(i));
        if (!polygon_.empty()) DrawPolygon();
        if (!fixed_) return;
        // The outline inside the fixed area, over the polygon: a run of
        // points in the area starts from the point before its first one.
        const std::int32_t oldpen = t_.pencolor();
        t_.setpencolor(r_.fixedcolor);
        bool inrun = false;
        for (int i = 0; i < n_; ++i) {
            if (!r_.infixedarea(r_.extractangleelement(i))) {
                inrun = false;
                continue;
            }
            if (!inrun) {
                const tpoint from = polygon_[static_cast<std::size_t>(i == 0 ? n_ - 1 : i - 1)];
                t_.MoveTo(from.x, from.y);
                inrun = true;
            }
            const tpoint to = polygon_[static_cast<std::size_t>(i)];
            t_.LineTo(to.x, to.y);
        }
        t_.setpencolor(oldpen);
        return;
    }
    if (n_ < 1) return;
    const std::int32_t oldpen = t_.pencolor();
    const tpoint last = calcxy(n_ - 1);
    t_.MoveTo(last.x, last.y);
    for (int i = 0; i < n_; ++i) {
        const double angle = r_.extractangleelement(i);
        t_.setpencolor(fixed_ && r_.infixedarea(angle) ? r_.fixedcolor : r_.shapecolor);
        const tpoint p = calcxy(i);
        t_.LineTo(p.x, p.y);
    }
    t_.setpencolor(oldpen);
}

void shapedrawer::drawcrossandsegment() {
    std::int64_t x = roundcoord(static_cast<double>(r_.crossx) * eye_ * scale_) + centx_;
    std::int64_t y = centy_ - roundcoord(r_.crossy * scale_);
    const std::int64_t arm = roundcoord(200 * scale_);  // 2 mm
    line(x - arm, y, x + arm, y);
    line(x, y - arm, x, y + arm);

    drawinfodefn& info = r_.drawinfo;
    if (!info.hasdata || info.segmentwidth == 0) return;
    x += roundcoord(info.insetx * scale_ * eye_);
    y += roundcoord(info.dropy * scale_);
    line(x - arm, y - arm, x + arm, y + arm);
    line(x + arm, y - arm, x - arm, y + arm);
    // A width below 100 is whole millimetres; it is kept in hundredths.
    if (info.segmentwidth < 100) info.segmentwidth = saturate32(std::int64_t{info.segmentwidth} * 100);
    const std::int64_t half = roundcoord((info.segmentwidth / 2) * scale_);
    const std::int64_t drop = roundcoord(500 * scale_);  // 5 mm
    line(x - half, y, x + half, y);
    line(x - half, y, x - half, y + drop);
    line(x + half, y, x + half, y + drop);
}

void shapedrawer::drawcentringlines() {
    const std::int64_t hw = imwidth_ / 2;
    const std::int64_t hh = (imheight_ / 2) / 2;
    line(centx_ - hw, centy_, centx_ + hw, centy_);
    line(centx_, centy_ - hh, centx_, centy_ + hh);
}

// Each tick runs 3 mm outward from its point on the edge, in its own colour,
// which the pen keeps afterwards. Ticks are drawn in both outline modes.
void shapedrawer::drawedgeticks() {
    initpolygon();
    for (const std::string& entry : r_.drawedgeslist) {
        std::string_view f[3];
        splitedgeentry(entry, f);
        const double angle = xstrtoreal(f[0]);
        const double radius = xstrtoreal(f[1]);
        const tpoint p1 = calcxy(angle, radius);
        const tpoint p2 = calcxy(angle, radius + 300);
        t_.setpencolor(xstrtoint(f[2]));
        t_.MoveTo(p1.x, p1.y);
        t_.LineTo(p2.x, p2.y);
    }
}

// The edge point of the outline at height y for an edge-referenced drill line:
// the point whose y comes nearest (within 1 mm) to y while scanning the part
// of the outline the reference names, taken once the distance grows again.
bool shapedrawer::findedgepoint(const drilllinedefn& dl, std::int64_t y, std::int64_t& edgex, std::int64_t& edgey) {
    // The coordinate lists must match the points; build them when missing or
    // out of date (this also sorts the points).
    if (r_.ylist.empty() || r_.ylist.count() != r_.readcount() || r_.xlist.count() != r_.readcount()) r_.makexylists();
    const int n = std::min({r_.readcount(), r_.xlist.count(), r_.ylist.count()});
    if (n < 1) return false;
    const int q = n / 4;
    const char side = dl.reflocation.size() > 1 ? dl.reflocation[1] : '\0';
    int lo, hi;
    if (side == 'N') {
        lo = y >= 0 ? 0 : 3 * q;
        hi = y >= 0 ? q : n - 1;
    } else {
        lo = q;
        hi = 3 * q;
    }
    hi = std::min(hi, n - 1);
    std::int64_t smallest = 9999;
    for (int k = lo; k <= hi;) {
        const std::int64_t d = std::llabs(std::int64_t{tradiilist::extractradius(r_.ylist[k])} - y);
        if (d >= 100) {
            k += 1 + (d > 200) + (d > 500) + (d > 1000);
        } else if (d <= smallest) {
            smallest = d;
            ++k;
        } else {
            edgey = tradiilist::extractradius(r_.ylist[k - 1]);
            edgex = tradiilist::extractradius(r_.xlist[k - 1]);
            return true;
        }
    }
    return false;
}

// Drill holes in the trace's own frame (the left-eye flip of the outline does
// not apply). A slot is drawn as a row of holes stepped at most 0.1 mm apart
// on each axis, at most 16 of them; repeats of the same box are drawn once.
void shapedrawer::drawdrillholes() {
    const std::int32_t oldpen = t_.pencolor();
    const std::int32_t oldbrush = t_.brushcolor();
    t_.setpencolor(r_.drillcolor);
    t_.setbrushcolor(r_.drillcolor);
    const char wanted = r_.drilleye == 'L' ? 'L' : 'R';
    trect last{0, 0, 0, 0};
    drilllinedefn dl;
    for (const std::string& entry : r_.drawdrilllist) {
        dl.decodedrill(entry);
        if (dl.eyecode != 'B' && dl.eyecode != wanted) continue;
        const std::int64_t stepx = std::clamp<std::int64_t>((std::int64_t{dl.endx} - dl.startx) / 10, -10, 10);
        const std::int64_t stepy = std::clamp<std::int64_t>((std::int64_t{dl.endy} - dl.starty) / 10, -10, 10);
        const std::int64_t half = dl.diameter / 2;
        const char ref = dl.reflocation.empty() ? '\0' : dl.reflocation[0];
        std::int64_t x = dl.startx, y = dl.starty;
        int passes = 0;
        do {
            bool draw = false;
            std::int64_t holex = 0;
            if (ref == 'C') {
                holex = dl.eyecode == 'B' && wanted == 'L' ? -x : x;
                draw = true;
            } else if (ref == 'E') {
                std::int64_t edgex = 0, edgey = 0;
                if (findedgepoint(dl, y, edgex, edgey)) {
                    y = edgey;
                    const char side = dl.reflocation.size() > 1 ? dl.reflocation[1] : '\0';
                    holex = side == 'T' ? edgex + x : edgex - x;
                    draw = true;
                    passes = 99;
                }
            }
            if (draw) {
                const trect box{tocanvas(roundcoord(static_cast<double>(holex - half) * scale_) + centx_),
                                tocanvas(roundcoord(static_cast<double>(-y - half) * scale_) + centy_),
                                tocanvas(roundcoord(static_cast<double>(holex + half) * scale_) + centx_),
                                tocanvas(roundcoord(static_cast<double>(-y + half) * scale_) + centy_)};
                if (!(box == last)) {
                    t_.Ellipse(box.left, box.top, box.right, box.bottom);
                    last = box;
                }
            }
            x += stepx;
            y += stepy;
            ++passes;
        } while (!((std::llabs(x - dl.endx) <= std::llabs(stepx) && std::llabs(y - dl.endy) <= std::llabs(stepy)) ||
                   passes > 15));
    }
    t_.setpencolor(oldpen);
    t_.setbrushcolor(oldbrush);
}

// The box size "A x B" in millimetres, on one line in the middle of the
// drawing box, on the shape colour.
void shapedrawer::drawdimensiontext() {
    t_.setfontsize(7);
    t_.setbrushcolor(r_.shapecolor);
    t_.setfontcolor(0);
    const std::string text = xint2tostr(r_.a) + "x" + xint2tostr(r_.b);
    t_.TextRect(tocanvas(pleft_), tocanvas(ptop_), tocanvas(pleft_ + imwidth_), tocanvas(ptop_ + imheight_), text,
                tfCenter | tfVerticalCenter | tfSingleLine);
}

}  // namespace

bool tradiilist::adddrawedgedata(std::int32_t radius, std::int32_t acolour, double angle) {
    try {
        drawedgeslist.add(xrealtostr(angle) + ":" + xinttostr(radius) + ":" + xinttostr(acolour));
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool tradiilist::drawshape(tcanvas& t, int imwidth, int imheight, int eyecode, bool ShowText) {
    return drawshaperel(t, 0, 0, imwidth, imheight, eyecode, ShowText);
}

bool tradiilist::drawshaperel(tcanvas& t, int pleft, int ptop, int imwidth, int imheight, int eyecode, bool ShowText) {
    try {
        shapedrawer d(*this, t, pleft, ptop, imwidth, imheight, eyecode, ShowText);
        d.run();
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

}  // namespace kestrune
