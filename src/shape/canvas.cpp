// The canvas interface's pen position and the recording canvas.
#include "kestrune/shape/canvas.hpp"

#include <utility>

namespace kestrune {

void tcanvas::MoveTo(int x, int y) {
    const tpoint p{x, y};
    domoveto(p);
    penpos_ = p;
}

void tcanvas::LineTo(int x, int y) {
    const tpoint p{x, y};
    dolineto(penpos_, p);
    penpos_ = p;
}

namespace {

void appendpoint(std::string& s, tpoint p) {
    s += std::to_string(p.x);
    s += ',';
    s += std::to_string(p.y);
}

void appendbox(std::string& s, const std::vector<tpoint>& pts) {
    if (pts.size() < 2) return;
    appendpoint(s, pts[0]);
    s += ',';
    appendpoint(s, pts[1]);
}

}  // namespace

std::string tcanvascall::str() const {
    std::string s;
    switch (op) {
        case rectangle:
            s = "Rectangle(";
            appendbox(s, points);
            break;
        case polygon:
            s = "Polygon(";
            for (std::size_t i = 0; i < points.size(); ++i) {
                if (i > 0) s += ' ';
                appendpoint(s, points[i]);
            }
            break;
        case moveto:
            s = "MoveTo(";
            if (!points.empty()) appendpoint(s, points[0]);
            break;
        case lineto:
            s = "LineTo(";
            if (points.size() >= 2) {
                appendpoint(s, points[0]);
                s += '-';
                appendpoint(s, points[1]);
            }
            break;
        case ellipse:
            s = "Ellipse(";
            appendbox(s, points);
            break;
        case textrect:
            s = "TextRect(";
            appendbox(s, points);
            s += ",'";
            s += text;
            s += "',";
            s += std::to_string(format);
            break;
    }
    s += ')';
    return s;
}

void trecordingcanvas::record(tcanvascall::kind op, std::vector<tpoint> points, std::string_view text,
                              unsigned format) {
    tcanvascall c;
    c.op = op;
    c.points = std::move(points);
    c.text = std::string(text);
    c.format = format;
    c.state = state();
    calls.push_back(std::move(c));
}

void trecordingcanvas::dorectangle(const trect& r) {
    record(tcanvascall::rectangle, {{r.left, r.top}, {r.right, r.bottom}});
}

void trecordingcanvas::dopolygon(std::span<const tpoint> points) {
    record(tcanvascall::polygon, std::vector<tpoint>(points.begin(), points.end()));
}

void trecordingcanvas::domoveto(tpoint p) { record(tcanvascall::moveto, {p}); }

void trecordingcanvas::dolineto(tpoint from, tpoint to) { record(tcanvascall::lineto, {from, to}); }

void trecordingcanvas::doellipse(const trect& r) {
    record(tcanvascall::ellipse, {{r.left, r.top}, {r.right, r.bottom}});
}

void trecordingcanvas::dotextrect(const trect& r, std::string_view text, unsigned format) {
    record(tcanvascall::textrect, {{r.left, r.top}, {r.right, r.bottom}}, text, format);
}

std::vector<std::string> trecordingcanvas::strs() const {
    std::vector<std::string> out;
    out.reserve(calls.size());
    for (const auto& c : calls) out.push_back(c.str());
    return out;
}

std::vector<tcanvascall> trecordingcanvas::callsof(tcanvascall::kind op) const {
    std::vector<tcanvascall> out;
    for (const auto& c : calls)
        if (c.op == op) out.push_back(c);
    return out;
}

std::vector<tcanvasline> trecordingcanvas::lines() const {
    std::vector<tcanvasline> out;
    for (const auto& c : calls)
        if (c.op == tcanvascall::lineto && c.points.size() >= 2)
            out.push_back({c.points[0], c.points[1], c.state.pencolor, c.state.penwidth});
    return out;
}

}  // namespace kestrune
