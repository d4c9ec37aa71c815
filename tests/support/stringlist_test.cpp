#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kestrune/support/stringlist.hpp"

namespace kestrune {
namespace {

std::vector<std::string> entries(const tstringlist& list) { return {list.begin(), list.end()}; }

TEST(StringList, LookupOfTagFindsFirstRecordIgnoringCase) {
    tstringlist list;
    list.add("R=2500;2501");
    list.add("r=1");
    list.add("JOB =7");
    EXPECT_EQ(list.value("R"), "2500;2501");
    EXPECT_EQ(list.value("r"), "2500;2501");
    EXPECT_EQ(list.value("JOB"), "");  // a blank before "=" hides the record
    EXPECT_EQ(list.indexofname("JOB"), -1);
}

TEST(StringList, LookupNeedsTheWholeTagFollowedByTheDelimiter) {
    tstringlist list;
    for (const char* r : {"TRCFMT=1;400;E;R;F", "TRCFMT=1;400;E;L;F", "R=1", "RX=2", "EMPTY=", "NODELIM",
                          "\xE9T\xE9= latin ", "=orphan"})
        list.add(r);

    struct Case {
        const char* tag;
        int index;
        const char* value;
    };
    const std::vector<Case> cases = {
        {"TRCFMT", 0, "1;400;E;R;F"},  // the first of two records
        {"trcfmt", 0, "1;400;E;R;F"},
        {"TRC", -1, ""},  // a prefix of a tag is not the tag
        {"R", 2, "1"},
        {"RX", 3, "2"},
        {"EMPTY", 4, ""},  // an empty value looks like a missing tag
        {"NODELIM", -1, ""},
        {"\xC9T\xC9", 6, " latin "},  // untrimmed; Latin-1 letters ignore case
        {"", 7, "orphan"},
        {"MISSING", -1, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(list.indexofname(c.tag), c.index) << c.tag;
        EXPECT_EQ(list.value(c.tag), c.value) << c.tag;
    }
}

TEST(StringList, OutOfRangeAccessIsHarmless) {
    tstringlist list;
    list.add("a");
    EXPECT_EQ(list[-1], "");
    EXPECT_EQ(list[1], "");
    list.set(5, "x");
    list.set(-1, "x");
    list.insert(2, "x");
    list.insert(-1, "x");
    list.remove(1);
    list.remove(-1);
    EXPECT_EQ(entries(list), std::vector<std::string>{"a"});

    list.insert(1, "c");  // at the end is allowed
    list.insert(0, "b");
    list.set(2, "d");
    EXPECT_EQ(entries(list), (std::vector<std::string>{"b", "a", "d"}));
    list.remove(1);
    EXPECT_EQ(entries(list), (std::vector<std::string>{"b", "d"}));
}

TEST(StringList, SortedListKeepsOrderWithoutRegardToCase) {
    tstringlist list(true, false);
    for (const char* s : {"delta", "Bravo", "alpha", "bravo", "Charlie", "BRAVO"}) list.add(s);
    // Equal texts keep the order in which they came.
    EXPECT_EQ(entries(list), (std::vector<std::string>{"alpha", "Bravo", "bravo", "BRAVO", "Charlie", "delta"}));
    EXPECT_EQ(list.add("beta"), 1);
    const int last = list.add("zulu");
    EXPECT_EQ(last, list.count() - 1);
    EXPECT_EQ(list.indexof("CHARLIE"), 5);
    EXPECT_EQ(list.indexof("echo"), -1);
}

TEST(StringList, SortedListIgnoresDuplicatesWhenAsked) {
    tstringlist errors(true, true);
    EXPECT_EQ(errors.add("Too few points"), 0);
    EXPECT_EQ(errors.add("Bad radius"), 0);
    EXPECT_EQ(errors.add("too FEW points"), -1);
    EXPECT_EQ(entries(errors), (std::vector<std::string>{"Bad radius", "Too few points"}));

    // An unsorted list keeps duplicates.
    tstringlist plain(false, true);
    plain.add("a");
    plain.add("A");
    EXPECT_EQ(plain.count(), 2);
}

TEST(StringList, SortingLaterIsStable) {
    tstringlist list;
    for (const char* s : {"b", "A", "a", "C", "B"}) list.add(s);
    list.setsorted(true);
    EXPECT_EQ(entries(list), (std::vector<std::string>{"A", "a", "b", "B", "C"}));
    list.add("aa");
    EXPECT_EQ(list[2], "aa");
}

TEST(StringList, SetValueReplacesAppendsOrDeletes) {
    tstringlist list;
    list.add("A=1");
    list.add("B=2");
    list.add("a=3");

    list.setvalue("a", "9");  // the first match, whatever its case
    EXPECT_EQ(entries(list), (std::vector<std::string>{"a=9", "B=2", "a=3"}));
    list.setvalue("C", "4");
    EXPECT_EQ(entries(list), (std::vector<std::string>{"a=9", "B=2", "a=3", "C=4"}));
    list.setvalue("A", "");  // deletes only the first match
    EXPECT_EQ(entries(list), (std::vector<std::string>{"B=2", "a=3", "C=4"}));
    list.setvalue("MISSING", "");
    EXPECT_EQ(list.count(), 3);
}

TEST(StringList, SetValueKeepsASortedListInOrder) {
    tstringlist list(true, false);
    list.add("B=2");
    list.add("D=4");
    list.setvalue("C", "3");
    list.setvalue("A", "1");
    list.setvalue("D", "0");
    list.setvalue("B", "z");
    EXPECT_EQ(entries(list), (std::vector<std::string>{"A=1", "B=z", "C=3", "D=0"}));
    EXPECT_EQ(list.value("D"), "0");
}

}  // namespace
}  // namespace kestrune
