// The radii list: one traced shape as points (angle and radius about the
// trace centre) with the measures, drawing settings and error flags the rest
// of the system attaches to a shape.
//
// Each point is an element: the angle with three decimals right-aligned in 7
// characters, then the radius right-aligned in at least 5 ("  0.000 2500").
// The angle field is read back from characters 1 to 7 and the radius field
// from characters 8 to 12. The lists hold elements in a numeric form (see
// tpointlist); what every accessor gives is what it would give on the text.
//
// This one header declares every operation of the class; each group of
// operations is implemented in its own source file, named in the comments
// below, in the layer whose services it uses: trace/ for the points, their
// records and their geometry, shape/ for drawing, pictures and the further
// shape operations. No file below shape/ calls the shape/ groups.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "kestrune/support/files.hpp"
#include "kestrune/support/stringlist.hpp"

namespace kestrune {

class tomafileobj;
class tcanvas;

// An ordered list of point elements: the points of a radii list, and its
// coordinate lists xlist and ylist (which carry x or y in the radius field).
//
// An element in the usual layout (an angle from 0 to 999.999 written with
// three decimals, then a radius from -9999 to 99999 in five characters) is
// held as two numbers and written as text only when asked for; any other
// text (a radius too wide for its field, a damaged element put in by hand)
// is held as it stands. Either way the text, the numbers read from it and
// the sort order are those of the element text.
class tpointlist {
public:
    int count() const { return static_cast<int>(points_.size()); }
    bool empty() const { return points_.empty(); }
    void clear();
    void reserve(int n);

    // The text of element i; empty text when i is out of range.
    std::string operator[](int i) const;
    // The angle field (characters 1 to 7) of element i read as a real, and
    // its radius field (characters 8 to 12) read as a whole number, as
    // tradiilist::extractangle and extractradius read them; 0 when i is out
    // of range.
    double angle(int i) const;
    std::int32_t radius(int i) const;
    // The text after the angle field of element i, without blanks at either
    // end: the whole radius, however wide.
    std::string radiustext(int i) const;
    // The angle of element i in thousandths of a degree when the element is
    // in the usual layout (angle(i) is then exactly thousandths / 1000);
    // false for any other element and when i is out of range.
    bool anglethousandths(int i, std::int32_t& thousandths) const;
    // xstrtoint(radiustext(i)) without making the text: the radius of an
    // element in the usual layout as it is held.
    std::int32_t radiustextvalue(int i) const;

    // Appends an element text (any text).
    void add(std::string_view element);
    // Appends tradiilist::combineangleradius(angle, radius).
    void addpoint(double angle, std::int32_t radius);
    // Appends the element of an angle already in thousandths of a degree
    // (0 to 999999) and a radius from -9999 to 99999; false, and nothing
    // appended, for a radius outside that range.
    bool addstandard(std::int32_t thousandths, std::int32_t radius);
    // Replace element i; nothing when i is out of range.
    void set(int i, std::string_view element);
    void setpoint(int i, double angle, std::int32_t radius);
    // Inserts before index i (0..count); ignored outside that range.
    void insert(int i, std::string_view element);
    // Removes element i; ignored when out of range.
    void remove(int i);

    // Sorts the elements by their texts in ascending order (comparetext),
    // equal texts keeping their order; a list in order is only checked.
    void sort();
    bool issorted() const;

    // Every element text, in order.
    std::vector<std::string> items() const;
    // The texts of a string list as elements.
    tpointlist& operator=(const tstringlist& texts);
    void swap(tpointlist& other) noexcept;
    // Two lists are equal when they hold the same element texts.
    friend bool operator==(const tpointlist& x, const tpointlist& y);

private:
    // An element in the usual layout: the angle in thousandths of a degree
    // (0 to 999999) and the radius. Any other element has angle kTextEntry
    // and its text in texts_ at index radius.
    struct entry {
        std::int32_t angle;
        std::int32_t radius;
    };
    static constexpr std::int32_t kTextEntry = -1;

