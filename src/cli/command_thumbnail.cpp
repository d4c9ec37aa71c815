// thumbnail: the picture a file manager shows for an OMA file, made by the
// desktop's thumbnailer (share/thumbnailers/kestrune.thumbnailer).
//
// A thumbnailer runs on whatever lands in a folder, unasked, so the command
// bounds its work before reading: only a regular file of at most
// maxthumbnailbytes is read (a pipe or a device is refused at once, never
// waited for), and the picture is at most maxthumbnailside pixels a side.
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <string>

#include "cli.hpp"
#include "outputnames.hpp"
#include "kestrune/document/omafile.hpp"
#include "kestrune/shape/cairocanvas.hpp"
#include "kestrune/shape/picture.hpp"
#include "kestrune/trace/radiilist.hpp"

namespace kestrune::cli {
namespace {

// The sizes the desktop asks for are 128, 256, 512 and 1024 pixels.
constexpr int defaultthumbnailside = 128;
constexpr int maxthumbnailside = 1024;
// Real jobs are a few kilobytes; reading, checking and drawing this much
// takes a second or two at worst and a few times as much memory.
constexpr long long maxthumbnailbytes = 16LL * 1024 * 1024;

}  // namespace

// Draws the right-eye trace of FILE (the left-eye trace when the right one
// has too few points to draw) as the viewer draws it, on a white square of
// --size pixels (128 by default; a larger request than 1024 gets 1024), and
// writes it to OUT as PNG whatever OUT's name. Exit status 2, with a message,
// when FILE is not a regular file, is larger than 16 MiB, cannot be read,
// holds no trace to draw, is OUT itself, or OUT cannot be written.
int command_thumbnail(const tparsedargs& args, tcontext& ctx) {
    const tcommand& command = *findcommand("thumbnail");
    if (args.operands.size() != 2) return usageerror(ctx, command, "takes FILE and OUT");
    const std::string& filename = args.operands[0];
    const std::string& out = args.operands[1];
    int side = defaultthumbnailside;
    if (args.has("size")) {
        const std::string text = args.value("size");
        const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), side);
        if (text.empty() || ec == std::errc::invalid_argument || end != text.data() + text.size() || side < 1) {
            return usageerror(ctx, command, "--size takes a number of pixels: '" + text + "'");
        }
        // A number too large to read is a request above the largest side.
        if (ec == std::errc::result_out_of_range) side = maxthumbnailside;
        side = std::min(side, maxthumbnailside);
    }

    struct stat st {};
    if (::stat(filename.c_str(), &st) != 0) {
        ctx.error(filename + ": " + std::strerror(errno));
        return exitfailure;
    }
    if (S_ISREG(st.st_mode) && st.st_size > maxthumbnailbytes) {
        ctx.error(filename + ": too large for a thumbnail (" + std::to_string(st.st_size) + " bytes)");
        return exitfailure;
    }
    tomafileobj doc;
    if (!readdocument(filename, doc, ctx)) return exitfailure;
    if (refusedasinputitself("thumbnail", filename, out, ctx)) return exitfailure;

    tradiilist radlist, rightlist, leftlist;
    radlist.extractradiilistfromomalist2(doc.omalist, &rightlist, &leftlist, true);
    tradiilist& trace = rightlist.readcount() > minpicturepoints ? rightlist : leftlist;
    if (trace.readcount() <= minpicturepoints) {
        ctx.error(filename + ": no trace to draw");
        return exitfailure;
    }
    trace.findabed();
    const tcanvasrelease release;
    tcairobitmap bitmap(side, side);
    std::string reason = "the picture could not be drawn";
    // Both eyes are drawn as their traces hold them, as the viewer does.
    if (!bitmap.ok() || !trace.drawshape(bitmap.canvas(), side, side, rightcode, false) || !bitmap.ok() ||
        !writepng(bitmap, out, &reason)) {
        ctx.error(out + ": " + reason);
        return exitfailure;
    }
    return exitok;
}

}  // namespace kestrune::cli
