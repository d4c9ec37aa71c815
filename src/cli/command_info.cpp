// info: the measures of each eye's trace and the verdict of the trace check,
// as text for people or as one JSON object for programs.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "batch.hpp"
#include "cli.hpp"
#include "kestrune/document/omafile.hpp"
#include "kestrune/support/text.hpp"
#include "kestrune/trace/radiilist.hpp"
#include "kestrune/job/measurements.hpp"

namespace kestrune::cli {
namespace {

// What info reports of one eye: the measures the viewer shows, and what
// --msu and --radius ask for besides. Lengths in hundredths of a millimetre.
struct teyeinfo {
    teyemeasures measures;
    std::int32_t msu = 0;     // the smallest blank's diameter, when asked
    std::int32_t radius = 0;  // the radius at the angle asked for
};

// What --msu and --radius ask for besides the measures.
struct tshapequery {
    bool msu = false;
    std::int32_t hdec = 0, vdec = 0, allow = 0;  // hundredths of a millimetre
    bool radius = false;
    double angle = 0;
    std::string angletext;  // as given, for the text report
};

struct tfileinfo {
    std::string verdict;
    std::string detail;
    teyeinfo right, left;
};

teyeinfo measure(tradiilist& eye, const tshapequery& query) {
    teyeinfo info;
    info.measures = measureeye(eye);
    if (query.msu) info.msu = eye.calcmsu(query.allow, query.hdec, query.vdec);
    if (query.radius) info.radius = eye.findradiusforangle(query.angle);
    return info;
}

tfileinfo inspect(tomafileobj& doc, const tshapequery& query) {
    tfileinfo info;
    toutlineextraction outlines;
    info.verdict = checkoutlines(doc, outlines);
    info.detail = listentry(doc.errorslist, 0);
    info.right = measure(outlines.right, query);
    info.left = measure(outlines.left, query);
    return info;
}

// ---- text ----

void writeeye(tcontext& ctx, std::string_view name, const teyeinfo& info, const tshapequery& query) {
    const teyemeasures& eye = info.measures;
    std::string heading(name);
    heading += " eye:";
    auto field = [&ctx](std::string_view label, const std::string& value) {
        std::string line = "  ";
        line += label;
        line += ':';
        line.append(label.size() < 24 ? 24 - label.size() : 1, ' ');
        line += value;
        ctx.out.line(line);
    };
    if (eye.points == 0) {
        // A trace in a notation that is not read is there all the same.
        if (eye.undecoded) {
            ctx.out.line(heading);
            field("Format", eye.format + " (not decoded)");
        } else {
            ctx.out.line(heading + " no trace");
        }
        return;
    }
    ctx.out.line(heading);
    for (const auto& [label, value] : measurefields(eye)) field(label, value);
    if (query.msu) field("Smallest blank", millimetretext(info.msu));
    if (query.radius) field("Radius at " + query.angletext + " degrees", millimetretext(info.radius));
}

void writetext(tcontext& ctx, const std::string& filename, const tfileinfo& info, const tshapequery& query) {
    ctx.out.line("File: " + filename);
    ctx.out.line("Verdict: " + (info.verdict.empty() ? std::string("none") : info.verdict));
    if (!info.detail.empty()) ctx.out.line("Detail: " + info.detail);
    writeeye(ctx, "Right", info.right, query);
    writeeye(ctx, "Left", info.left, query);
}

// ---- JSON ----

// A name from the command line is kept when it is UTF-8 already (the usual
// case on Linux) and read as Latin-1 otherwise.
std::string nametoutf8(std::string_view name) { return isutf8(name) ? std::string(name) : latin1toutf8(name); }

nlohmann::ordered_json eyejson(const teyeinfo& info, const tshapequery& query) {
    const teyemeasures& eye = info.measures;
    nlohmann::ordered_json j;
    j["format"] = latin1toutf8(eye.format);
    j["points"] = eye.points;
    j["decoded"] = eye.points > 0;
    j["a"] = eye.a;
    j["b"] = eye.b;
    j["ed"] = eye.ed;
    j["edangle"] = eye.edangle;
    j["circ"] = eye.circ;
    j["fcirc"] = eye.fcirc;
    j["dbl"] = eye.dbl;
    j["drills"] = eye.drills;
    if (query.msu) j["msu"] = info.msu;
    if (query.radius) j["radius"] = info.radius;
    return j;
}

void writejson(tcontext& ctx, const std::string& filename, const tfileinfo& info, const tshapequery& query) {
    nlohmann::ordered_json j;
    j["file"] = nametoutf8(filename);
    j["verdict"] = latin1toutf8(info.verdict);
    j["detail"] = latin1toutf8(info.detail);
    j["right"] = eyejson(info.right, query);
    j["left"] = eyejson(info.left, query);
    // Every string is valid UTF-8 by now; replace keeps dump from throwing
    // should one ever not be.
    ctx.out.line(j.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace));
}

}  // namespace

// Text by default: the file, the verdict and its detail, then for each eye
// its format text, point count, box, effective diameter and its angle,
// circumference (the file's when it gives one) and computed circumference,
// bridge and number of drill records, lengths in millimetres with the
// regional decimal mark. With --json one JSON object on one line, lengths as
// whole hundredths of a millimetre; an eye without a trace has points 0.
// --msu adds the smallest blank diameter of each eye ("msu"), --radius the
// radius at an angle ("radius"). Over several files the text reports follow
// one another with an empty line between them, and --json writes one object
// per line (JSON Lines), in the order of the files.
int command_info(const tparsedargs& args, tcontext& ctx) {
    const tcommand& command = *findcommand("info");
    unsigned jobs = 1;
    if (!jobsoption(args, command, jobs, ctx)) return exitfailure;
    tshapequery query;
    if (args.has("msu")) {
        const std::string text = args.value("msu");
        std::vector<std::int32_t> v;
        if (!parsemillimetres(text, 2, v) || v.size() > 3) {
            return usageerror(ctx, command, "--msu takes HDEC,VDEC[,ALLOW] in millimetres, not '" + text + "'");
        }
        query.msu = true;
        query.hdec = v[0];
        query.vdec = v[1];
        query.allow = v.size() > 2 ? v[2] : 0;
    }
    if (args.has("radius")) {
        query.angletext = args.value("radius");
        if (!parsedegrees(query.angletext, query.angle)) {
            return usageerror(ctx, command, "--radius takes an angle in degrees, not '" + query.angletext + "'");
        }
        query.radius = true;
    }
    const bool json = args.has("json");
    const auto infofile = [&query, json](const tinputfile& file, std::size_t index, tcontext& c) {
        tomafileobj doc;
        if (!readdocument(file.path, doc, c)) return exitfailure;
        const tfileinfo info = inspect(doc, query);
        if (json) {
            writejson(c, file.path, info, query);
        } else {
            if (index > 0) c.out.put('\n');
            writetext(c, file.path, info, query);
        }
        return exitok;
    };
    tbatchresult result;
    return runinputs(findinputs(args.operands, ctx), jobs, infofile, ctx, result);
}

}  // namespace kestrune::cli
