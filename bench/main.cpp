// kestrune-bench: what the show-file pipeline costs against the I/O it cannot
// avoid (--ratio), and how the cost per point of the trace operations grows
// with the size of the trace (--scaling).
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "benchfiles.hpp"
#include "floor.hpp"
#include "kestrune/document/omafile.hpp"
#include "kestrune/shape/cairocanvas.hpp"
#include "kestrune/shape/picture.hpp"
#include "kestrune/support/files.hpp"
#include "kestrune/support/memory.hpp"
#include "kestrune/support/settings.hpp"
#include "kestrune/support/text.hpp"
#include "kestrune/trace/radiilist.hpp"
#include "kestrune/job/tracecheck.hpp"
#include "kestrune/job/displayconversion.hpp"
#include "measures.hpp"

#ifdef KESTRUNE_HAVE_SHOWFILE
#include "showfile.hpp"
#endif

namespace fs = std::filesystem;
using namespace kestrune;
using namespace kestrune::bench;

namespace {

constexpr const char* kUsage =
    "usage: kestrune-bench --ratio [--file FILE] [--notation 3|4] [--iterations N]\n"
    "       kestrune-bench --stages [--file FILE] [--notation 3|4] [--iterations N]\n"
    "       kestrune-bench --scaling [--quick]\n"
    "       kestrune-bench --write-sample FILE [--points N]\n"
    "\n"
    "--ratio     the viewer's show-file sequence (read, trace check, extraction,\n"
    "            dump, record listing, both pictures) against the floor (read and\n"
    "            split the file, encode and write two 105 x 105 JPEG pictures,\n"
    "            write a file of the dump's size), interleaved N times (default\n"
    "            201); prints both medians and, last, \"ratio X.XX\". FILE defaults\n"
    "            to the real two-eye 1000-point job R1000_3.oma beside the project,\n"
    "            else the bundled bench/two-eyes-1000.oma. --notation runs on the\n"
    "            file with its ASCII outlines rewritten in that packed notation.\n"
    "--stages    the median time of each step of the show-file sequence on the\n"
    "            same file, to see where the pipeline's time goes.\n"
    "--scaling   nanoseconds per point of extraction, trace check, geometry,\n"
    "            record listing, dump and drawing for traces of 360, 1000, 10000\n"
    "            and 100000 points, ASCII and packed; --quick takes short samples.\n"
    "--write-sample  writes a made-up two-eye ASCII job of N points (default 1000).\n";

constexpr int kExitUsage = 2;
constexpr int kExitFailure = 1;

struct options {
    bool ratio = false, stages = false, scaling = false, quick = false;
    std::string file, sample;
    char notation = '1';
    int iterations = 201;
    int points = 1000;
};

bool parseint(std::string_view s, int& out) {
    if (s.empty() || s.size() > 9) return false;
    int v = 0;
    for (const char c : s) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    out = v;
    return true;
}

bool parseoptions(int argc, char** argv, options& o) {
    for (int k = 1; k < argc; ++k) {
        const std::string_view a = argv[k];
        const auto next = [&](std::string_view& v) {
            if (k + 1 >= argc) return false;
            v = argv[++k];
            return true;
        };
        std::string_view v;
        if (a == "--ratio")
            o.ratio = true;
        else if (a == "--stages")
            o.stages = true;
        else if (a == "--scaling")
            o.scaling = true;
        else if (a == "--quick")
            o.quick = true;
        else if (a == "--file" && next(v))
            o.file = v;
        else if (a == "--write-sample" && next(v))
            o.sample = v;
        else if (a == "--notation" && next(v) && (v == "1" || v == "3" || v == "4"))
            o.notation = v[0];
        else if (a == "--iterations" && next(v) && parseint(v, o.iterations) && o.iterations > 0)
            continue;
        else if (a == "--points" && next(v) && parseint(v, o.points) && o.points >= 10 && o.points <= 360000)
            continue;
        else
            return false;
    }
    return (o.ratio ? 1 : 0) + (o.stages ? 1 : 0) + (o.scaling ? 1 : 0) + (o.sample.empty() ? 0 : 1) == 1;
}

// The job --ratio runs on when none is named.
std::string defaultjob() {
    std::vector<fs::path> candidates;
    if (const char* env = std::getenv("KESTRUNE_REAL_SAMPLES"); env && *env)
        candidates.push_back(fs::path(env) / "R1000_3.oma");
    candidates.push_back(fs::path(KESTRUNE_SOURCE_DIR).parent_path() / "shared" / "samples" / "real" / "R1000_3.oma");
    candidates.push_back(fs::path(KESTRUNE_SOURCE_DIR) / "bench" / "two-eyes-1000.oma");
    std::error_code ec;
    for (const fs::path& p : candidates)
        if (fs::is_regular_file(p, ec)) return p.string();
    return candidates.back().string();
}

bool writetext(const std::string& filename, const std::string& text) {
    return static_cast<bool>(writefilesafely(filename, text));
}

// A private working folder under the temporary folder, removed on exit.
class tempfolder {
public:
    tempfolder() {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/kestrune-bench-XXXXXX";
        if (::mkdtemp(pattern.data())) path_ = pattern + "/";
    }
    ~tempfolder() {
        std::error_code ec;
        if (!path_.empty()) fs::remove_all(path_, ec);
    }
    tempfolder(const tempfolder&) = delete;
    tempfolder& operator=(const tempfolder&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

int writesample(const options& o) {
    if (!writetext(o.sample, syntheticjob(o.points, '1'))) {
        std::fprintf(stderr, "kestrune-bench: cannot write %s\n", o.sample.c_str());
        return kExitFailure;
    }
    return 0;
}

// The job to run on: the named or default file, or its packed form written
// into the working folder. Empty after a failure, which it reports.
std::string preparejob(const options& o, const tempfolder& work) {
    if (work.path().empty()) {
        std::fprintf(stderr, "kestrune-bench: cannot make a working folder\n");
        return {};
    }
    std::string job = o.file.empty() ? defaultjob() : o.file;
    std::printf("file: %s\n", job.c_str());
    if (o.notation == '1') return job;

    tomafileobj source;
    if (!source.readomafile(job)) {
        std::fprintf(stderr, "kestrune-bench: cannot read %s\n", job.c_str());
        return {};
    }
    std::string error;
    const std::string packed = packedjob(source.omastrasansi, o.notation, error);
    const std::string name = work.path() + fs::path(job).stem().string() + "_notation" + o.notation + ".oma";
    if (packed.empty() || !writetext(name, packed)) {
        std::fprintf(stderr, "kestrune-bench: cannot rewrite %s in notation %c: %s\n", job.c_str(), o.notation,
                     error.c_str());
        return {};
    }
    std::printf("notation %c form: %s\n", o.notation, name.c_str());
    return name;
}

#ifdef KESTRUNE_HAVE_SHOWFILE
int ratio(const options& o) {
    tempfolder work;
    const std::string job = preparejob(o, work);
    if (job.empty()) return kExitFailure;

    // One run to check that the pipeline does its whole job on this file, and
    // to learn the size of the dump the floor writes.
    const tshowfileresult first = showfilesequence(job, work.path());
    std::error_code ec;
    const auto dumpsize = first.dumpwritten ? fs::file_size(first.dumpfilename, ec) : 0;
    if (!first.readable || !first.dumpwritten || ec || !first.right.written || !first.left.written) {
        std::fprintf(stderr, "kestrune-bench: the show-file sequence did not write the dump and both pictures for %s\n",
                     job.c_str());
        return kExitFailure;
    }
    std::printf("points: right %d, left %d; record lines: %d; dump: %llu bytes; verdict: \"%s\"\n", first.right.points,
                first.left.points, first.lines.count(), static_cast<unsigned long long>(dumpsize),
                first.labeltext.c_str());

    const std::vector<unsigned char> bitmap = floorbitmap(pictureboxwidth, pictureboxheight);
    bool floorok = runfloor(job, work.path(), bitmap, pictureboxwidth, pictureboxheight, dumpsize);
    if (!floorok) {
        std::fprintf(stderr, "kestrune-bench: the floor run failed in %s\n", work.path().c_str());
        return kExitFailure;
    }

    std::vector<double> pipeline, floor;
    pipeline.reserve(static_cast<std::size_t>(o.iterations));
    floor.reserve(static_cast<std::size_t>(o.iterations));
    const auto runpipeline = [&] { pipeline.push_back(timeonce([&] { (void)showfilesequence(job, work.path()); })); };
    const auto runfloorstep = [&] {
        floor.push_back(timeonce([&] {
            floorok = runfloor(job, work.path(), bitmap, pictureboxwidth, pictureboxheight, dumpsize) && floorok;
        }));
    };
    // Interleaved, and each one first every other time, so that neither
    // gains from running in the other's warm caches.
    for (int k = 0; k < o.iterations; ++k) {
        if (k % 2 == 0) {
            runpipeline();
            runfloorstep();
        } else {
            runfloorstep();
            runpipeline();
        }
    }
    if (!floorok) {
        std::fprintf(stderr, "kestrune-bench: a floor run failed\n");
        return kExitFailure;
    }
    const double p = median(pipeline), f = median(floor);
    std::printf("iterations: %d\n", o.iterations);
    std::printf("pipeline median: %.3f ms\n", p * 1e3);
    std::printf("floor median: %.3f ms\n", f * 1e3);
    std::printf("ratio %.2f\n", f > 0 ? p / f : 0.0);
    return 0;
}
// The steps of the show-file sequence one by one, each timed on its own.
int stages(const options& o) {
    tempfolder work;
    const std::string job = preparejob(o, work);
    if (job.empty()) return kExitFailure;
    const std::vector<std::string> names{"read and split", "trace check", "extraction",  "dump lines",
                                         "dump written",   "listing",     "drawing (2)", "JPEG written (2)"};
    std::vector<std::vector<double>> times(names.size());
    const auto timed = [&](std::size_t stage, const auto& f) {
        const auto start = benchclock::now();
        f();
        times[stage].push_back(std::chrono::duration<double>(benchclock::now() - start).count());
    };
    for (int k = 0; k < o.iterations; ++k) {
        tomafileobj oma;
        timed(0, [&] {
            oma.readomafile(job);
            oma.omastrtolist();
        });
        toutlineextraction outlines;
        timed(1, [&] { (void)goodtrace(oma, true, &outlines); });
        // As in the sequence: only when the check's lists cannot be taken.
        timed(2, [&] {
            if (!outlines.valid)
                outlines.shown.extractradiilistfromomalist2(oma.omalist, &outlines.right, &outlines.left, true);
        });
        tradiilist& right = outlines.right;
        tradiilist& left = outlines.left;
        std::string dump;
        timed(3, [&] { right.datatodebugtext(dump); });
        timed(4, [&] { savetexttofile(dump, work.path() + "stages_OMAData.csv"); });
        tstringlist lines;
        timed(5, [&] {
            if (right.binaryformat() || left.binaryformat()) omafileasascii(oma, lines, false, 0, false);
        });
        tcairobitmap rbitmap(pictureboxwidth, pictureboxheight), lbitmap(pictureboxwidth, pictureboxheight);
        timed(6, [&] {
            right.drawshape(rbitmap.canvas(), pictureboxwidth, pictureboxheight, rightcode, false);
            left.drawshape(lbitmap.canvas(), pictureboxwidth, pictureboxheight, rightcode, false);
        });
        timed(7, [&] {
            writejpeg(rbitmap, work.path() + "stagesR.jpeg");
            writejpeg(lbitmap, work.path() + "stagesL.jpeg");
        });
    }
    double total = 0;
    std::printf("median per step over %d runs:\n", o.iterations);
    for (std::size_t k = 0; k < names.size(); ++k) {
        const double m = median(times[k]);
        total += m;
        std::printf("  %-18s %9.1f us\n", names[k].c_str(), m * 1e6);
    }
    std::printf("  %-18s %9.1f us\n", "sum of medians", total * 1e6);
    return 0;
}
#else
int stages(const options&) {
    std::fprintf(stderr, "kestrune-bench: built without the viewer's show-file sequence; --stages is not available\n");
    return kExitFailure;
}
int ratio(const options&) {
    std::fprintf(stderr, "kestrune-bench: built without the viewer's show-file sequence; --ratio is not available\n");
    return kExitFailure;
}
#endif

int scaling(const options& o) {
    const std::vector<int> sizes{360, 1000, 10000, 100000};
    const double budget = o.quick ? 0.01 : 0.4;
    const auto& columns = scalingcolumns();
    bool met = true;
    for (const char notation : {'1', '3'}) {
        std::printf("nanoseconds per point, notation %c (%s), two eyes of N points\n", notation,
                    notation == '1' ? "ASCII" : "packed");
        std::printf("%8s", "N");
        for (const std::string& c : columns) std::printf(" %11s", c.c_str());
        std::printf("\n");
        std::vector<scalingrow> rows;
        for (const int n : sizes) {
            rows.push_back(measurescaling(n, notation, budget));
            std::printf("%8d", n);
            for (std::size_t c = 0; c < columns.size(); ++c) std::printf(" %11.1f", scalingvalue(rows.back(), c));
            std::printf("\n");
            std::fflush(stdout);
        }
        // The goal: at 100000 points within twice the cost per point at 1000.
        std::printf("%8s", "100k/1k");
        for (std::size_t c = 0; c < columns.size(); ++c) {
            const double at1k = scalingvalue(rows[1], c), at100k = scalingvalue(rows[3], c);
            const double factor = at1k > 0 ? at100k / at1k : 0;
            if (factor > 2.0) met = false;
            std::printf(" %10.2fx", factor);
        }
        std::printf("\n\n");
    }
    std::printf("scaling %s\n", met ? "met: every cost per point at 100000 points is within twice that at 1000"
                                    : "NOT met: a cost per point at 100000 points is more than twice that at 1000");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    // As in the viewer and the command-line tool, whose work the bench measures.
    keepfreedmemory();
    options o;
    if (!parseoptions(argc, argv, o)) {
        std::fputs(kUsage, stderr);
        return kExitUsage;
    }
    try {
        QVTLibInitialization();
        if (!o.sample.empty()) return writesample(o);
        if (o.ratio) return ratio(o);
        if (o.stages) return stages(o);
        return scaling(o);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kestrune-bench: %s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "kestrune-bench: unexpected error\n");
    }
    return kExitFailure;
}
