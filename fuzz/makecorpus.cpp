// Writes the seed inputs of the fuzz targets: small OMA files in every trace
// notation, made with the project's own writers and the tests' writers of
// the packed notations, the corpus of OMA files the tests make, plus drill
// records.
//
//   kestrune-makecorpus OUTDIR [FOLDER...]
//
// writes OUTDIR/oma/*.oma and OUTDIR/drill/*.txt, and copies the .oma files of
// each FOLDER given into OUTDIR/oma.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "fixtures/omacorpus.hpp"
#include "fixtures/packedwriters.hpp"
#include "kestrune/trace/radiilist.hpp"

namespace fs = std::filesystem;
using namespace kestrune;

namespace {

// A rounded lens outline, radii in hundredths of a millimetre.
std::vector<std::int32_t> outline(int points, double scale = 1.0) {
    std::vector<std::int32_t> radii;
    for (int i = 0; i < points; ++i) {
        const double t = 2 * M_PI * i / points;
        const double r = std::pow(
            std::pow(std::fabs(std::cos(t) / 25.0), 2.6) + std::pow(std::fabs(std::sin(t) / 19.4), 2.6), -1 / 2.6);
        radii.push_back(static_cast<std::int32_t>(std::lround(100 * r * scale)));
    }
    return radii;
}

std::vector<std::string> asciirecords(const std::string& tag, const std::vector<std::int32_t>& values) {
    std::vector<std::string> records;
    for (std::size_t i = 0; i < values.size(); i += 10) {
        std::string record = tag + "=";
        for (std::size_t k = i; k < values.size() && k < i + 10; ++k) {
            if (k > i) record += ';';
            record += std::to_string(values[k]);
        }
        records.push_back(record);
    }
    return records;
}

// Notation "3" through the radii list's own writer.
std::string packed3(const std::vector<std::int32_t>& radii, bool trcfmt) {
    tradiilist list;
    for (std::size_t i = 0; i < radii.size(); ++i) list.addradiilist(360.0 * i / radii.size(), radii[i]);
    return list.makebinaryradiilist(trcfmt);
}

// A record of a packed notation's bytes, escaped.
std::string packed(const std::string& tag, const std::string& bytes) { return tag + "=" + fixtures::escaped(bytes); }

void writefile(const fs::path& path, const std::vector<std::string>& records, const std::string& separator = "\r\n") {
    std::string text;
    for (const std::string& record : records) text += record + separator;
    std::ofstream(path, std::ios::binary) << text;
}

template <typename... Lists>
std::vector<std::string> join(const Lists&... lists) {
    std::vector<std::string> all;
    (all.insert(all.end(), lists.begin(), lists.end()), ...);
    return all;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: kestrune-makecorpus OUTDIR [FOLDER...]\n");
        return 2;
    }
    const fs::path out(argv[1]);
    const fs::path oma = out / "oma";
    const fs::path drill = out / "drill";
    fs::create_directories(oma);
    fs::create_directories(drill);

    const std::vector<std::string> header = {
        "JOB=4711", "DO=B", "DBL=18.00", "HBOX=50.00;50.00", "VBOX=38.80;38.80", "CIRC=140.00;140.00"};
    const std::vector<std::string> drills = {"DRILLE=R;C;-20.50;3.00;2.20;;;;0;A;12;5",
                                             "DRILLE=L;EN;21.00;-2.50;1.80;22.00;-2.50;2.00;1;F;0;0",
                                             "DRILL=B;18.00;4.00;2.00;;;;F"};
    for (const int n : {36, 100}) {
        const auto r = outline(n);
        const auto l = outline(n, 0.98);
        const std::string count = std::to_string(n);
        const std::vector<std::string> fr = {"TRCFMT=1;" + count + ";E;R;F"};
        const std::vector<std::string> fl = {"TRCFMT=1;" + count + ";E;L;F"};
        writefile(oma / ("ascii-" + count + ".oma"), join(header, fr, asciirecords("R", r), fl, asciirecords("R", l)));
        writefile(oma / ("ascii-drill-" + count + ".oma"), join(header, fr, asciirecords("R", r), drills));
        writefile(oma / ("ascii-bars-" + count + ".oma"), join(header, fr, asciirecords("R", r)), "|");

        std::vector<std::int32_t> angles;
        for (int i = 0; i < n; ++i) angles.push_back(36000 * i / n + (i % 3));
        writefile(oma / ("uneven-" + count + ".oma"),
                  join(header, std::vector<std::string>{"TRCFMT=1;" + count + ";U;R;F"}, asciirecords("R", r),
                       asciirecords("A", angles)));

        writefile(oma / ("packed3-" + count + ".oma"),
                  join(header, std::vector<std::string>{"TRCFMT=3;" + count + ";E;R;F", packed3(r, true),
                                                        "TRCFMT=3;" + count + ";E;L;F", packed3(l, true)}));
        // The smaller outline: at 36 points the larger one has a step beyond
        // what one byte of notation "B" carries.
        writefile(oma / ("packedb-" + count + ".oma"),
                  join(header,
                       std::vector<std::string>{"TRCFMT=B;" + count + ";E;R;F", packed("R", fixtures::encodetrcb(l))}));
        writefile(oma / ("packed4-" + count + ".oma"),
                  join(header,
                       std::vector<std::string>{"TRCFMT=4;" + count + ";E;R;F", packed("R", fixtures::encodetrc4(r))}));

        std::vector<std::int32_t> z(static_cast<std::size_t>(n));
        for (int i = 0; i < n; ++i) z[static_cast<std::size_t>(i)] = 200 + (i % 7) * 5;
        writefile(oma / ("z-" + count + ".oma"),
                  join(header, fr, asciirecords("R", r), std::vector<std::string>{"ZFMT=1;" + count + ";E;R;F"},
                       asciirecords("Z", z), std::vector<std::string>{"ZFMT=3;" + count + ";U;L;F", packed3(z, false)},
                       asciirecords("ZA", angles)));
        writefile(oma / ("crib-" + count + ".oma"),
                  join(std::vector<std::string>{"CRIBFMT=1;" + count + ";E;R;F"}, asciirecords("R", r), fr,
                       asciirecords("R", r), std::vector<std::string>{"_ApprovedTrace=1", "_PDOFFSET=50"}));
    }
    // Faults the check reports: two format records for one eye, a count that
    // does not match, suspect radii, binary data in a text record.
    const auto r = outline(36);
    auto bad = r;
    bad[5] = 9000;
    writefile(oma / "faults.oma",
              join(std::vector<std::string>{"TRCFMT=1;40;E;R;F"}, asciirecords("R", r),
                   std::vector<std::string>{"TRCFMT=1;36;E;R;F"}, asciirecords("R", bad),
                   std::vector<std::string>{std::string("FRAM=ab\0cd", 10), "_RESIZED=QVT;100", "_MIRRORED=QVT;1"}));

    fixtures::writeomacorpus(oma);

    for (std::size_t k = 0; k < drills.size(); ++k) {
        std::ofstream(drill / ("drill-" + std::to_string(k) + ".txt"), std::ios::binary) << drills[k];
    }

    for (int a = 2; a < argc; ++a) {
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(argv[a], ec)) {
            if (entry.path().extension() == ".oma" && entry.is_regular_file()) {
                fs::copy_file(entry.path(), oma / entry.path().filename(), fs::copy_options::overwrite_existing, ec);
            }
        }
    }
    return 0;
}
