// The show-file sequence: everything the viewer does with one file, without
// a window. It reads the file, checks its trace, extracts the right-eye and
// left-eye traces, writes the dump of the right-eye radii and a picture of
// each traced eye into the working folder, and returns what the window must
// show. The viewer applies the result to its window; `kestrune-cli show`
// prints it.
#pragma once

#include <memory>
#include <string>

#include "kestrune/job/measurements.hpp"
#include "kestrune/support/stringlist.hpp"
#include "kestrune/trace/radiilist.hpp"

namespace kestrune {

// Size of the viewer's picture boxes, in pixels.
inline constexpr int pictureboxwidth = 105;
inline constexpr int pictureboxheight = 105;

// Suffix of the radii dump after the shown file's name.
inline constexpr const char* dumpsuffix = "_OMAData.csv";
// Prefix of the picture files, and the mask that finds them.
inline constexpr const char* pictureprefix = "__TMP_OMA_";
inline constexpr const char* picturemask = "__TMP*.jpeg";
// Age in days after which pictures left in the working folder are removed.
inline constexpr int picturekeepdays = 3;

// Text of the red line for a file that cannot be read; the reason follows.
inline constexpr const char* unreadablemessage = "The file could not be read: ";

// One eye's picture box.
struct tshownpicture {
    int points = 0;        // points of the eye's trace
    bool visible = false;  // the box shows the picture file
    // The picture file, set when the trace has enough points for a picture
    // (also when writing it failed, so that the clean-up still removes what
    // may be there); empty otherwise.
    std::string filename;
    bool written = false;  // the picture file was written
    std::string failure;   // why it was not, when it was not ("Permission denied", ...)
    // The eye's format text (blanks around its fields removed); empty when
    // the file has no format record for the eye.
    std::string format;
    // The trace is there but in a notation that is not decoded; notenotdecoded
    // then says so for the picture's place ("notation 6: not decoded").
    bool undecoded = false;
    std::string notenotdecoded;
    // The eye's measures, as kestrune-cli info gives them.
    teyemeasures measures;
    // The trace the picture was drawn from, kept so that the picture can be
    // drawn again at another size (redrawpicture); null when it has none.
    std::shared_ptr<const tradiilist> trace;
};

struct tshowfileresult {
    std::string caption;    // the window caption: the file name without its folder
    std::string source;     // the caption without its last extension
    std::string labeltext;  // the red line: verdict, a space, first detail message
    bool readable = false;  // the file could be read
    // Why it could not be, as the reading gave it ("No such file or
    // directory", "not a regular file", ...); empty when it could.
    std::string readfailure;
    // The file holds at least one record of the form TAG=VALUE (isomarecord);
    // an empty file or text of another kind holds none.
    bool holdsrecords = false;
    tstringlist lines;         // the record box's lines
    bool converted = false;    // lines are the records with traces rewritten as ASCII
    std::string dumpfilename;  // the radii dump; empty when none was written
    bool dumpwritten = false;
    std::string dumpfailure;  // why the dump was not written, when it was not
    tshownpicture right;      // the right-eye picture (lower left box)
    tshownpicture left;       // the left-eye picture (lower right box)
};

// The caption for a path: the part after the last "/" (the whole path when
// it has none).
std::string showfilecaption(const std::string& OMAfile);

// Runs the sequence for OMAfile with workingfolder (which must end in "/",
// as MyDocumentsPath() gives it) as the place for the dump and the pictures.
// The dump is "<source>_OMAData.csv"; the pictures "__TMP_OMA_<source>R.jpeg"
// and "__TMP_OMA_<source>L.jpeg", both drawn in the right eye's orientation
// at imwidth x imheight pixels. A file that cannot be read writes no dump
// (an earlier dump of the same name stays) and its label names the reason;
// a named pipe, a socket or a device is not a file to read ("The file could
// not be read: not a regular file") and is refused at once, never waited
// for; an empty OMAfile shows nothing and says nothing. Never throws.
tshowfileresult showfilesequence(const std::string& OMAfile, const std::string& workingfolder,
                                 int imwidth = pictureboxwidth, int imheight = pictureboxheight);

// What an eye's picture place says when it shows no picture: "no trace",
// "notation 6: not decoded", "8 points: too few to draw", or "picture not
// written: " and the reason. Empty when the picture is shown.
std::string picturenote(const tshownpicture& picture);

// Draws an eye's picture again at imwidth x imheight pixels into its file,
// from the trace the sequence kept: the viewer's boxes grow with the window.
// Sets written, visible and failure as the sequence does; false, with
// nothing done, for a picture without a trace.
bool redrawpicture(tshownpicture& picture, int imwidth, int imheight);

// The clean-up when the viewer closes: deletes the latest pictures (either
// name may be empty) and pictures older than three days in workingfolder.
// Returns the number of old pictures whose deletion was attempted, or -1.
int showfilecleanup(const std::string& rightfilename, const std::string& leftfilename,
                    const std::string& workingfolder);

}  // namespace kestrune
