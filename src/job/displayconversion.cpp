// The display conversion of an OMA document: a second record list in which
// every trace of the file is written as ASCII numbers, so that traces stored
// in a packed binary notation can be read in a text box or by any program.
// The same operation can also grow the outlines, give a missing eye the mirror
// image of the other and resample uneven traces to equal angles.
#include <array>
#include <ctime>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "kestrune/job/displayconversion.hpp"

#include "kestrune/document/records.hpp"
#include "kestrune/document/trcfmt.hpp"
#include "kestrune/job/tracerecords.hpp"
#include "kestrune/support/text.hpp"
#include "kestrune/trace/radiilist.hpp"

namespace kestrune {
namespace {

constexpr char kFieldDelimiter = ';';
constexpr std::string_view kStampPrefix = "QVT;";

// Records that start with a blank or a control character are left out of
// the converted list.
bool skipped(std::string_view record) { return record.empty() || static_cast<unsigned char>(record.front()) <= 32; }

// Whether a format value declares ASCII data, or no trace at all.
bool declaresascii(std::string_view value) {
    ttrcfmtsetting fmt;
    fmt.decodetrcfmtstr(value);
    return fmt.trcfmtmode == '1' || fmt.trcfmtmode == '0';
}

// The current local date and time, written the same way on every system so
// that a stamp reads and sorts alike wherever the file goes.
std::string nowtext() {
    const std::time_t t = std::time(nullptr);
    std::tm local{};
    if (t == static_cast<std::time_t>(-1) || localtime_r(&t, &local) == nullptr) return "0000-00-00 00:00:00";
    char buf[32];
    const std::size_t n = std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &local);
    return std::string(buf, n);
}

std::string stamp() {
    std::string s(kStampPrefix);
    s += nowtext();
    return s;
}

// Deletes the first record of the tag, when there is one.
void deleteit(tstringlist& list, std::string_view tag) { list.remove(list.indexofname(tag)); }

// Whether every format record of the list declares ASCII data (or no trace),
// so that nothing in the file needs converting.
bool allformatsascii(const tstringlist& omalist) {
    for (const std::string& record : omalist) {
        const trecordparts parts = splitrecord(record);
        if (parts.tag != "TRCFMT" && parts.tag != "ZFMT") continue;
        if (!declaresascii(parts.value)) return false;
    }
    return true;
}

// Gives an eye without a trace the mirror image of the other eye's trace.
void mirrormissingeye(tradiilist& right, tradiilist& left) {
    const bool hasright = right.readcount() > 0;
    const bool hasleft = left.readcount() > 0;
    if (hasright && !hasleft)
        left.mirrorshape(right);
    else if (hasleft && !hasright)
        right.mirrorshape(left);
}

// Fills a field given as "?" from the other one of a right-and-left pair.
void fillquestionmarks(tstringlist& newlist, const std::vector<std::string>& tags) {
    tstringlist fields;
    for (const std::string& tag : tags) {
        const std::string value = newlist.value(tag);
        delimitedstrtolist(value, fields, kFieldDelimiter);
        if (fields.count() < 2) continue;
        if (fields[0] == "?" && fields[1] != "?")
            fields.set(0, fields[1]);
        else if (fields[1] == "?" && fields[0] != "?")
            fields.set(1, fields[0]);
        else
            continue;
        std::string joined;
        listtodelimitedstr(fields, joined, kFieldDelimiter);
        newlist.setvalue(tag, joined);
    }
}

}  // namespace

std::string packedformatrecord(const tstringlist& newlist) {
    for (const std::string& record : newlist) {
        const trecordparts parts = splitrecord(record);
        if (!parts.hasvalue || (parts.tag != "TRCFMT" && parts.tag != "ZFMT")) continue;
        if (!declaresascii(parts.value)) return record;
    }
    return std::string();
}

