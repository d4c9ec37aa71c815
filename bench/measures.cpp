#include "measures.hpp"

#include <algorithm>
#include <cmath>

#include "benchfiles.hpp"
#include "kestrune/document/omafile.hpp"
#include "kestrune/shape/cairocanvas.hpp"
#include "kestrune/trace/geometry.hpp"
#include "kestrune/trace/radiilist.hpp"
#include "kestrune/job/tracecheck.hpp"
#include "kestrune/job/displayconversion.hpp"

namespace kestrune::bench {

double timeonce(const std::function<void()>& f) {
    const auto start = benchclock::now();
    f();
    return std::chrono::duration<double>(benchclock::now() - start).count();
}

double median(std::vector<double>& values) {
    if (values.empty()) return 0;
    const std::size_t mid = values.size() / 2;
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(mid), values.end());
    const double upper = values[mid];
    if (values.size() % 2 == 1) return upper;
    const double lower = *std::max_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(mid));
    return (lower + upper) / 2;
}

double timepercall(const std::function<void()>& f, double budget, int batches) {
    const double first = timeonce(f);
    const double perbatch = budget / std::max(batches, 1);
    const long calls = std::clamp<long>(static_cast<long>(perbatch / std::max(first, 1e-9)), 1, 1000000);
    std::vector<double> times;
    for (int b = 0; b < batches; ++b) {
        const auto start = benchclock::now();
        for (long c = 0; c < calls; ++c) f();
        times.push_back(std::chrono::duration<double>(benchclock::now() - start).count() / calls);
    }
    return median(times);
}

const std::vector<std::string>& scalingcolumns() {
    static const std::vector<std::string> names{"extraction", "check", "geometry", "listing", "dump", "drawing"};
    return names;
}

double scalingvalue(const scalingrow& row, std::size_t column) {
    switch (column) {
        case 0:
            return row.extraction;
        case 1:
            return row.check;
        case 2:
            return row.geometry;
        case 3:
            return row.listing;
        case 4:
            return row.dump;
        case 5:
            return row.drawing;
        default:
            return 0;
    }
}

scalingrow measurescaling(int points, char notation, double budget) {
    scalingrow row;
    row.points = points;
    tomafileobj job;
    job.omastr = syntheticjob(points, notation);
    job.omastrasansi = job.omastr;
    job.omastrtolist();

    const double perpoint = 1e9 / points;

    // Extraction of both eyes, as the viewer does it.
    row.extraction = perpoint * timepercall(
                                    [&] {
                                        tradiilist shown, right, left;
                                        shown.extractradiilistfromomalist2(job.omalist, &right, &left, true);
                                    },
                                    budget);

    // The trace check: both passes, both eyes.
    row.check = perpoint * timepercall([&] { (void)goodtrace(job, true); }, budget);

    tradiilist shown, right, left;
    shown.extractradiilistfromomalist2(job.omalist, &right, &left, true);

    // Box, effective diameter and circumference of the right eye.
    row.geometry = perpoint * timepercall(
                                  [&] {
                                      right.findabed();
                                      right.findcirc();
                                  },
                                  budget);

    // The record listing: the records with every trace written as ASCII.
    row.listing = perpoint * timepercall(
                                 [&] {
                                     tstringlist lines;
                                     omafileasascii(job, lines, false, 0, false);
                                 },
                                 budget);

    // The radii dump of the right eye.
    row.dump = perpoint * timepercall(
                              [&] {
                                  tstringlist dbglist;
                                  right.datatodebuglist(dbglist);
                              },
                              budget);

    // Drawing the right eye on a picture of the viewer's size.
    row.drawing = perpoint * timepercall(
                                 [&] {
                                     tcairobitmap bitmap(105, 105);
                                     right.drawshape(bitmap.canvas(), 105, 105, rightcode, false);
                                 },
                                 budget);
    return row;
}

}  // namespace kestrune::bench
