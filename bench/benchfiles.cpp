#include "benchfiles.hpp"

#include <cmath>
#include <numbers>
#include <string_view>

#include "kestrune/document/omafile.hpp"
#include "kestrune/document/records.hpp"
#include "kestrune/support/text.hpp"
#include "kestrune/trace/packedtraces.hpp"
#include "kestrune/trace/radiilist.hpp"
#include "fixtures/packedwriters.hpp"

namespace kestrune::bench {
namespace {

constexpr std::string_view kLineEnd = "\r\n";

// The fields of a ";"-separated value.
std::vector<std::string> splitfields(std::string_view value) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t k = value.find(';', start);
        fields.emplace_back(value.substr(start, k == std::string_view::npos ? std::string_view::npos : k - start));
        if (k == std::string_view::npos) break;
        start = k + 1;
    }
    return fields;
}

// The radii of one ASCII radius record value, read the way the extraction
// reads them: every ";" ends a point, text after the last one is a point
// when it is not empty.
void appendasciiradii(std::string_view value, std::vector<std::int32_t>& radii) {
    std::size_t start = 0;
    for (std::size_t k = 0; k < value.size(); ++k) {
        if (value[k] != ';') continue;
        radii.push_back(xstrtoint(value.substr(start, k - start)));
        start = k + 1;
    }
    if (start < value.size()) radii.push_back(xstrtoint(value.substr(start)));
}

}  // namespace

std::vector<std::int32_t> syntheticradii(int n) {
    // A superellipse |x/a|^4 + |y/b|^4 = 1: a box with rounded corners.
    constexpr double a = 2500, b = 1800, p = 4;
    std::vector<std::int32_t> radii;
    if (n <= 0) return radii;
    radii.reserve(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        const double t = 2 * std::numbers::pi * i / n;
        const double r =
            std::pow(std::pow(std::fabs(std::cos(t)) / a, p) + std::pow(std::fabs(std::sin(t)) / b, p), -1 / p);
        radii.push_back(static_cast<std::int32_t>(std::nearbyint(r)));
    }
    return radii;
}

std::string syntheticjob(int n, char notation) {
    const std::vector<std::int32_t> right = syntheticradii(n);
    // The left eye's outline is the right one mirrored about the vertical
    // axis: the point at angle t takes the radius at 180 - t.
    std::vector<std::int32_t> left(right.size());
    for (int i = 0; i < n; ++i)
        left[static_cast<std::size_t>(i)] = right[static_cast<std::size_t>(((n / 2 - i) % n + n) % n)];

    std::string text;
    const auto record = [&](std::string_view r) {
        text += r;
        text += kLineEnd;
    };
    record("JOB=BENCH" + std::to_string(n));
    record("REQ=FRM");
    record("FTYP=3");
    record("DBL=19.00");
    record("HBOX=50.00;50.00");
    record("VBOX=36.00;36.00");
    for (const auto& [eye, radii] : {std::pair<char, const std::vector<std::int32_t>*>{'R', &right},
                                     std::pair<char, const std::vector<std::int32_t>*>{'L', &left}}) {
        record("TRCFMT=1;" + std::to_string(n) + ";E;" + eye + ";F");
        std::string line;
        for (std::size_t i = 0; i < radii->size(); ++i) {
            line += line.empty() ? "R=" : ";";
            line += std::to_string((*radii)[i]);
            if (i % 10 == 9 || i + 1 == radii->size()) {
                record(line);
                line.clear();
            }
        }
    }
    record("DRILLE=B;C;-22.00;3.25;1.40;-22.00;3.25;0;1;F");
    record("DRILLE=B;C;22.00;4.35;1.40;22.00;4.35;0;1;F");
    if (notation == '1') return text;
    std::string error;
    return packedjob(text, notation, error);
}

std::string packedjob(const std::string& asciijob, char notation, std::string& error) {
    error.clear();
    if (notation != '3' && notation != '4') {
        error = std::string("no packed notation ") + notation;
        return {};
    }
    tomafileobj job;
    job.omastr = asciijob;
    job.omastrasansi = asciijob;
    job.omastrtolist();

    std::vector<std::string> out;
    std::vector<std::int32_t> radii;
    bool inblock = false;
    int blocks = 0;

    const auto closeblock = [&]() -> bool {
        inblock = false;
        std::string bytes;
        std::vector<std::int32_t> back;
        if (notation == '4') {
            bytes = fixtures::escaped(fixtures::encodetrc4(radii));
            back = converttrcfmt4(unpackstr(bytes));
        } else {
            tradiilist writer;
            for (std::size_t i = 0; i < radii.size(); ++i)
                writer.addradiilist(360.0 * static_cast<double>(i) / static_cast<double>(radii.size()), radii[i]);
            bytes = writer.makebinaryradiilist(true).substr(2);
            back = decodetrc3(unpackstr(bytes), static_cast<std::int64_t>(radii.size()));
        }
        if (back != radii) {
            error = std::string("the notation ") + notation + " record does not give its radii back";
            return false;
        }
        out.push_back("R=" + bytes);
        radii.clear();
        return true;
    };

    for (const std::string& rec : job.omalist) {
        const trecordparts parts = splitrecord(rec);
        const std::string_view tag = parts.tag, value = parts.value;
        if (inblock && tag == "R") {
            appendasciiradii(value, radii);
            continue;
        }
        if (inblock && !closeblock()) return {};
        if (tag == "A") {
            error = "uneven traces (angle records) are not rewritten";
            return {};
        }
        if (tag == "TRCFMT") {
            std::vector<std::string> fields = splitfields(value);
            if (!fields.empty() && fields[0] == "1") {
                fields[0] = std::string(1, notation);
                std::string line = "TRCFMT=";
                for (std::size_t k = 0; k < fields.size(); ++k) line += (k ? ";" : "") + fields[k];
                out.push_back(std::move(line));
                inblock = true;
                ++blocks;
                continue;
            }
        }
        out.push_back(rec);
    }
    if (inblock && !closeblock()) return {};
    if (blocks == 0) {
        error = "no ASCII outline to rewrite";
        return {};
    }
    std::string text;
    for (const std::string& line : out) {
        text += line;
        text += kLineEnd;
    }
    return text;
}

}  // namespace kestrune::bench