bool omafileasascii(tomafileobj& oma, tstringlist* newlist, bool mirroring, std::int32_t deltachange, bool forceeven) {
    if (newlist == nullptr || newlist == &oma.omalist) return false;
    try {
        const bool eventest = !forceeven || oma.omafileiseven();
        // A file that says it was resized already is not resized again.
        if (!oma.omalist.value("_RESIZED").empty()) deltachange = 0;

        // Nothing to convert: the records as they stand. Every format record
        // is looked at, not only the first, so that a packed trace behind an
        // ASCII one is converted too.
        if (oma.omafileisascii() && deltachange == 0 && eventest && !mirroring && allformatsascii(oma.omalist)) {
            newlist->clear();
            newlist->reserve(oma.omalist.count());
            for (const std::string& record : oma.omalist) newlist->add(record);
            return true;
        }

        if (!oma.omastr.empty() && oma.omalist.empty()) oma.omastrtolist();
        newlist->clear();

        const trecordsurvey survey = surveyrecords(oma.omalist);
        ttraceset traces;
        tradiilist extractor;
        std::error_code ec;
        if (!oma.omadatafilename.empty() && std::filesystem::exists(std::filesystem::path(oma.omadatafilename), ec)) {
            // The traces as the file holds them now: read once for both passes.
            tomafileobj stored;
            if (stored.readomafile(oma.omadatafilename)) {
                stored.omastrtolist();
                extractor.extractradiilistfromomalist2(stored.omalist, &traces[rightradii], &traces[leftradii], true);
                extractor.extractradiilistfromomalist2(stored.omalist, &traces[rightz], &traces[leftz], false);
            }
        } else {
            extractor.extractradiilistfromomalist2(oma.omalist, &traces[rightradii], &traces[leftradii], true);
            extractor.extractradiilistfromomalist2(oma.omalist, &traces[rightz], &traces[leftz], false);
        }
        // The file may have changed since it was read, or the document may
        // not come from a file at all: when the file gave no outline but the
        // record list holds trace records, the outline comes from the list.
        // This happens before resizing and resampling, so both apply to it.
        // A file that exists but cannot be read gives no Z traces either;
        // they then come from the list as well.
        if (traces[rightradii].readcount() == 0 && traces[leftradii].readcount() == 0 && survey.anytracerecord) {
            extractor.extractradiilistfromomalist2(oma.omalist, &traces[rightradii], &traces[leftradii], true);
            if (traces[rightz].readcount() == 0 && traces[leftz].readcount() == 0)
                extractor.extractradiilistfromomalist2(oma.omalist, &traces[rightz], &traces[leftz], false);
        }

        // A trace cut at the point bound is not written out shortened: like
        // one that could not be decoded, its records are kept as they stand.
        for (tradiilist& list : traces.lists) {
            if (list.readcount() >= kMaxTracePoints) list.clear();
        }

        fillformats(traces, survey);

        // A trace resampled to equal angles has no angles of its own left.
        std::array<bool, 4> resampled{};
        if (forceeven) {
            for (int i = rightradii; i <= leftz; ++i) {
                if (!traces[i].unevenfmt()) continue;
                traces[i].converttoeven();
                resampled[static_cast<std::size_t>(i)] = true;
            }
        }
        if (deltachange != 0) {
            traces[rightradii].explode(deltachange);
            traces[leftradii].explode(deltachange);
        }
        if (mirroring) {
            mirrormissingeye(traces[rightradii], traces[leftradii]);
            mirrormissingeye(traces[rightz], traces[leftz]);
        }

        // The other records, in file order; the records of the traces
        // written below give way to them.
        {
            std::vector<std::string> questiontags;
            ttracerecordfilter filter(traces);
            newlist->reserve(oma.omalist.count());
            for (const std::string& record : oma.omalist) {
                if (skipped(record)) continue;
                const trecordparts parts = splitrecord(record);
                if (filter.classify(parts.tag, parts.value) != ttracerecordfilter::tfate::kept) continue;
                if (mirroring && !istracetag(parts.tag) && parts.value.find('?') != std::string_view::npos)
                    questiontags.emplace_back(parts.tag);
                newlist->add(record);
            }
            if (mirroring) fillquestionmarks(*newlist, questiontags);
        }

        // The file's own angle records tell which traces carry angles of
        // their own. They are written again from the points, in ASCII: as
        // stored they follow the trace's packed notation, which the notation
        // "1" format record before them would misread, and an uneven trace
        // has its angles written already.
        std::array<tstringlist, 4> fileangles;
        if (traces[rightradii].readcount() > 0 || traces[leftradii].readcount() > 0)
            tradiilist::extractanglelistfromomalist2(oma.omalist, fileangles[rightradii], fileangles[leftradii], true);
        if (traces[rightz].readcount() > 0 || traces[leftz].readcount() > 0)
            tradiilist::extractanglelistfromomalist2(oma.omalist, fileangles[rightz], fileangles[leftz], false);

        // processradlist: each trace with points as a format record of
        // notation "1", its radius records and its angle records.
        for (int i = rightradii; i <= leftz; ++i) {
            const tradiilist& list = traces[i];
            if (list.readcount() < 1) continue;
            const bool outline = isoutline(i);
            writeasciitrace(list, outline, makeasciifmt(list.trcfmtstr), *newlist);
            const auto k = static_cast<std::size_t>(i);
            if (!list.unevenfmt() && !resampled[k] && !fileangles[k].empty()) list.makeasciianglelist(newlist, outline);
        }

        // Box records. Without any outline there is no box to give, and
        // the file's own box records stay as they are.
        tradiilist& right = traces[rightradii];
        tradiilist& left = traces[leftradii];
        // The box is measured only when it is written: findabed also sorts
        // the points, which the circumference below is taken from. These
        // traces are dropped afterwards, so their coordinate lists are not
        // made.
        const auto measure = [&] {
            right.findabed(false);
            left.findabed(false);
        };
        if (traces.hasoutline()) {
            if (deltachange != 0 || mirroring) {
                measure();
                deleteit(*newlist, "HBOX");
                deleteit(*newlist, "VBOX");
                deleteit(*newlist, "CIRC");
                if (deltachange != 0) deleteit(*newlist, "CIRC3D");
                for (std::string& record : boxrecords(right, left, true)) newlist->add(std::move(record));
                if (mirroring) newlist->setvalue("_MIRRORED", stamp());
                if (deltachange != 0) {
                    newlist->setvalue("_RESIZED", stamp());
                    newlist->setvalue("_RESIZE", std::string(kStampPrefix) + xint2tostr(deltachange));
                }
            } else if (newlist->indexofname("HBOX") < 0) {
                measure();
                for (std::string& record : boxrecords(right, left, false)) newlist->add(std::move(record));
            }
        }

        newlist->setvalue("_ASASCII", stamp());
        return true;
    } catch (const std::bad_alloc&) {
        // Out of memory on a hostile file: no half-made list is left.
        newlist->clear();
        return false;
    }
}

}  // namespace kestrune
