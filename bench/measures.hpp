// Timing helpers and the per-point measurements of the trace operations.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace kestrune::bench {

using benchclock = std::chrono::steady_clock;

// Seconds taken by one call of f.
double timeonce(const std::function<void()>& f);

// The median of values (which it reorders); 0 for none.
double median(std::vector<double>& values);

// Seconds per call of f: after one call to warm up, `batches` batches of as
// many calls as fill about budget / batches seconds each; the median batch.
double timepercall(const std::function<void()>& f, double budget, int batches = 5);

// One line of the scaling table: nanoseconds per point of each operation on
// a two-eye job of `points` points per eye.
struct scalingrow {
    int points = 0;
    double extraction = 0, check = 0, geometry = 0, listing = 0, dump = 0, drawing = 0;
};

// The operations of the table, in column order, and their names.
const std::vector<std::string>& scalingcolumns();
double scalingvalue(const scalingrow& row, std::size_t column);

// Measures one line on the made-up job in notation '1' or '3'. budget is
// the time spent on each operation, in seconds.
scalingrow measurescaling(int points, char notation, double budget);

}  // namespace kestrune::bench
