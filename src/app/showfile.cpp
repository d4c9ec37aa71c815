#include "showfile.hpp"

#include <new>
#include <utility>

#include "kestrune/document/omafile.hpp"
#include "kestrune/document/records.hpp"
#include "kestrune/document/trcfmt.hpp"
#include "kestrune/job/displayconversion.hpp"
#include "kestrune/job/tracecheck.hpp"
#include "kestrune/shape/picture.hpp"
#include "kestrune/support/files.hpp"
#include "kestrune/support/text.hpp"
#include "kestrune/trace/radiilist.hpp"
#include "workingfolder.hpp"

namespace kestrune {
namespace {

// Draws an eye's picture into picture.filename at imwidth x imheight. Both
// boxes show their shape as the right eye's is drawn. The pictures are drawn
// afresh at every show and at every new size, and removed when the viewer
// closes: scratch files, not flushed to the disk.
void drawpicture(tradiilist& trace, int imwidth, int imheight, tshownpicture& picture) {
    picture.failure.clear();
    picture.written = trace.saveasjpeg(imwidth, imheight, rightcode, picture.filename, false, &picture.failure,
                                       tpersistence::scratch);
    picture.visible = picture.written;
}

// Writes one eye's picture when its trace has enough points.
void makepicture(tradiilist& trace, const std::string& filename, int imwidth, int imheight, tshownpicture& picture) {
    picture.points = trace.readcount();
    picture.format = trace.trcfmtstr;
    picture.undecoded = trace.undecodednotation();
    if (picture.undecoded) {
        ttrcfmtsetting fmt;
        fmt.decodetrcfmtstr(trace.trcfmtstr);
        picture.notenotdecoded = "notation ";
        if (fmt.trcfmtmode != '\0') picture.notenotdecoded += fmt.trcfmtmode;
        picture.notenotdecoded += ": not decoded";
    }
    if (picture.points <= minpicturepoints) return;
    picture.filename = filename;
    drawpicture(trace, imwidth, imheight, picture);
}

// Measured after drawing, so that the picture is drawn from the trace as the
// extraction left it; the trace is then kept for drawing again.
void measureandkeep(tradiilist& trace, tshownpicture& picture) {
    picture.measures = measureeye(trace);
    if (!picture.filename.empty()) picture.trace = std::make_shared<const tradiilist>(std::move(trace));
}

}  // namespace

std::string showfilecaption(const std::string& OMAfile) {
    const std::size_t slash = OMAfile.rfind('/');
    return slash == std::string::npos ? OMAfile : OMAfile.substr(slash + 1);
}

tshowfileresult showfilesequence(const std::string& OMAfile, const std::string& workingfolder, int imwidth,
                                 int imheight) {
    tshowfileresult result;
    try {
        result.caption = showfilecaption(OMAfile);
        // Only the name part takes part in the names written below, so they
        // always stay inside the working folder.
        result.source = extractfilenameonly(result.caption);

        tomafileobj oma;
        result.readable = oma.readomafile(OMAfile);
        result.readfailure = oma.readfailure;
        oma.omastrtolist();

        // The verdict and the first detail message, a space between them.
        // The check decodes the traces on its way; when its lists are those
        // the extraction gives, they are taken as they are.
        toutlineextraction outlines;
        result.labeltext = checkoutlines(oma, outlines);
        result.labeltext += ' ';
        result.labeltext += listentry(oma.errorslist, 0);
        if (!result.readable && !OMAfile.empty()) result.labeltext = unreadablemessage + result.readfailure;
        for (const std::string& record : oma.omalist) {
            if (isomarecord(record)) {
                result.holdsrecords = true;
                break;
            }
        }

        tradiilist& rightlist = outlines.right;
        tradiilist& leftlist = outlines.left;

        // The right-eye radii, one line per point. A file that could not be
        // read has nothing to say, and must not empty an earlier dump.
        if (result.readable) {
            std::string dump;
            rightlist.datatodebugtext(dump);
            result.dumpfilename = workingfolder + result.source + dumpsuffix;
            result.dumpwritten = savetexttofile(dump, result.dumpfilename, &result.dumpfailure);
        }

        // Packed traces are listed as ASCII records; anything else as stored.
        if (rightlist.binaryformat() || leftlist.binaryformat()) {
            result.converted = omafileasascii(oma, result.lines, false, 0, false);
        }
        if (!result.converted) result.lines = std::move(oma.omalist);

        const std::string picturebase = workingfolder + pictureprefix + result.source;
        makepicture(rightlist, picturebase + "R.jpeg", imwidth, imheight, result.right);
        makepicture(leftlist, picturebase + "L.jpeg", imwidth, imheight, result.left);
        measureandkeep(rightlist, result.right);
        measureandkeep(leftlist, result.left);
    } catch (const std::bad_alloc&) {
        // Out of memory part-way: show what was gathered so far.
    }
    return result;
}

std::string picturenote(const tshownpicture& picture) {
    if (picture.visible) return std::string();
    if (!picture.filename.empty()) return "picture not written: " + picture.failure;
    if (picture.undecoded) return picture.notenotdecoded;
    if (picture.points == 0) return "no trace";
    return std::to_string(picture.points) + (picture.points == 1 ? " point" : " points") + ": too few to draw";
}

bool redrawpicture(tshownpicture& picture, int imwidth, int imheight) {
    if (!picture.trace || picture.filename.empty()) return false;
    try {
        tradiilist trace = *picture.trace;
        // Forget the picture the copy remembers writing, so that it is drawn
        // and written whatever size that one had.
        trace.lastjpegname.clear();
        drawpicture(trace, imwidth, imheight, picture);
    } catch (const std::bad_alloc&) {
        picture.written = false;
        picture.visible = false;
        picture.failure = "out of memory";
    }
    return picture.written;
}

int showfilecleanup(const std::string& rightfilename, const std::string& leftfilename,
                    const std::string& workingfolder) {
    if (!rightfilename.empty()) deletefile(rightfilename);
    if (!leftfilename.empty() && leftfilename != rightfilename) deletefile(leftfilename);
    clearioresult();
    return deleteoldfilesinfolder(workingfolder, picturemask, picturekeepdays);
}

}  // namespace kestrune
