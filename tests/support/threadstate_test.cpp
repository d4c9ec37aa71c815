// What the file routines leave for their caller is the calling thread's own:
// a failure on one thread shows on that thread and on no other.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "kestrune/support/files.hpp"
#include "testsupport.hpp"

namespace kestrune {
namespace {

TEST(ThreadState, IoCodesAndCopyMessageArePerThread) {
    testing::TempDir dir;
    const std::string missing = (dir / "missing.oma").string();
    const std::string present = (dir / "present.oma").string();
    testing::write_file(present, "JOB=1\r\n");

    // This thread: a successful open and copy.
    ttextfile f;
    ASSERT_TRUE(opentextfileforread(f, present));
    ASSERT_TRUE(closetextfile(f));
    ASSERT_EQ(QVTCopyfile(present, (dir / "copy.oma").string()), 0);
    QVTLibiostatus = 0;

    int codethere = 0, statusthere = 0;
    std::string messagethere;
    std::thread other([&] {
        ttextfile g;
        EXPECT_FALSE(opentextfileforread(g, missing));
        codethere = QVTLibIOError;
        statusthere = QVTLibiostatus;
        EXPECT_NE(QVTCopyfile(missing, (dir / "other.oma").string()), 0);
        messagethere = QVTCopyfileerrormess();
    });
    other.join();

    EXPECT_EQ(codethere, 2);  // file not found
    EXPECT_EQ(statusthere, 2);
    EXPECT_FALSE(messagethere.empty());
    // Nothing of it shows here.
    EXPECT_EQ(QVTLibIOError, 0);
    EXPECT_EQ(QVTLibiostatus, 0);
    EXPECT_EQ(QVTCopyfileerrormess(), "");
}

}  // namespace
}  // namespace kestrune