    entry makeentry(std::string_view element);
    std::string_view textof(const entry& e) const { return texts_[static_cast<std::size_t>(e.radius)]; }
    bool less(const entry& x, const entry& y) const;

    std::vector<entry> points_;
    std::vector<std::string> texts_;
};

// The angles of points spaced equally by a count: point index of spacing
// lies at index / spacing * 360 degrees. thousandths gives that angle as
// the point list stores it (computed in doubles, three decimals, as
// tradiilist::addradiilist stores it), from an exact fraction that is
// stepped from one index to the next instead of divided out for each point.
class tequalspacing {
public:
    explicit tequalspacing(std::int32_t spacing);
    std::int32_t spacing() const { return spacing_; }
    // The double angle index / spacing * 360 as addradiilist is given it.
    double angle(std::int64_t index) const { return static_cast<double>(index) / spacing_ * 360.0; }
    // False when index is outside 0 <= index < spacing, or when the exact
    // angle lies so close to a half thousandth that only the double
    // arithmetic tells which way it rounds: the caller takes addradiilist.
    bool thousandths(std::int64_t index, std::int32_t& t);

private:
    std::int32_t spacing_;
    std::int64_t wholestep_ = 0, remstep_ = 0;  // 360000 / spacing as whole and remainder
    std::int64_t next_ = -1;                    // the index whole_ and rem_ belong to
    std::int64_t whole_ = 0, rem_ = 0;          // index * 360000 / spacing
};

// Segment marker drawn with a shape.
struct drawinfodefn {
    bool hasdata = false;
    std::int32_t insetx = 0;
    std::int32_t dropy = 0;
    std::int32_t segmentwidth = 0;
};

// The most points a trace read from a file holds. Real traces have a few
// thousand; the bound keeps a hostile record (a packed one yields up to two
// radii per byte) from growing the lists, the dump and the listing without
// end. A record that would go past it fails to decode: the extraction stops
// there, and the trace check reports the cut trace's count.
inline constexpr int kMaxTracePoints = 1000000;

// Eye codes for drawing.
inline constexpr int rightcode = 0;
inline constexpr int leftcode = 1;
inline constexpr int bothcode = 2;

// Verdict texts of goodtrace.
inline constexpr const char* kMultipleRadiiFormats = "Multiple radii formats";
inline constexpr const char* kInvalidNumberOfPoints = "Invalid number of points";
inline constexpr const char* kSuspectRadii = "Suspect radii found in the trace";
inline constexpr const char* kSuspectZ = "Suspect Z data found in the trace";

class tradiilist {
public:
    // ---- fields (public, as the rest of the system reads them) ----
    std::int32_t mina = 0, maxa = 0;
    std::int32_t minb = 0, maxb = 0;
    std::int32_t lastradiusadded = -1;
    tpointlist xlist, ylist;
    tpointlist radiilist;
    std::int32_t a = 0, b = 0;
    std::int32_t dbl = 0;
    std::int32_t ed = 0;
    std::int32_t fcirc = 0;
    std::int32_t omacirc = 0;
    std::int32_t edangle = 0;
    std::int32_t longestradius = 0, longestradiusangle = 0;
    std::int32_t pdoffset = 0;
    std::int32_t upper = 0, lower = 0, nasal = 0, temporal = 0, maxradius = 0;
    double maxradiusangle = 0;
    bool checkinggoodtrace = false;
    // Set by the decoding when, because checkinggoodtrace is set, it decoded
    // a record that it would otherwise have left alone; cleared when an
    // extraction starts.
    bool decodedforcheckonly = false;
    bool polygondraw = true, borderdraw = true;
    std::string trcfmtstr;
    bool smoothingout = false;
    bool drawcentring = false, drawcross = false;
    std::int32_t centreadiff = 0, centrebdiff = 0;
    std::int32_t crossx = 0, crossy = 0;
    std::string framename;
    std::int32_t framebridge = 0, frameeye = 0;
    std::int32_t frameqvttype = 0;
    std::int32_t frameftyp = 0, frameetyp = 0;
    std::string frametypecode;
    bool multipletrcfmt = false;
    bool multiplezfmt = false;
    bool invalidnumberofpoints = false;
    bool invalidradiifound = false;
    bool invalidzfound = false;
    std::int32_t maxradiusdiff = 0;
    std::string traceerrormessage;
    tstringlist drawedgeslist, drawdrilllist;
    std::int32_t fixedcolor = 65280, shapecolor = 14799057, drillcolor = 0;
    char drilleye = 'R';
    bool initrun = true;
    std::string loadedjobnum;
    std::string retracesetting;
    bool Zdata = false;
    drawinfodefn drawinfo;
    double fixstart = 0, fixend = 0;
    std::int32_t boxhtang = 0;
    std::string errordetail;
    std::int32_t OutlineColor = 0, OutlineWidth = 1;
    std::int32_t GridX = 8000, GridY = 8000;
    std::string lastjpegname;
    std::int32_t lastjpegcirc = 0;
    // The angle stepping of the trace records being decoded into this list
    // (addOMAradii), kept from one record to the next; it holds no data
    // of the list.
    tequalspacing equalspacing{0};

