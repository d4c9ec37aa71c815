// render: the picture of one eye's trace as the viewer draws it, written as
// JPEG, PNG or SVG.
#include <charconv>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

#include "batch.hpp"
#include "cli.hpp"
#include "outputnames.hpp"
#include "kestrune/document/omafile.hpp"
#include "kestrune/shape/cairocanvas.hpp"
#include "kestrune/shape/picture.hpp"
#include "kestrune/support/text.hpp"
#include "kestrune/trace/radiilist.hpp"

namespace fs = std::filesystem;

namespace kestrune::cli {
namespace {

// The viewer's picture boxes.
constexpr int defaultsize = 105;
// A side larger than this would make a bitmap of hundreds of megabytes.
constexpr int maxside = 10000;

// Reads one side of WxH: digits only, 1..maxside.
bool readside(std::string_view text, int& side) {
    if (text.empty()) return false;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), side);
    return ec == std::errc() && end == text.data() + text.size() && side >= 1 && side <= maxside;
}

bool readsize(std::string_view text, int& width, int& height) {
    const std::size_t x = text.find_first_of("xX");
    return x != std::string_view::npos && readside(text.substr(0, x), width) && readside(text.substr(x + 1), height);
}

// Whether the name ends in an extension the picture writers know.
bool picturename(const fs::path& out) {
    const std::string ext = upcase(out.extension().string());
    return ext == ".JPEG" || ext == ".JPG" || ext == ".PNG" || ext == ".SVG";
}

// Draws one file's trace of eye into out.
int renderfile(const std::string& filename, const std::string& out, char eye, int width, int height, bool text,
               const tinputidentities* inputs, tcontext& ctx) {
    tomafileobj doc;
    if (!readdocument(filename, doc, ctx)) return exitfailure;
    // The input file is never replaced by its own picture, nor by another's.
    if (refusedasinputitself("render", filename, out, ctx)) return exitfailure;
    if (inputs && inputs->contains(out)) {
        ctx.error("render: " + out + ": is an input file; not overwritten");
        return exitfailure;
    }

    tradiilist radlist, rightlist, leftlist;
    radlist.extractradiilistfromomalist2(doc.omalist, &rightlist, &leftlist, true);
    tradiilist& trace = eye == 'L' ? leftlist : rightlist;
    if (trace.readcount() <= minpicturepoints) {
        ctx.error(filename + ": no " + (eye == 'L' ? "left" : "right") + "-eye trace to draw (" +
                  std::to_string(trace.readcount()) + " points)");
        return exitfailure;
    }
    // The box size that --text writes.
    trace.findabed();
    std::string reason;
    if (!trace.saveasjpeg(width, height, rightcode, out, text, &reason)) {
        ctx.error(out + ": " + reason);
        return exitfailure;
    }
    return exitok;
}

}  // namespace

tcanvasrelease::~tcanvasrelease() { releasecanvasresources(); }

// Draws the trace of the eye --eye names on a white picture of --size pixels
// (the viewer's 105 x 105 by default) with the initial drawing settings, as
// the viewer draws both eyes, and writes it to OUT in the format its
// extension names. --text writes the box size A x B into the picture. Exit
// status 2, with a message, when the file cannot be read, the eye has no
// trace the viewer would draw (10 points or fewer), or OUT cannot be written.
// Over several files OUT is a folder: each picture is named after its file
// (see outputnames.hpp) in the --format given, a line "FILE -> PICTURE" is
// printed for each one written, and a file that fails does not stop the
// others.
int command_render(const tparsedargs& args, tcontext& ctx) {
    const tcommand& command = *findcommand("render");
    const char eye = eyeoption(args, command, '\0', ctx);
    if (eye == '\0') return exitfailure;
    if (!args.has("output")) return usageerror(ctx, command, "missing -o OUT");
    const std::string out = args.value("output");
    int width = defaultsize, height = defaultsize;
    if (args.has("size") && !readsize(args.value("size"), width, height)) {
        return usageerror(ctx, command,
                          "--size takes WIDTHxHEIGHT in pixels, each 1 to " + std::to_string(maxside) + ": '" +
                              args.value("size") + "'");
    }
    const std::string format = args.value("format", "jpeg");
    if (format != "jpeg" && format != "png" && format != "svg") {
        return usageerror(ctx, command, "--format takes jpeg, png or svg, not '" + format + "'");
    }
    unsigned jobs = 1;
    if (!jobsoption(args, command, jobs, ctx)) return exitfailure;
    const bool text = args.has("text");

    if (args.operands.size() == 1 && !isfolder(args.operands.front())) {
        if (!picturename(out)) {
            return usageerror(ctx, command, "OUT must end in .jpeg, .jpg, .png or .svg: '" + out + "'");
        }
        const tcanvasrelease release;
        return renderfile(args.operands.front(), out, eye, width, height, text, nullptr, ctx);
    }

    // Several files: OUT is a folder, made when missing; a name that looks
    // like a single picture is refused rather than made a folder.
    if (refusedasfolder(out, picturename(out))) {
        return usageerror(ctx, command, "OUT must be a folder when several files are given: '" + out + "'");
    }
    const tinputs inputs = findinputs(args.operands, ctx);
    const std::vector<std::string> outputs =
        outputnames(inputs.files, out, std::string("_") + eye + "." + format, true);
    const tinputidentities identities(inputs.files);
    const tcanvasrelease release;
    tbatchresult result;
    return runinputs(
        inputs, jobs,
        [&](const tinputfile& file, std::size_t index, tcontext& c) {
            const int status = renderfile(file.path, outputs[index], eye, width, height, text, &identities, c);
            if (status == exitok) c.out.line(file.path + " -> " + outputs[index]);
            return status;
        },
        ctx, result);
}

}  // namespace kestrune::cli
