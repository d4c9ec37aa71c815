#include "kestrune/document/trcfmt.hpp"

#include <new>

#include "kestrune/support/stringlist.hpp"
#include "kestrune/support/text.hpp"

namespace kestrune {
namespace {

constexpr char kFieldDelimiter = ';';

// The first character of a field after blanks are removed at both ends;
// character 0 for an empty field.
char firstof(std::string_view field) { return firstchar(trimview(field)); }

}  // namespace

void ttrcfmtsetting::clear() {
    trcfmtmode = ' ';
    points = 0;
    spacing = ' ';
    eye = ' ';
    source = ' ';
}

void ttrcfmtsetting::copyfrom(const ttrcfmtsetting& other) {
    trcfmtmode = other.trcfmtmode;
    points = other.points;
    spacing = other.spacing;
    eye = other.eye;
    source = other.source;
}

void ttrcfmtsetting::decodetrcfmtstr(std::string_view s) {
    try {
        tstringlist fields;
        delimitedstrtolist(s, fields, kFieldDelimiter);
        while (fields.count() < 4) fields.add(std::string());
        trcfmtmode = firstof(fields[0]);
        if (trcfmtmode == '0') {
            // No trace: the other fields mean nothing, whatever they hold.
            points = 0;
            spacing = 'E';
            eye = 'B';
            source = 'F';
            return;
        }
        points = xstrtoint(fields[1]);
        spacing = firstof(fields[2]);
        eye = firstof(fields[3]);
        source = firstof(listentry(fields, 4));
    } catch (const std::bad_alloc&) {
        // Only an allocation can fail here: decode as an empty value.
        trcfmtmode = spacing = eye = source = '\0';
        points = 0;
    }
}

void ttrcfmtsetting::encodetrcfmtstr(std::string& s) const {
    // A field holding character 0 counts as empty, so a missing letter leaves
    // its place empty; the delimiter is passed in, the process-wide CSV
    // delimiter is neither read nor changed.
    const auto add = [&s](char c) { adddelimitedcsv(s, std::string_view(&c, 1), kFieldDelimiter); };
    try {
        s.clear();
        add(trcfmtmode);
        // Only the ASCII and the counted packed notations carry the point
        // count and the letters; "0" and "B" stand alone.
        if (trcfmtmode == '1' || trcfmtmode == '2' || trcfmtmode == '3' || trcfmtmode == '4') {
            adddelimitedcsv(s, xinttostr(points), kFieldDelimiter);
            add(spacing);
            add(eye);
            if (source != '\0') add(source);
        }
    } catch (const std::bad_alloc&) {
        s.clear();
    }
}

std::string trimformatfields(std::string_view value) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    const auto trimblanks = [&](std::string_view field) {
        while (!field.empty() && blank(field.front())) field.remove_prefix(1);
        while (!field.empty() && blank(field.back())) field.remove_suffix(1);
        return field;
    };
    std::string out;
    out.reserve(value.size());
    std::size_t start = 0;
    while (true) {
        const std::size_t end = value.find(kFieldDelimiter, start);
        out += trimblanks(value.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        if (end == std::string_view::npos) break;
        out += kFieldDelimiter;
        start = end + 1;
    }
    return out;
}

std::string makeasciifmt(std::string_view trcfmtstr) {
    if (trcfmtstr.empty()) return std::string();
    tstringlist fields;
    delimitedstrtolist(trcfmtstr, fields, kFieldDelimiter);
    if (fields.empty())
        fields.add("1");
    else
        fields.set(0, "1");
    std::string value;
    listtodelimitedstr(fields, value, kFieldDelimiter);
    return value;
}

bool opensothersection(std::string_view tag) { return tag == "CRIBFMT" || tag == "STHKFMT"; }

bool decodednotation(char notation) { return notation == '1' || notation == '3' || notation == '4' || notation == 'B'; }

char formateye(std::string_view value) {
    std::string_view field;
    if (!delimitedfield(value, 3, kFieldDelimiter, field)) return '\0';
    return firstof(field);
}

}  // namespace kestrune