    // ---- life cycle (radiilist.cpp) ----
    tradiilist();  // create: runs init once
    void init();   // does nothing once initrun is true
    void clear();  // points and measures; keeps settings and flags
    void clearerrors();

    // ---- points (radiilist.cpp) ----
    void addradiilist(double angle, std::int32_t radius);
    // The error flags and the step record that adding radius sets, without
    // the point: what addradiilist does besides storing it. firstpoint: the
    // list is empty, so no step is checked.
    void noteradius(std::int32_t radius, bool firstpoint);
    // addradiilist(spacing.angle(index), radius), with the angle taken from
    // the exact fraction where that gives the same element.
    void addequalspaced(std::int64_t index, tequalspacing& spacing, std::int32_t radius);
    // addequalspaced(readcount(), spacing, radius) for each of the n radii
    // in turn.
    void addequalspacedradii(const std::int32_t* radii, std::size_t n, tequalspacing& spacing);
    static std::string combineangleradius(double angle, std::int32_t radius);
    static double extractangle(std::string_view element);
    static std::int32_t extractradius(std::string_view element);
    std::string radiuselement(int x) const;  // characters 8..12, untrimmed
    std::string angleelement(int x) const;   // characters 1..7, trimmed
    std::int32_t extractradiuselement(int x) const;
    double extractangleelement(int x) const;
    std::string element(int x) const;  // the whole element text; empty when out of range
    // Number of points. The point storage exists from construction on (the
    // constructor always runs init), so there is no "not initialised" state
    // and the result is never -1.
    int readcount() const;
    int count() const { return readcount(); }

    // ---- format queries (radiilist.cpp) ----
    bool binaryformat() const;
    bool unevenfmt() const;
    // The format text names a trace in a notation that is not decoded (such
    // as "2" or "6"): the trace is there, but gives no points.
    bool undecodednotation() const;

    // ---- verdict and fixed area (radiilist.cpp) ----
    bool goodtrace();
    bool hasfixedarea() const;
    bool infixedarea(double angle) const;

