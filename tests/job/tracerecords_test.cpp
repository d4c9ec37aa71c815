#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kestrune/document/records.hpp"
#include "kestrune/job/tracerecords.hpp"
#include "kestrune/support/settings.hpp"
#include "kestrune/support/stringlist.hpp"
#include "kestrune/support/text.hpp"

namespace kestrune {
namespace {

using tfate = ttracerecordfilter::tfate;

tstringlist listof(const std::vector<std::string>& records) {
    tstringlist list;
    for (const std::string& r : records) list.add(r);
    return list;
}

TEST(TraceRecords, FormatRecordsFeedTheTraceOfTheirTagAndEye) {
    const struct {
        const char* tag;
        const char* value;
        int trace;
    } cases[] = {
        {"TRCFMT", "1;400;E;R;F", rightradii},
        {"TRCFMT", "3;400;E;L;F", leftradii},
        {"TRCFMT", "1;400;E;B;F", leftradii},  // any eye but R is the left list's
        {"TRCFMT", "1;400;E", leftradii},
        {"TRCFMT", "  4;512 ;E; R;F", rightradii},
        {"ZFMT", "1;400;E;R;F", rightz},
        {"ZFMT", "", leftz},
        {"CRIBFMT", "1;400;E;R;F", -1},
        {"trcfmt", "1;400;E;R;F", -1},
        {"R", "2500", -1},
    };
    for (const auto& c : cases) EXPECT_EQ(fedtrace(c.tag, c.value), c.trace) << c.tag << "=" << c.value;
}

TEST(TraceRecords, SurveyKeepsTheLastFormatOfEachTrace) {
    const trecordsurvey s = surveyrecords(listof({
        "JOB=1",
        "TRCFMT=1;400;E;B;F",
        "R=1",
        "TRCFMT= 3;360 ;E;B;F",
        "R=2",
        "ZFMT=1;400;E;R;F",
        "Z=3",
    }));
    EXPECT_TRUE(s.anytracerecord);
    EXPECT_EQ(s.lastformat[leftradii], "3;360;E;B;F");
    EXPECT_EQ(s.lastformat[rightz], "1;400;E;R;F");
    EXPECT_EQ(s.lastformat[rightradii], "");
    EXPECT_FALSE(surveyrecords(listof({"JOB=1", " R=2", "RA=1"})).anytracerecord);

    // Only a trace with points and no format text of its own takes it.
    ttraceset traces;
    traces[leftradii].addradiilist(0, 2500);
    traces[rightz].addradiilist(0, 100);
    traces[rightz].trcfmtstr = "1;400;E;R;P";
    fillformats(traces, s);
    EXPECT_EQ(traces[leftradii].trcfmtstr, "3;360;E;B;F");
    EXPECT_EQ(traces[rightz].trcfmtstr, "1;400;E;R;P");
    EXPECT_EQ(traces[rightradii].trcfmtstr, "");
}

TEST(TraceRecords, RecordsOfTracesWithPointsGiveWayAndAllOthersStay) {
    // The right outline and the left depth trace have points.
    ttraceset traces;
    traces[rightradii].addradiilist(0, 2500);
    traces[leftz].addradiilist(0, 100);
    const struct {
        const char* record;
        tfate fate;
    } walk[] = {
        {"JOB=1", tfate::kept},
        {"R=1;2", tfate::kept},  // before any format record: no trace's
        {"TRCFMT=1;400;E;R;F", tfate::replacedformat},
        {"R=2500;2510", tfate::replaceddata},
        {"A=0;90", tfate::replaceddata},
        {"DBL=18", tfate::kept},
        {"CRIBFMT=1;400;E;R;F", tfate::kept},
        {"R=2600", tfate::kept},              // crib data
        {"TRCFMT=6;360;E;L;F", tfate::kept},  // the left outline gave no points
        {"R=packed", tfate::kept},
        {"ZFMT=1;400;E;L;F", tfate::replacedformat},
        {"Z=100", tfate::replaceddata},
        {"ZA=0", tfate::replaceddata},
        {"TRCFMT=1;400;E;R;F", tfate::replacedformat},
        {"STHKFMT=1;400;E;R;F", tfate::kept},
        {"R=300", tfate::kept},             // thickness data
        {"ZFMT=1;400;E;R;F", tfate::kept},  // no right depth trace
        {"Z=5", tfate::kept},
    };
    ttracerecordfilter filter(traces);
    for (const auto& step : walk) {
        const trecordparts parts = splitrecord(step.record);
        EXPECT_EQ(filter.classify(parts.tag, parts.value), step.fate) << step.record;
    }
}

TEST(TraceRecords, TracesAreWrittenAsAsciiRecords) {
    tradiilist right;
    for (int i = 0; i < 12; ++i) right.addradiilist(i * 30.0, 2500 + i);
    tstringlist out;
    out.add("JOB=1");
    writeasciitrace(right, true, "1;12;E;R;F", out);
    const std::vector<std::string> expected{
        "JOB=1",
        "TRCFMT=1;12;E;R;F",
        "R=2500;2501;2502;2503;2504;2505;2506;2507;2508;2509",
        "R=2510;2511",
    };
    EXPECT_EQ(out.items(), expected);

    // A depth trace, uneven: its angles follow its values.
    right.trcfmtstr = "1;12;U;R;F";
    tstringlist z;
    writeasciitrace(right, false, "1;12;U;R;F", z);
    ASSERT_EQ(z.count(), 5);
    EXPECT_EQ(z[0], "ZFMT=1;12;U;R;F");
    EXPECT_EQ(z[1].rfind("Z=2500;2501;", 0), 0u) << z[1];
    EXPECT_EQ(z[3].rfind("ZA=0;3000;6000;", 0), 0u) << z[3];
}

TEST(TraceRecords, BoxRecordsAreMillimetresWithAPointWhateverTheRegion) {
    tradiilist right, left;
    for (int i = 0; i < 12; ++i) right.addradiilist(i * 30.0, 2500);
    right.findabed(false);
    left.findabed(false);
    for (const char decimal : {'.', ','}) {
        setregionalsettings(decimal);
        EXPECT_EQ(boxrecords(right, left, false), (std::vector<std::string>{"HBOX=50.00;0.00", "VBOX=50.00;0.00"}));
        const std::vector<std::string> withcirc = boxrecords(right, left, true);
        ASSERT_EQ(withcirc.size(), 3u);
        EXPECT_EQ(withcirc[0], "CIRC=" + makedotchiral("", xint2tostr(right.circ()), "0.00"));
        EXPECT_EQ(withcirc[0].find(','), std::string::npos);
        EXPECT_EQ(withcirc[1], "HBOX=50.00;0.00");
    }
    setregionalsettings('.');
}

}  // namespace
}  // namespace kestrune
