// Extraction of the right and left traces from the records of an OMA file,
// the decoding of one trace record value, the angle records as text, the
// frame data and explode.
#include <algorithm>
#include <cstdint>
#include <limits>
#include <memory>

#include "kestrune/document/omafile.hpp"
#include "kestrune/document/records.hpp"
#include "kestrune/support/text.hpp"
#include "kestrune/trace/packedtraces.hpp"
#include "kestrune/trace/radiilist.hpp"
#include "kestrune/document/trcfmt.hpp"

namespace kestrune {
namespace {

constexpr std::size_t kMaxSecondFieldChars = 30;

// Radii gathered (read from a record, or taken from a list) before they are
// added to a list together.
constexpr std::size_t kRadiiBatch = 64;

// The text after the first ";" of s, at most 30 characters; empty when s has
// no ";".
std::string_view aftersemicolon(std::string_view s) {
    const std::size_t k = s.find(';');
    if (k == std::string_view::npos) return {};
    return s.substr(k + 1, kMaxSecondFieldChars);
}

// Gives each radius its equal-spacing angle by the declared count (the
// spacing) and adds it, one after the other. A declared count of 0 leaves no
// angle to give, and the point bound stops the adding: the decoding fails.
bool addradii(tradiilist& r, const std::int32_t* radii, std::size_t n, tequalspacing& spacing) {
    if (n == 0) return true;
    if (spacing.spacing() == 0) return false;
    const int count = r.radiilist.count();
    const std::size_t room = count >= kMaxTracePoints ? 0 : static_cast<std::size_t>(kMaxTracePoints - count);
    r.addequalspacedradii(radii, std::min(n, room), spacing);
    if (n > room) {
        r.invalidnumberofpoints = true;
        return false;
    }
    return true;
}

// The notation (field 0) and the declared count (field 1) of a format text,
// as delimitedfield reads them; false when there is no count field. A
// format text without quotes, the rule, is plain runs between ";" and is
// read here in one pass; one with a quote goes to delimitedfield.
bool formatfields(std::string_view formatstr, std::string_view& notation, std::string_view& countfield) {
    if (formatstr.find('"') != std::string_view::npos) {
        if (!delimitedfield(formatstr, 1, ';', countfield)) return false;
        delimitedfield(formatstr, 0, ';', notation);
        notation = trimview(notation);
        return true;
    }
    const std::size_t first = formatstr.find(';');
    if (first == std::string_view::npos) return false;
    const std::size_t second = formatstr.find(';', first + 1);
    // Text after the last ";" is a field only when it is not empty.
    if (second == std::string_view::npos && first + 1 == formatstr.size()) return false;
    notation = trimview(formatstr.substr(0, first));
    countfield = second == std::string_view::npos ? formatstr.substr(first + 1)
                                                  : formatstr.substr(first + 1, second - first - 1);
    return true;
}

// Reads the field of an ASCII trace record that starts at p, as xstrtoint
// reads it, and returns where it ends (at the ";" after it, or at end). A
// field of one to nine digits and nothing else, by far the most common, is
// read in the same pass that finds its end; any other text goes to
// xstrtoint.
const char* asciiradius(const char* p, const char* const end, std::int32_t& radius) {
    const char* q = p;
    std::uint32_t v = 0;  // wraps on a long run of digits, which is not taken
    for (; q != end; ++q) {
        const std::uint32_t d = static_cast<unsigned char>(*q) - static_cast<std::uint32_t>('0');
        if (d > 9) break;
        v = v * 10 + d;
    }
    const std::ptrdiff_t digits = q - p;
    if ((q == end || *q == ';') && digits >= 1 && digits <= 9) {
        radius = static_cast<std::int32_t>(v);
        return q;
    }
    while (q != end && *q != ';') ++q;
    radius = xstrtoint(std::string_view(p, static_cast<std::size_t>(q - p)));
    return q;
}

// An angle record's value (hundredths of a degree) as a stored angle,
// 0 <= angle < 360. A value of a full turn or more, or below 0, is taken
// round the circle: written as it stands it would not fit the element's
// angle field and would spill into the radius.
double recordangle(std::int32_t hundredths) {
    const std::int32_t turn = 36000;
    std::int32_t h = hundredths % turn;
    if (h < 0) h += turn;
    return h / 100.0;
}

// Applies an angle list (angles in hundredths of a degree in the radius field)
// to a radii list of the same length, once: the flag records that it was done
// or tried.
void updateangles(const tradiilist& anglist, tradiilist& radlist, bool& flag) {
    if (flag) return;
    const int n = radlist.readcount();
    if (n >= 0 && anglist.readcount() == n) {
        for (int i = 0; i < n; ++i) {
            radlist.radiilist.setpoint(i, recordangle(anglist.extractradiuselement(i)),
                                       radlist.extractradiuselement(i));
        }
        if (n > 0 && radlist.extractangleelement(0) != 0) radlist.radiilist.sort();
    }
    flag = true;
}

bool addOMArecord(tradiilist& r, std::string_view s, std::string_view formatstr, bool angles);

// The working state of one extraction call.
class traceextractor {
public:
    traceextractor(tradiilist& result, tradiilist* rightlist, tradiilist* leftlist, bool trcfmt)
        : result_(result), trcfmt_(trcfmt) {
        trcfmttag_ = trcfmt ? "TRCFMT" : "ZFMT";
        radiustag_ = trcfmt ? "R" : "Z";
        angletag_ = trcfmt ? "A" : "ZA";
        // A list that is the result list itself, or the same list for both
        // eyes, cannot be filled beside it: it counts as not given.
        if (rightlist == &result) rightlist = nullptr;
        if (leftlist == &result || leftlist == rightlist) leftlist = nullptr;
        localright_ = rightlist == nullptr;
        localleft_ = leftlist == nullptr;
        if (localright_) {
            ownright_ = std::make_unique<tradiilist>();
            rightlist = ownright_.get();
        }
        if (localleft_) {
            ownleft_ = std::make_unique<tradiilist>();
            leftlist = ownleft_.get();
        }
        right_ = rightlist;
        left_ = leftlist;
    }