    // ---- extraction (trace/extraction.cpp) ----
    // Extracts the right and left traces of a record list. The outline pass
    // (trcfmt true) reads TRCFMT, R and A records, the Z pass ZFMT, Z and ZA.
    // rightlist and leftlist may be null (a temporary list is used then); a
    // list given is filled in place. This list receives the shape to show: the
    // right trace, or the mirror image of the left one when no complete right
    // trace was found. True when this list holds at least one point.
    bool extractradiilistfromomalist2(const tstringlist& omalist, tradiilist* rightlist, tradiilist* leftlist,
                                      bool trcfmt);
    bool extractradiilistfromomalist(const tstringlist& omalist, bool trcfmt);
    // The same from a file read afresh; false when it cannot be read. Also
    // takes the frame data from the file.
    bool extractradiilistfromomafile2(const std::filesystem::path& datafilename, tradiilist* r, tradiilist* l,
                                      bool trcfmt);
    // Gathers the angle records (A, or ZA when trcfmt is false) as whole record
    // texts, per eye of the format record before them. True when one was found.
    static bool extractanglelistfromomalist2(const tstringlist& omalist, tstringlist& rightlist, tstringlist& leftlist,
                                             bool trcfmt);
    void extractframedata(const tstringlist& omalist);
    // Adds delta (hundredths of a millimetre) to every radius.
    void explode(std::int32_t delta);
    // Decodes one trace record value s (bytes) under the format text formatstr
    // and appends its points to r. False when the format text makes decoding
    // impossible (no notation, no point count, or a count of 0 while every
    // record is decoded).
    static bool addOMAradii(tradiilist& r, std::string_view s, std::string_view formatstr);
    // The system's frame-type code from the FTYP and ETYP values, or from a
    // numeric _FTYPECODE value when there is one.
    static std::int32_t vcaframetypetoqvt(std::int32_t ftyp, std::int32_t etyp, std::string_view ftypecodestr);

    // ---- packed binary notations (trace/packedtraces.cpp) ----
    // The points as one notation "3" record: "R=" (or "Z=" when trcfmt is
    // false) and the escaped bytes. A step outside -127..127 is written as an
    // absolute radius so that every radius reads back.
    std::string makebinaryradiilist(bool trcfmt) const;

    // ---- conversions back to records (trace/conversions.cpp) ----
    // Replaces the content of datalist by the points as ASCII records: "R="
    // (or "Z=" when trcfmt is false) and up to 10 radii joined by ";", in list
    // order; for an unevenly spaced trace (unevenfmt) then "A=" (or "ZA=")
    // records of the angles in hundredths of a degree. No format record is
    // written. False, and nothing done, for a null list. (The point list is
    // a tpointlist, so it cannot be given as datalist and overwritten.)
    bool makeasciiradiilist(tstringlist* datalist, bool trcfmt) const;
    bool makeasciiradiilist(tstringlist& datalist, bool trcfmt) const { return makeasciiradiilist(&datalist, trcfmt); }
    // Appends (without emptying datalist) the angle records of the points,
    // "A=" or "ZA=", as makeasciiradiilist writes them for an uneven trace.
    bool makeasciianglelist(tstringlist* datalist, bool trcfmt) const;
    // Resamples the trace to its own number of points at equal angles from
    // 0 degrees and marks the format text "E" (a missing format text becomes
    // "1;n;E;R"). Always true.
    bool converttoeven();
    // converttoeven, then makeasciiradiilist.
    bool makeevenradiilist(tstringlist* datalist, bool trcfmt);
    bool makeevenradiilist(tstringlist& datalist, bool trcfmt) { return makeevenradiilist(&datalist, trcfmt); }
    // Rewrites the format text with npoints points and notation "3" (binary)
    // or "1"; nothing when there is no format text.
    void changetrcfmt(std::int32_t npoints, bool binary);

    // ---- radii dump (trace/radiidump.cpp) ----
    // Fills dbglist (emptied first) with a header line and one line per point
    // in angle order: index, angle, radius, x, y. Nothing, not even the header,
    // for a list without points. Sorts the points and rebuilds xlist and ylist.
    void datatodebuglist(tstringlist& dbglist);
    // The same lines as one text (emptied first), each line followed by CR LF
    // as savelinestofile writes them.
    void datatodebugtext(std::string& text);

