// kestrune-cli thumbnail: the picture a file manager shows for a file. It is
// the picture render draws of the right eye (else the left), always PNG,
// square, at most 1024 pixels a side; it is made promptly, or refused, for
// whatever a folder holds.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "clirunner.hpp"
#include "fixtures/omafixtures.hpp"
#include "testsupport.hpp"

namespace fs = std::filesystem;

namespace kestrune {
namespace {

using fixtures::circle;
using fixtures::concat;
using fixtures::oval;
using fixtures::trace;
using fixtures::writeoma;
using testing::quoted;
using testing::read_file;
using testing::real_samples_dir;
using testing::runcli;
using testing::TempDir;

// Width and height from a PNG's header; (0, 0) when it is no PNG.
std::pair<int, int> pngsize(const fs::path& p) {
    const std::string bytes = read_file(p);
    if (bytes.size() < 24 || bytes.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0) return {0, 0};
    const auto be32 = [&](std::size_t at) {
        int v = 0;
        for (std::size_t i = at; i < at + 4; ++i) v = v * 256 + static_cast<unsigned char>(bytes[i]);
        return v;
    };
    return {be32(16), be32(20)};
}

// Which eye a thumbnail shows: the very picture render draws of it.
TEST(Thumbnail, IsTheRightShapeElseTheLeftAsRenderDrawsIt) {
    TempDir dir;
    struct tcase {
        const char* name;
        fixtures::records records;
        char eye;
    };
    const std::vector<tcase> cases = {
        {"both eyes", concat({trace('R', oval(400)), trace('L', circle(360, 2000))}), 'R'},
        {"right only", trace('R', oval(400)), 'R'},
        {"left only", trace('L', oval(400, 2200)), 'L'},
        {"right of ten points", concat({trace('R', circle(10, 2500)), trace('L', oval(400, 2200))}), 'L'},
        {"packed right", concat({trace('R', oval(400), true), trace('L', circle(360, 2000))}), 'R'},
    };
    for (const tcase& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path file = writeoma(dir / "job.oma", c.records);
        const testing::cliresult r = runcli("thumbnail -s 256 " + quoted(file) + " " + quoted(dir / "thumb.png"));
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out + r.err, "");
        ASSERT_EQ(runcli("render " + quoted(file) + " --eye " + c.eye + " -s 256x256 -o " + quoted(dir / "eye.png"))
                      .status,
                  0);
        EXPECT_EQ(read_file(dir / "thumb.png"), read_file(dir / "eye.png"));
    }
}

// The desktop names the output as it likes; it always gets a PNG, of the
// side asked for, 128 by default and never above 1024.
TEST(Thumbnail, AlwaysPngOfTheRequestedSideAtMost1024) {
    TempDir dir;
    const fs::path file = writeoma(dir / "job.oma", trace('R', oval(400)));
    struct tcase {
        std::string options;
        std::string out;
        int side;
    };
    const std::vector<tcase> cases = {
        {"", "a.png", 128},
        {"-s 48", "no-extension", 48},
        {"--size=512", "b.jpg", 512},
        {"--size 1024", "c.svg", 1024},
        {"-s 4096", "d.png", 1024},
        {"-s 99999999999999999999", "e.png", 1024},
    };
    for (const tcase& c : cases) {
        SCOPED_TRACE(c.options);
        const testing::cliresult r = runcli("thumbnail " + c.options + " " + quoted(file) + " " + quoted(dir / c.out));
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(pngsize(dir / c.out), std::make_pair(c.side, c.side));
    }
}

// What gets no thumbnail: the status is 2, a message says why, and nothing
// is written.
TEST(Thumbnail, RefusalsWriteNothing) {
    TempDir dir;
    const fs::path good = writeoma(dir / "good.oma", trace('R', oval(400)));
    const fs::path none = writeoma(dir / "none.oma", {"JOB=1", "DBL=18.00"});
    const fs::path ten = writeoma(dir / "ten.oma", concat({trace('R', circle(10, 2500)), trace('L', circle(9, 2500))}));
    // Past the size a thumbnailer reads; sparse, so it costs no disk.
    const fs::path huge = dir / "huge.oma";
    fs::copy_file(good, huge);
    fs::resize_file(huge, 17u * 1024 * 1024);
    ASSERT_EQ(::mkfifo((dir / "pipe.oma").c_str(), 0600), 0);
    struct tcase {
        std::string arguments;
        std::string message;
    };
    const fs::path out = dir / "out.png";
    const std::vector<tcase> cases = {
        {quoted(none) + " " + quoted(out), "no trace to draw"},
        {quoted(ten) + " " + quoted(out), "no trace to draw"},
        {quoted(huge) + " " + quoted(out), "too large for a thumbnail"},
        {quoted(dir / "pipe.oma") + " " + quoted(out), "not a regular file"},
        {quoted(dir / "missing.oma") + " " + quoted(out), "No such file or directory"},
        {quoted(dir.path()) + " " + quoted(out), "Is a directory"},
        {quoted(good) + " " + quoted(good), "OUT is FILE itself"},
        {quoted(good) + " " + quoted(good / "out.png"), "Not a directory"},
        {quoted(good), "missing FILE OUT"},
        {quoted(good) + " " + quoted(out) + " extra", "takes FILE and OUT"},
        {"-s 0 " + quoted(good) + " " + quoted(out), "--size takes a number of pixels"},
        {"-s 12x12 " + quoted(good) + " " + quoted(out), "--size takes a number of pixels"},
        {"-s -5 " + quoted(good) + " " + quoted(out), "--size takes a number of pixels"},
    };
    for (const tcase& c : cases) {
        SCOPED_TRACE(c.arguments);
        const auto start = std::chrono::steady_clock::now();
        const testing::cliresult r = runcli("thumbnail " + c.arguments);
        EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 5.0);
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_FALSE(fs::exists(out));
    }
}

// Every real file gets its thumbnail, except the one whose traces are in a
// notation that is not decoded, which gets none.
TEST(Thumbnail, RealSamples) {
    const fs::path real = real_samples_dir();
    if (real.empty()) GTEST_SKIP() << "no real samples";
    TempDir dir;
    int made = 0;
    for (const auto& entry : fs::directory_iterator(real)) {
        if (entry.path().extension() != ".oma") continue;
        SCOPED_TRACE(entry.path().string());
        const fs::path out = dir / (entry.path().stem().string() + ".png");
        const testing::cliresult r = runcli("thumbnail -s 256 " + quoted(entry.path()) + " " + quoted(out));
        if (entry.path().filename() == "TRCFMT6.oma") {
            EXPECT_EQ(r.status, 2);
            EXPECT_FALSE(fs::exists(out));
            continue;
        }
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(pngsize(out), std::make_pair(256, 256));
        ++made;
    }
    EXPECT_GE(made, 7);
}

}  // namespace
}  // namespace kestrune
