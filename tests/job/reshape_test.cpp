#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <numbers>
#include <string>
#include <vector>

#include "kestrune/document/omafile.hpp"
#include "kestrune/document/records.hpp"
#include "kestrune/job/displayconversion.hpp"
#include "kestrune/job/reshape.hpp"
#include "kestrune/job/tracecheck.hpp"
#include "kestrune/support/settings.hpp"
#include "kestrune/support/stringlist.hpp"
#include "kestrune/support/text.hpp"
#include "kestrune/trace/radiilist.hpp"
#include "testsupport.hpp"

namespace kestrune {
namespace {

namespace fs = std::filesystem;
using Radii = std::vector<std::int32_t>;
using Records = std::vector<std::string>;

// ---- traces and jobs ----

// Radii of an ellipse with half-axes p along x and q along y at n equal angles.
Radii ellipse(int n, double p, double q) {
    Radii r;
    for (int i = 0; i < n; ++i) {
        const double t = 2 * std::numbers::pi * i / n;
        r.push_back(static_cast<std::int32_t>(std::nearbyint(p * q / std::hypot(q * std::cos(t), p * std::sin(t)))));
    }
    return r;
}

// ASCII records of a tag, ten values each.
Records ascii(const std::string& tag, const Radii& values) {
    Records out;
    for (std::size_t i = 0; i < values.size(); i += 10) {
        std::string record = tag + "=";
        for (std::size_t k = i; k < values.size() && k < i + 10; ++k) {
            if (k > i) record += ';';
            record += std::to_string(values[k]);
        }
        out.push_back(record);
    }
    return out;
}

Records packed3(const Radii& radii) {
    tradiilist r;
    for (std::size_t i = 0; i < radii.size(); ++i) r.addradiilist(static_cast<double>(i), radii[i]);
    return {r.makebinaryradiilist(true)};
}

Records block(const std::string& format, const Records& data) {
    Records out{format};
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

Records concat(std::initializer_list<Records> parts) {
    Records out;
    for (const Records& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

// A right ellipse 52 x 40 mm and a left circle of 50 mm, with recorded
// circumferences, a 3-D circumference, a box and a drill hole.
Records job(bool packed) {
    const Radii right = ellipse(400, 2600, 2000);
    const Radii left(400, 2500);
    return concat(
        {{"JOB=7", "DBL=18.5", "CIRC=150.25;149.75", "CIRC3D=151.00;150.50", "HBOX=52.00;50.00"},
         block(packed ? "TRCFMT=3;400;E;R;F" : "TRCFMT=1;400;E;R;F", packed ? packed3(right) : ascii("R", right)),
         block(packed ? "TRCFMT=3;400;E;L;F" : "TRCFMT=1;400;E;L;F", packed ? packed3(left) : ascii("R", left)),
         {"DRILLE=B;C;20.50;3.00;2.20"}});
}

tomafileobj document(const Records& records) {
    tomafileobj doc;
    for (const std::string& r : records) doc.omalist.add(r);
    return doc;
}

struct eyes {
    tradiilist right, left;
};
eyes traces(const tstringlist& records, bool outline = true) {
    eyes e;
    tradiilist shown;
    shown.extractradiilistfromomalist2(records, &e.right, &e.left, outline);
    return e;
}
eyes traces(const Records& records, bool outline = true) {
    tstringlist list;
    for (const std::string& r : records) list.add(r);
    return traces(list, outline);
}

// The records of a job reshaped; the reshaping must succeed.
tstringlist reshaped(const Records& records, const tshapechange& change) {
    tomafileobj doc = document(records);
    tstringlist out;
    EXPECT_EQ(reshapeoutlines(doc, out, change), treshapeoutcome::reshaped);
    return out;
}

tshapechange rotation(double degrees) {
    tshapechange c;
    c.rotate = true;
    c.degrees = degrees;
    return c;
}

tshapechange box(std::int32_t a, std::int32_t b) {
    tshapechange c;
    c.box = true;
    c.a = a;
    c.b = b;
    return c;
}

int counttag(const tstringlist& records, std::string_view tag) {
    int n = 0;
    for (const std::string& r : records) n += recordtag(r) == tag;
    return n;
}

// The tags of the records, in order, with each run of a trace's data
// records given once.
std::vector<std::string> tagsof(const tstringlist& records) {
    std::vector<std::string> tags;
    for (const std::string& r : records) {
        const std::string tag(recordtag(r));
        if (!tags.empty() && tags.back() == tag && (tag == "R" || tag == "A" || tag == "Z" || tag == "ZA")) continue;
        tags.push_back(tag);
    }
    return tags;
}

class Reshape : public ::testing::Test {
protected:
    void SetUp() override { setregionalsettings('.'); }
};

// ---- box ----

TEST_F(Reshape, BoxBringsBothOutlinesToTheSizeAndWritesTheBoxRecordsAfresh) {
    for (const bool packed : {true, false}) {
        SCOPED_TRACE(packed ? "packed" : "ASCII");
        const tstringlist out = reshaped(job(packed), box(5250, 3025));
        eyes after = traces(out);
        for (tradiilist* e : {&after.right, &after.left}) {
            EXPECT_EQ(e->readcount(), 400);
            e->findabed();
            EXPECT_LT(std::abs(e->a - 5250), 10) << e->a;
            EXPECT_LT(std::abs(e->b - 3025), 10) << e->b;
        }
        EXPECT_EQ(out.value("TRCFMT"), "1;400;E;R;F");
        for (const char* tag : {"HBOX", "VBOX", "CIRC"}) EXPECT_EQ(counttag(out, tag), 1) << tag;
        EXPECT_EQ(counttag(out, "CIRC3D"), 0) << "a 3-D circumference of the old shape";
        EXPECT_EQ(out.value("HBOX"), makedotchiral("", xint2tostr(after.right.a), xint2tostr(after.left.a)));
        EXPECT_EQ(out.value("VBOX"), makedotchiral("", xint2tostr(after.right.b), xint2tostr(after.left.b)));
        // The recorded circumference moves with the computed one.
        eyes before = traces(job(packed));
        before.right.findcirc();
        tradiilist newright = after.right;
        newright.findcirc();
        EXPECT_EQ(after.right.omacirc, 15025 + newright.fcirc - before.right.fcirc);
        // The other records stay as they are, in their order; the traces
        // stand where the first one did, the box records before the stamp.
        // (The conversion writes packed traces after the other records and
        // stamps its list; an ASCII job it leaves as it stands.)
        const std::vector<std::string> order =
            packed ? std::vector<std::string>{"JOB", "DBL",  "DRILLE", "TRCFMT", "R",       "TRCFMT",
                                              "R",   "CIRC", "HBOX",   "VBOX",   "_ASASCII"}
                   : std::vector<std::string>{"JOB", "DBL",    "TRCFMT", "R",    "TRCFMT",
                                              "R",   "DRILLE", "CIRC",   "HBOX", "VBOX"};
        EXPECT_EQ(tagsof(out), order);
        EXPECT_EQ(out.value("DBL"), "18.5");
        EXPECT_EQ(out.value("DRILLE"), "B;C;20.50;3.00;2.20");
    }
}

TEST_F(Reshape, UnevenTraceKeepsItsPointsAndAnglesAndRotateComesBeforeTheBox) {
    // 200 points, denser on the nasal side, with their angle records.
    Radii angles, radii;
    for (int i = 0; i < 200; ++i) {
        const double t = i < 100 ? i * 0.9 : 90 + (i - 100) * 2.7;
        angles.push_back(static_cast<std::int32_t>(std::nearbyint(t * 100)));
        const double rad = t * std::numbers::pi / 180;
        radii.push_back(static_cast<std::int32_t>(
            std::nearbyint(2600.0 * 2000.0 / std::hypot(2000.0 * std::cos(rad), 2600.0 * std::sin(rad)))));
    }
    const Records in = concat({block("TRCFMT=1;200;U;R;F", ascii("R", radii)), ascii("A", angles)});
    tshapechange both = box(4800, 3400);
    both.rotate = true;
    both.degrees = 30;
    const tstringlist out = reshaped(in, both);
    EXPECT_EQ(out.value("TRCFMT"), "1;200;U;R;F");
    EXPECT_EQ(counttag(out, "R"), 20);
    EXPECT_EQ(counttag(out, "A"), 20);
    eyes after = traces(out);
    ASSERT_EQ(after.right.readcount(), 200);
    after.right.findabed();
    EXPECT_LT(std::abs(after.right.a - 4800), 10);
    EXPECT_LT(std::abs(after.right.b - 3400), 10);
    // The points turned with their angles: the densest run now starts at 30
    // degrees, not at 0.
    const eyes turned = traces(reshaped(in, rotation(30)));
    EXPECT_NEAR(turned.right.extractangleelement(0), 0.0, 2.8);
    bool densefound = false;
    for (int i = 1; i < 200; ++i) {
        const double from = turned.right.extractangleelement(i - 1), to = turned.right.extractangleelement(i);
        if (std::abs(from - 30) < 0.01 && std::abs(to - 30.9) < 0.01) densefound = true;
    }
    EXPECT_TRUE(densefound);
}

// ---- rotate ----

TEST_F(Reshape, RotateTurnsOutlinesAndDepthTracesAndKeepsTheirSize) {
    Radii z;
    for (int i = 0; i < 400; ++i) z.push_back(100 + (i % 37));  // no period that a quarter turn hides
    const Records in = concat({{"JOB=8", "CIRC=160.00;0", "CIRC3D=151.00;150.50"},
                               block("TRCFMT=1;400;E;R;F", ascii("R", ellipse(400, 2600, 2000))),
                               block("ZFMT=1;400;E;R;F", ascii("Z", z))});
    const tstringlist out = reshaped(in, rotation(90));

    const eyes before = traces(in);
    eyes after = traces(out);
    ASSERT_EQ(after.right.readcount(), 400);
    after.right.findabed();
    EXPECT_NEAR(after.right.a, 4000, 2);
    EXPECT_NEAR(after.right.b, 5200, 2);
    // A quarter turn of 400 points moves each radius 100 places on.
    for (int i = 0; i < 400; i += 13) {
        EXPECT_EQ(after.right.extractradiuselement((i + 100) % 400), before.right.extractradiuselement(i)) << i;
    }
    const eyes zbefore = traces(in, false);
    const eyes zafter = traces(out, false);
    ASSERT_EQ(zafter.right.readcount(), 400);
    for (int i = 0; i < 400; i += 7) {
        EXPECT_EQ(zafter.right.extractradiuselement((i + 100) % 400), zbefore.right.extractradiuselement(i)) << i;
    }
    // A turn keeps the 3-D circumference and the recorded one.
    EXPECT_EQ(out.value("CIRC3D"), "151.00;150.50");
    EXPECT_EQ(out.value("CIRC"), "160.00;0.00");
    EXPECT_EQ(tagsof(out),
              (std::vector<std::string>{"JOB", "CIRC3D", "TRCFMT", "R", "ZFMT", "Z", "CIRC", "HBOX", "VBOX"}));

    // A whole turn changes no radius.
    const eyes same = traces(reshaped(in, rotation(-360)));
    EXPECT_EQ(same.right.radiilist.items(), before.right.radiilist.items());
}

TEST_F(Reshape, DepthTracesStayAsTheyAreUnlessTheyTurn) {
    Radii z(400, 120);
    const Records in = concat(
        {block("TRCFMT=3;400;E;R;F", packed3(ellipse(400, 2600, 2000))), block("ZFMT=1;400;E;R;F", ascii("Z", z))});
    tomafileobj doc = document(in);
    tstringlist plain;
    ASSERT_TRUE(omafileasascii(doc, plain, false, 0, false));
    const tstringlist out = reshaped(in, box(5000, 3000));
    // The depth records as the conversion wrote them.
    Records zplain, zout;
    for (const std::string& r : plain)
        if (recordtag(r) == "Z" || recordtag(r) == "ZFMT") zplain.push_back(r);
    for (const std::string& r : out)
        if (recordtag(r) == "Z" || recordtag(r) == "ZFMT") zout.push_back(r);
    EXPECT_EQ(zout, zplain);
}

// ---- what reaches the format records ----

TEST_F(Reshape, ChangedTracesKeepTheFormatValueTheConversionGaveThem) {
    const Radii right = ellipse(400, 2600, 2000);
    const struct {
        std::string format, written;
    } cases[] = {
        {"TRCFMT=1;400;E;R;F", "1;400;E;R;F"},
        {"TRCFMT=1;400;E;R;F;", "1;400;E;R;F;"},    // an ASCII file's value as it stands
        {"TRCFMT=  1;400 ;E; R;F", "1;400;E;R;F"},  // its fields trimmed
        {"TRCFMT=3;400;E;R;F;", "1;400;E;R;F"},     // a packed one as the listing writes it
        {"TRCFMT=1x;400;E;R;F", "1;400;E;R;F"},     // a notation read as ASCII is written "1"
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.format);
        const bool packed = c.format.rfind("TRCFMT=3", 0) == 0;
        const tstringlist out = reshaped(block(c.format, packed ? packed3(right) : ascii("R", right)), rotation(5));
        EXPECT_EQ(out.value("TRCFMT"), c.written);
        EXPECT_EQ(traces(out).right.readcount(), 400);
    }
}

TEST_F(Reshape, AFormatNamingNeitherEyeTakesTheLastOneThatFedTheTrace) {
    // Two traces for "both" eyes go to the left list, the later one replacing
    // the earlier: it is written under its own format record, with its count.
    const Records in = concat({block("TRCFMT=1;400;E;B;F", ascii("R", ellipse(400, 2600, 2000))),
                               block("TRCFMT=1;360;E;B;F", ascii("R", ellipse(360, 2400, 1900)))});
    const tstringlist out = reshaped(in, rotation(2.5));
    EXPECT_EQ(counttag(out, "TRCFMT"), 1);
    EXPECT_EQ(out.value("TRCFMT"), "1;360;E;B;F");
    EXPECT_EQ(counttag(out, "R"), 36);
    tomafileobj written = document(Records(out.begin(), out.end()));
    EXPECT_EQ(goodtrace(written, true), "");
    eyes after = traces(out);
    after.left.findabed();
    EXPECT_NEAR(after.left.a, 4800, 25);
}

// ---- refusals ----

// A 400-point outline whose records a stray record breaks in two halves.
Records interrupted() {
    const Records r = ascii("R", ellipse(400, 2600, 2000));
    Records out{"JOB=9", "TRCFMT=1;400;E;R;F"};
    out.insert(out.end(), r.begin(), r.begin() + 20);
    out.push_back("NOTE=interrupted");
    out.insert(out.end(), r.begin() + 20, r.end());
    return out;
}

TEST_F(Reshape, NothingToChangeOrNothingToDecodeIsRefusedWithTheConversionLeft) {
    const struct {
        const char* name;
        Records records;
        treshapeoutcome outcome;
    } cases[] = {
        {"no trace", {"JOB=1", "DBL=18"}, treshapeoutcome::nooutline},
        {"only a depth trace", block("ZFMT=1;400;E;R;F", ascii("Z", Radii(400, 100))), treshapeoutcome::nooutline},
        {"a notation not decoded", block("TRCFMT=6;360;E;R;F", {"R=abc"}), treshapeoutcome::packedtrace},
        // A trace broken off by another record: the rest of it reads as a
        // trace of its own that no format record announces. Written back, it
        // would have no format to be read under.
        {"trace records after their block", interrupted(), treshapeoutcome::unannouncedtrace},
        {"one eye decoded, the other not",
         concat({block("TRCFMT=3;400;E;R;F", packed3(Radii(400, 2500))), block("TRCFMT=6;360;E;L;F", {"R=abc"})}),
         treshapeoutcome::packedtrace},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        tomafileobj doc = document(c.records);
        tstringlist plain;
        ASSERT_TRUE(omafileasascii(doc, plain, false, 0, false));
        tstringlist out;
        out.add("STALE=1");
        EXPECT_EQ(reshapeoutlines(doc, out, rotation(5)), c.outcome);
        // What the conversion gave, unchanged but for its stamp.
        ASSERT_EQ(out.count(), plain.count());
        for (int i = 0; i < out.count(); ++i) {
            if (recordtag(out[i]) != "_ASASCII") {
                EXPECT_EQ(out[i], plain[i]) << i;
            }
        }
        EXPECT_EQ(packedformatrecord(out).empty(), c.outcome != treshapeoutcome::packedtrace);
    }
}

TEST_F(Reshape, WithoutAChangeTheConversionStandsAndAJobWithoutOutlineIsNoFault) {
    for (const Records& records : {job(true), Records{"JOB=1", "DBL=18"}}) {
        tomafileobj doc = document(records);
        tstringlist plain, out;
        ASSERT_TRUE(omafileasascii(doc, plain, false, 0, false));
        EXPECT_EQ(reshapeoutlines(doc, out, tshapechange{}), treshapeoutcome::reshaped);
        ASSERT_EQ(out.count(), plain.count());
        for (int i = 0; i < out.count() - 1; ++i) EXPECT_EQ(out[i], plain[i]) << i;
    }
    // A trace that stays packed is refused all the same.
    tomafileobj doc = document(block("TRCFMT=6;360;E;R;F", {"R=abc"}));
    tstringlist out;
    EXPECT_EQ(reshapeoutlines(doc, out, tshapechange{}), treshapeoutcome::packedtrace);
    EXPECT_EQ(packedformatrecord(out), "TRCFMT=6;360;E;R;F");
}

// ---- real files ----

TEST_F(Reshape, RealFilesTakeTheBoxAskedFor) {
    const fs::path samples = testing::real_samples_dir();
    if (samples.empty()) GTEST_SKIP() << "no real samples";
    int changed = 0;
    for (const auto& entry : fs::directory_iterator(samples)) {
        if (entry.path().extension() != ".oma") continue;
        SCOPED_TRACE(entry.path().filename().string());
        tomafileobj doc;
        ASSERT_TRUE(doc.readomafile(entry.path()) && doc.omastrtolist());
        tshapechange change = box(5000, 3550);
        change.rotate = true;
        change.degrees = 5;
        tstringlist out;
        const treshapeoutcome outcome = reshapeoutlines(doc, out, change);
        if (outcome == treshapeoutcome::packedtrace) continue;  // a notation that is not decoded
        ASSERT_EQ(outcome, treshapeoutcome::reshaped);
        eyes after = traces(out);
        for (tradiilist* e : {&after.right, &after.left}) {
            if (e->readcount() == 0) continue;
            e->findabed();
            EXPECT_LT(std::abs(e->a - 5000), 10);
            EXPECT_LT(std::abs(e->b - 3550), 10);
        }
        tomafileobj written = document(Records(out.begin(), out.end()));
        EXPECT_EQ(goodtrace(written, true), "");
        ++changed;
    }
    EXPECT_GT(changed, 0);
}

}  // namespace
}  // namespace kestrune