    // ---- geometry, copy, mirror image, resampling (trace/geometry.cpp) ----
    void makexylists();  // sorts the points, rebuilds xlist and ylist
    // Box, effective diameter, extremes, radii; sorts the points and, unless
    // told otherwise, rebuilds xlist and ylist on the way (without them they
    // stay as they were, for a caller that only wants the measures).
    void findabed(bool rebuildxylists = true);
    void findcirc();          // fcirc from the points; unchanged when empty
    std::int32_t circ();      // omacirc when set, else the computed fcirc
    void swoplistandangle();  // mirror about the 90-270 degree axis
    // The copy routines do nothing for a null source.
    void load(const tstringlist* t);
    void load(const tstringlist& t) { load(&t); }
    void load(const tpointlist& t);
    void copyradii(const tradiilist* t);
    void copyradii(const tradiilist& t) { copyradii(&t); }
    void mirrorshape(const tradiilist* source);
    void mirrorshape(const tradiilist& source) { mirrorshape(&source); }
    // Resampling. convertshape ignores a target count outside
    // 1..maxresamplepoints (trace/geometry.hpp), reduceshape one below 1.
    // With straightline (or shapconvmidway set) a new point lies where the
    // chord between its two neighbours meets the ray at its angle, instead
    // of at the radius interpolated by angle.
    void convertshape(int pointsintarget, bool straightline = false);
    void reduceshape(int pointsintarget);

    // ---- drawing (shape/drawing.cpp) ----
    // Appends an edge tick "angle:radius:colour", the angle with two
    // decimals. False only when the entry cannot be stored.
    bool adddrawedgedata(std::int32_t radius, std::int32_t acolour, double angle);
    // Paints the shape with its marks, drill holes and optional box size on
    // t inside the drawing box (pleft, ptop, imwidth x imheight pixels);
    // eyecode leftcode mirrors the outline left to right. Reads a, b, xlist
    // and ylist as the geometry left them. False when the drawing stopped on
    // an error (a failing allocation); what was drawn until then stays.
    bool drawshape(tcanvas& t, int imwidth, int imheight, int eyecode, bool ShowText);
    bool drawshaperel(tcanvas& t, int pleft, int ptop, int imwidth, int imheight, int eyecode, bool ShowText);

    // ---- picture output (shape/picture.cpp) ----
    // Draws the shape on a white imwidth x imheight picture and writes it to
    // jpegfilename: PNG or SVG when the name ends in ".png" or ".svg", JPEG
    // otherwise. Asking again for the same name, size, eye code and text
    // setting while circ() is unchanged and the file exists writes nothing.
    // True when the file is up to date, false when drawing or writing failed;
    // reason, when given, then receives why ("Permission denied", ...). The
    // file is written as shape/picture.hpp says: never half-written, a
    // replaced picture keeping its permissions, a symbolic link staying one;
    // a scratch picture is not flushed to the disk.
    bool saveasjpeg(int imwidth, int imheight, int eyecode, const std::string& jpegfilename, bool ShowText,
                    std::string* reason = nullptr, tpersistence persistence = tpersistence::durable);
    // The picture request behind lastjpegname (size, eye code, text setting).
    struct tjpegrequest {
        int width = 0, height = 0, eyecode = 0;
        bool showtext = false;
        friend bool operator==(const tjpegrequest&, const tjpegrequest&) = default;
    };
    tjpegrequest lastjpegrequest;

