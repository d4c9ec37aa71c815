#include <gtest/gtest.h>

#include "kestrune/support/stringlist.hpp"

namespace kestrune {
namespace {

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

}  // namespace
}  // namespace kestrune