    bool run(const tstringlist& omalist);

private:
    void readformat(std::string_view value);
    void processradii();
    void addequallyspaced(const tradiilist& eye, int count);
    bool readrecords(const tstringlist& omalist);
    void addpendingright();
    void finish();

    tradiilist& result_;
    bool trcfmt_;
    std::string_view trcfmttag_, radiustag_, angletag_;

    tradiilist* right_ = nullptr;
    tradiilist* left_ = nullptr;
    std::unique_ptr<tradiilist> ownright_, ownleft_;
    tradiilist rightanglelist_, leftanglelist_;

    tstringlist traceformatlist_;
    std::string traceformatstr_;
    std::int32_t numberofpoints_ = 0;
    char eyechar_ = '\0';
    bool Zform_ = false;
    bool cribfmtfound_ = false;
    bool processingradii_ = false;
    tradiilist* uselist_ = nullptr;
    bool rightlistfound_ = false;
    bool anglesfound_ = false;
    bool dblfound_ = false;
    std::int32_t rightcirc_ = 0, leftcirc_ = 0;
    bool rightanglesupdated_ = false, leftanglesupdated_ = false;
    bool localright_ = false, localleft_ = false;
    // The right list's first pendingright_ points belong in the result list
    // at equal angles but are not stored yet (see processradii).
    int pendingright_ = 0;
};

// The format text is held with the blanks around its fields removed, so that
// a padded value reads and reports like a plain one.
void traceextractor::readformat(std::string_view value) {
    traceformatstr_ = trimformatfields(value);
    delimitedstrtolist(traceformatstr_, traceformatlist_, ';');
    numberofpoints_ = xstrtoint(listentry(traceformatlist_, 1));
}

// Adds the radii of the first count points of eye to the result list (just
// emptied, with room for them), point i at i / count * 360 degrees.
void traceextractor::addequallyspaced(const tradiilist& eye, int count) {
    tequalspacing spacing(count);
    std::int32_t batch[kRadiiBatch];
    for (int i = 0; i < count;) {
        std::size_t n = 0;
        for (; n < kRadiiBatch && i < count; ++n, ++i) batch[n] = eye.extractradiuselement(i);
        result_.addequalspacedradii(batch, n, spacing);
    }
}

// Stores the points of the right list that processradii left pending in
// the result list, flags unchanged (they were set then).
void traceextractor::addpendingright() {
    if (pendingright_ == 0) return;
    const int count = pendingright_;
    pendingright_ = 0;
    const std::int32_t last = result_.lastradiusadded, maxdiff = result_.maxradiusdiff;
    const bool badradius = result_.invalidradiifound, badz = result_.invalidzfound;
    result_.radiilist.reserve(count);
    addequallyspaced(*right_, count);
    result_.lastradiusadded = last;
    result_.maxradiusdiff = maxdiff;
    result_.invalidradiifound = badradius;
    result_.invalidzfound = badz;
}

// Closes a trace block: the block's points go into the result list (so its
// error flags see them), and a right block counts as found when it holds at
// least the declared number of points.
void traceextractor::processradii() {
    numberofpoints_ = xstrtoint(listentry(traceformatlist_, 1));
    const bool righteye = uselist_ == right_;
    if (righteye) {
        result_.radiilist.clear();
        pendingright_ = 0;
        const int count = right_->readcount();
        if (count >= numberofpoints_) {
            const bool useangles = rightanglelist_.readcount() > 0;
            if (useangles) {
                result_.radiilist.reserve(count);
                for (int i = 0; i < count; ++i)
                    result_.addradiilist(rightanglelist_.extractradiuselement(i) / 100.0,
                                         right_->extractradiuselement(i));
            } else {
                // finish replaces these points by the right list itself, so
                // only their flags are set now; the points are stored only
                // when the extraction stops before that (addpendingright).
                for (int i = 0; i < count; ++i) result_.noteradius(right_->extractradiuselement(i), i == 0);
                pendingright_ = count;
            }
            rightlistfound_ = true;
        } else {
            rightlistfound_ = false;
        }
    }
    if (!righteye && !rightlistfound_) {
        result_.radiilist.clear();
        pendingright_ = 0;
        const int count = left_->readcount();
        result_.radiilist.reserve(count);
        const bool useangles = leftanglelist_.readcount() > 0;
        if (useangles) {
            for (int i = 0; i < count; ++i)
                result_.addradiilist(leftanglelist_.extractradiuselement(i) / 100.0, left_->extractradiuselement(i));
        } else {
            addequallyspaced(*left_, count);
        }
        result_.swoplistandangle();
    }
    eyechar_ = ' ';
    processingradii_ = false;
}

bool traceextractor::run(const tstringlist& omalist) {
    // Start.
    result_.pdoffset = 0;
    result_.Zdata = !trcfmt_;
    result_.init();
    for (tradiilist* eye : {right_, left_}) {
        eye->checkinggoodtrace = result_.checkinggoodtrace;
        eye->decodedforcheckonly = false;
        eye->trcfmtstr.clear();
        eye->clearerrors();
    }
    result_.drawdrilllist.clear();
    result_.retracesetting.clear();
    result_.loadedjobnum.clear();

    try {
        if (!readrecords(omalist)) {
            addpendingright();
            return false;
        }
        if (processingradii_) processradii();
    } catch (const std::bad_alloc&) {
        addpendingright();
        throw;
    }
    finish();
    return result_.readcount() > 0;
}

// Reads the records in order; false when one cannot be decoded.
bool traceextractor::readrecords(const tstringlist& omalist) {
    for (const std::string& record : omalist) {
        const std::string_view s1 = record;
        const trecordparts parts = splitrecord(s1);
        const std::string_view tag = parts.tag, value = parts.value;
        const bool istracedata =
            (sametag(tag, radiustag_) || sametag(tag, angletag_)) && s1.size() > 2 && !cribfmtfound_;

        // A block is closed before the record that ends it is handled, so it
        // is closed under the format it was read with.
        if (!istracedata && !s1.empty() && processingradii_) processradii();

        if (tag == "DRILL" || tag == "DRILLE") result_.drawdrilllist.add(record);
        if (tag == "DBL" && !dblfound_) {
            result_.dbl =
                value.find(';') == std::string_view::npos ? xstrtoint2(value) : xstrtoint2(aftersemicolon(value));
            dblfound_ = result_.dbl != 0;
        }
        if (sametext(tag, "_RETRACE")) result_.retracesetting.assign(value);
        if (tag == "_JOBNUM") result_.loadedjobnum.assign(value);
        if (tag == "_PDOFFSET") result_.pdoffset = xstrtoint2(value);
        if (opensothersection(tag)) {
            cribfmtfound_ = true;
            // Crib data is read under its own format; the thickness section
            // leaves the outline's format as it is.
            if (tag == "CRIBFMT") readformat(value);
        }
        if (tag == "CIRC") {
            const std::size_t k = value.find(';');
            if (k != std::string_view::npos) {
                rightcirc_ = xstrtoint2(value.substr(0, k));
                leftcirc_ = xstrtoint2(aftersemicolon(value));
            } else {
                rightcirc_ = xstrtoint2(value);
            }
        }
        if (sametag(tag, trcfmttag_)) {
            readformat(value);
            Zform_ = tag == "ZFMT";
            eyechar_ = firstchar(listentry(traceformatlist_, 3));
            tradiilist* eye = eyechar_ == 'R' ? right_ : eyechar_ == 'L' ? left_ : nullptr;
            if (eye != nullptr) {
                if (!eye->trcfmtstr.empty()) eye->multipletrcfmt = true;
                eye->trcfmtstr.assign(traceformatstr_);
            }
            cribfmtfound_ = false;
        }
        if (tag == "ZFMT") cribfmtfound_ = false;

        if (istracedata) {
            // Any eye letter but "R" (also none at all) fills the left list.
            uselist_ = eyechar_ == 'R' ? right_ : left_;
            // The right list is about to change: points of it still owed to
            // the result list are stored first.
            if (uselist_ == right_) addpendingright();
            if (!processingradii_) uselist_->clear();
            uselist_->Zdata = Zform_;
            if (sametag(tag, radiustag_)) {
                if (!tradiilist::addOMAradii(*uselist_, value, traceformatstr_)) return false;
            } else {
                anglesfound_ = true;
                tradiilist& anglist = eyechar_ == 'R' ? rightanglelist_ : leftanglelist_;
                if (!addOMArecord(anglist, value, traceformatstr_, true)) return false;
            }
            processingradii_ = true;
        }
    }

    return true;
}

void traceextractor::finish() {
    pendingright_ = 0;
    result_.radiilist.clear();
    if (uselist_ != nullptr) {
        if (dblfound_) uselist_->dbl = result_.dbl;
        if (rightlistfound_) {
            updateangles(rightanglelist_, *right_, rightanglesupdated_);
            result_.radiilist = right_->radiilist;
        } else {
            updateangles(leftanglelist_, *uselist_, leftanglesupdated_);
            result_.radiilist = uselist_->radiilist;
            if (uselist_->drawdrilllist.empty() && !result_.drawdrilllist.empty())
                uselist_->drawdrilllist = result_.drawdrilllist;
            result_.mirrorshape(*uselist_);
        }
    }

    // Each eye is checked against the count its own format record declares
    // (the two eyes of a job may be traced at different counts); an eye
    // without a format record of its own takes the one read last.
    const auto checkeye = [&](tradiilist& eye, std::int32_t circ) {
        eye.fcirc = circ;
        eye.omacirc = circ;
        if (eye.dbl == 0) eye.dbl = result_.dbl;
        const int count = eye.readcount();
        std::int32_t declared = numberofpoints_;
        if (!eye.trcfmtstr.empty()) {
            std::string_view notation, countfield;
            if (formatfields(eye.trcfmtstr, notation, countfield)) declared = xstrtoint(countfield);
        }
        if (count > 0 && declared != 0 && count != declared) {
            eye.invalidnumberofpoints = true;
            eye.errordetail = eye.trcfmtstr + " Points=" + numstr(count);
        }
    };
    if (right_->readcount() > 10) {
        checkeye(*right_, rightcirc_);
        if (!localright_ && rightanglelist_.readcount() > 0 && right_ != uselist_)
            updateangles(rightanglelist_, *right_, rightanglesupdated_);
    }
    if (left_->readcount() > 10) {
        checkeye(*left_, leftcirc_);
        if (!localleft_ && leftanglelist_.readcount() > 0) updateangles(leftanglelist_, *left_, leftanglesupdated_);
    }

    if (rightlistfound_) {
        result_.fcirc = rightcirc_;
        result_.omacirc = rightcirc_;
        result_.trcfmtstr = right_->trcfmtstr;
    } else {
        result_.fcirc = leftcirc_;
        result_.omacirc = leftcirc_;
        result_.trcfmtstr = left_->trcfmtstr;
    }

    if (!result_.drawdrilllist.empty()) {
        if (right_->readcount() > 10) {
            right_->drilleye = 'R';
            right_->drawdrilllist = result_.drawdrilllist;
        }
        if (left_->readcount() > 10) {
            left_->drilleye = 'L';
            left_->drawdrilllist = result_.drawdrilllist;
        }
    }
}

}  // namespace

namespace {

// Angle records hold hundredths of a degree, 0 to 35999: in notations whose
// values are 16-bit, an angle from 327.68 degrees on is the unsigned reading
// of its 16 bits, not a negative value.
void asunsignedangles(std::vector<std::int32_t>& values) {
    for (std::int32_t& v : values)
        if (v < 0 && v >= -32768) v += 65536;
}

// Decodes one trace record value into r (see addOMAradii); angles is set for
// angle records.
bool addOMArecord(tradiilist& r, std::string_view s, std::string_view formatstr, bool angles) {
    if (formatstr.empty()) return true;
    // The notation and the declared count, read in place: this runs for
    // every record of a trace.
    std::string_view notation, countfield;
    if (!formatfields(formatstr, notation, countfield)) return false;
    const std::int32_t declared = xstrtoint(countfield);
    const int have = r.readcount();
    // A trace stops growing once it has its declared count, unless every
    // record is to be decoded so that surplus points show.
    if (!(have < declared || r.checkinggoodtrace)) return true;
    if (have >= declared) r.decodedforcheckonly = true;
    if (notation.empty()) return false;
    // Room for the declared count at once (within the point bound), so a
    // long trace is not copied each time its list grows. Only address space
    // is taken until points are stored.
    if (have == 0 && declared > 0) r.radiilist.reserve(std::min(declared, kMaxTracePoints));

    // The list keeps the stepping state of its angles from one record to
    // the next of the same trace.
    if (r.equalspacing.spacing() != declared) r.equalspacing = tequalspacing(declared);
    tequalspacing& spacing = r.equalspacing;
    const auto addall = [&](const std::vector<std::int32_t>& radii) {
        return addradii(r, radii.data(), radii.size(), spacing);
    };
    // Room left below the declared count, for the decoders that stop there;
    // no decoder produces more than one radius past the point bound, which
    // is enough for the bound to be seen.
    const std::int64_t bound = static_cast<std::int64_t>(kMaxTracePoints) + 1 - std::max(have, 0);
    const std::int64_t room = std::min(static_cast<std::int64_t>(declared) - std::max(have, 0), bound);

    switch (notation[0]) {
        case '1': {
            // ASCII: every ";" ends a point (an empty one reads as 0); the text
            // after the last ";" is a point only when it is not empty.
            // The radii are read in batches and added batch by batch.
            std::int32_t batch[kRadiiBatch];
            std::size_t n = 0;
            const char* p = s.data();
            const char* const end = p + s.size();
            while (p != end) {
                const char* const fieldend = asciiradius(p, end, batch[n]);
                if (++n == kRadiiBatch) {
                    if (!addradii(r, batch, n, spacing)) return false;
                    n = 0;
                }
                if (fieldend == end) break;
                p = fieldend + 1;
            }
            return addradii(r, batch, n, spacing);
        }
        case '3':
        case '4': {
            std::vector<std::int32_t> values =
                notation[0] == '3'
                    ? decodetrc3(unpackstr(s), room)
                    : converttrcfmt4(unpackstr(s), room, static_cast<std::size_t>(std::max<std::int64_t>(bound, 1)));
            if (angles) asunsignedangles(values);
            return addall(values);
        }
        case 'B':
            return addall(decodetrcb(unpackstr(s), room));
        default:
            // Other notations (also "2") are not decoded: no points.
            return true;
    }
}

}  // namespace

bool tradiilist::addOMAradii(tradiilist& r, std::string_view s, std::string_view formatstr) try {
    return addOMArecord(r, s, formatstr, false);
} catch (const std::bad_alloc&) {
    return false;
}

bool tradiilist::extractradiilistfromomalist2(const tstringlist& omalist, tradiilist* rightlist, tradiilist* leftlist,
                                              bool trcfmt) try {
    traceextractor extractor(*this, rightlist, leftlist, trcfmt);
    return extractor.run(omalist);
} catch (const std::bad_alloc&) {
    return false;
}

bool tradiilist::extractradiilistfromomalist(const tstringlist& omalist, bool trcfmt) {
    return extractradiilistfromomalist2(omalist, nullptr, nullptr, trcfmt);
}

bool tradiilist::extractradiilistfromomafile2(const std::filesystem::path& datafilename, tradiilist* r, tradiilist* l,
                                              bool trcfmt) try {
    dbl = 0;
    init();
    tomafileobj document;
    bool result = false;
    if (document.readomafile(datafilename)) {
        document.omastrtolist();
        result = extractradiilistfromomalist2(document.omalist, r, l, trcfmt);
    } else {
        retracesetting.clear();
        loadedjobnum.clear();
    }
    extractframedata(document.omalist);
    return result;
} catch (const std::bad_alloc&) {
    return false;
}

bool tradiilist::extractanglelistfromomalist2(const tstringlist& omalist, tstringlist& rightlist, tstringlist& leftlist,
                                              bool trcfmt) try {
    const std::string_view formattag = trcfmt ? "TRCFMT" : "ZFMT";
    const std::string_view angletag = trcfmt ? "A" : "ZA";
    tstringlist* current = nullptr;
    bool found = false;
    for (const std::string& record : omalist) {
        const trecordparts parts = splitrecord(record);
        const std::string_view tag = parts.tag, value = parts.value;
        if (tag == formattag) {
            current = formateye(value) == 'R' ? &rightlist : &leftlist;
            current->clear();
        } else if (tag == angletag && record.size() > 2) {
            // An angle record before any format record has no eye.
            if (current == nullptr) return false;
            current->add(record);
            found = true;
        }
    }
    return found;
} catch (const std::bad_alloc&) {
    return false;
}

std::int32_t tradiilist::vcaframetypetoqvt(std::int32_t ftyp, std::int32_t etyp, std::string_view ftypecodestr) {
    if (numericandspecified(ftypecodestr)) return xstrtoint(ftypecodestr);
    switch (ftyp) {
        case 2:
            return 1;
        case 3:
            return etyp == 3 ? 2 : 3;
        default:
            return 0;
    }
}

void tradiilist::extractframedata(const tstringlist& omalist) {
    framename = omalist.value("FRAM");
    framebridge = xstrtoint(omalist.value("BRGSIZ"));
    frameeye = xstrtoint(omalist.value("EYESIZ"));
    frameftyp = xstrtoint(omalist.value("FTYP"));
    frameetyp = xstrtoint(omalist.value("ETYP"));
    frametypecode = omalist.value("_FTYPECODE");
    frameqvttype = vcaframetypetoqvt(frameftyp, frameetyp, frametypecode);
}

void tradiilist::explode(std::int32_t delta) {
    const int n = readcount();
    for (int i = 0; i < n; ++i) {
        const std::string& old = element(i);
        // Kept inside 32 bits: a delta near the limits must not overflow.
        const std::int64_t radius = std::clamp<std::int64_t>(static_cast<std::int64_t>(extractradiuselement(i)) + delta,
                                                             std::numeric_limits<std::int32_t>::min(),
                                                             std::numeric_limits<std::int32_t>::max());
        std::string updated = old.substr(0, 7);
        updated += numstrx(static_cast<std::int32_t>(radius), 5);
        radiilist.set(i, std::move(updated));
    }
    // findabed sorts the points and rebuilds the coordinate lists itself.
    findabed();
    omacirc = 0;
}

}  // namespace kestrune