    // ---- shape adjustment (shape/adjustment.cpp) ----
    // These change the shape through its coordinate lists (xlist, ylist) and
    // finish by rebuilding the points and, except makeradiilistfromxy, the
    // box measures. Lengths in hundredths of a millimetre.
    //
    // Replaces the points by those at the coordinates of xlist and ylist
    // (entries present in both), in list order, through addradiilist.
    void makeradiilistfromxy();
    // The same from coordinates given as numbers (x[i], y[i] for the entries
    // present in both), free of the width limit of the element text.
    void makeradiilistfromxy(const std::vector<std::int32_t>& x, const std::vector<std::int32_t>& y);
    // Whether the box is centred on the trace centre within 0.20 mm; false
    // when mina is 0.
    bool centred() const;
    // Shifts the shape so that its box centre is the trace centre; the shift
    // goes to centreadiff and centrebdiff. The shape is worked on at four
    // times its point count and brought back to its count unless smoothingout
    // is set.
    void centreshape();
    // Adds a degrees to every angle (the result brought into 0..360).
    void rotateshape(double a);
    // Stretches x by about xdiff on each side and y by about ydiff, from the
    // coordinate lists as the last measuring left them (made afresh when they
    // no longer have one entry per point).
    void adjustshape(std::int32_t xdiff, std::int32_t ydiff);
    // Stretches each side by its own amount; points in the fixed area stay,
    // and so does a side the shape does not reach.
    void adjustshapebyquadrant(std::int32_t nasaldiff, std::int32_t tempdiff, std::int32_t upperdiff,
                               std::int32_t lowerdiff);
    // Changes the circumference by about xdiff in up to four stretches;
    // returns the circumference reached. A circumference from the file
    // (omacirc) moves by the same amount as the computed one.
    std::int32_t adjustcirc(std::int32_t xdiff);
    // Brings the box to width newa and depth newb (100 or less: whole
    // millimetres) in up to five stretches, until both are within 0.10 mm.
    // Nothing when either is 0 or below.
    void amendshape(std::int32_t newa, std::int32_t newb);

    // ---- blank size and synthetic shapes (shape/blanksize.cpp) ----
    // Smallest blank diameter that holds the shape enlarged by allow, with
    // the blank centre at (hdec, vdec); 0 for a list without points.
    std::int32_t calcmsu(std::int32_t allow, std::int32_t hdec, std::int32_t vdec) const;
    // Appends the outline of a blank of diameter basedia (below 100: whole
    // millimetres) reduced by safetyallowance on the radius and seen from the
    // fitting point (hfitt, vfitt), then resamples to 128 points.
    void calcuncutdiashape(std::int32_t basedia, std::int32_t safetyallowance, std::int32_t hfitt, std::int32_t vfitt);
    // Builds a standard box-like shape for a blank of basedia whole
    // millimetres and returns the fitting values that go with it.
    void calcuncutdiashapev2(std::int32_t basedia, std::int32_t safetyallowance, std::int32_t hfitt, std::int32_t vfitt,
                             std::int32_t& pd, std::int32_t& ht, std::int32_t& htdir, std::int32_t& dbl);
    // Replaces the shape by a 2a x 2b rectangle whose corners are cut by the
    // circle of radius ed (or a, when ed is smaller), with npoints points at
    // equal angles. dbl has no effect. A count of 0 or less leaves no points;
    // a count above maxresamplepoints (trace/geometry.hpp) is refused.
    void makeabed(std::int32_t a, std::int32_t b, std::int32_t ed, std::int32_t dbl, std::int32_t npoints);

    // ---- radius lookup (shape/radiuslookup.cpp) ----
    // The radius of the shape at angle degrees, between the stored points
    // (which are read in their stored order); 0 for fewer than 10 points.
    std::int32_t findradiusforangle(double angle) const;
    // Distance from (x, y) to the nearest point of xlist and ylist as the last
    // makexylists left them; 999999 when there is none. angle is not used.
    std::int32_t findnearest(double angle, std::int32_t x, std::int32_t y) const;
    // The position 1.50 mm inside the edge at angle whole degrees; the centre
    // (0, 0) for a list of fewer than 10 points.
    void finddrillxy(std::int32_t angle, std::int32_t& x, std::int32_t& y) const;

    // ---- fitting calculations (shape/fitting.cpp) ----
    // The height ht (htdircode 3: from the box bottom, 4: from the top)
    // corrected by where the lower nasal edge meets the decentration of pd
    // (kestrune/shape/fitting.hpp); the angle found goes to boxhtang. Other
    // codes, and a list without points, give ht unchanged.
    std::int32_t calcboxht(std::int32_t ht, std::int32_t pd, std::int32_t framepd, std::int32_t htdircode);
};

}  // namespace kestrune
