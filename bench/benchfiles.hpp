// The OMA files the benchmarks run on: a made-up two-eye job of any number of
// points, and the packed forms of an ASCII job.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kestrune::bench {

// The radii of a smooth lens-like outline of n points at equal angles: a
// rounded box about 50 x 36 mm, so that neighbouring radii differ by small
// steps at any n of 360 or more.
std::vector<std::int32_t> syntheticradii(int n);

// The text of a two-eye job (records ended by CR LF) whose outline has n
// points per eye in notation '1' (ASCII, ten radii per record) or '3'
// (packed, one record per eye). The left eye is the mirror image of the
// right one.
std::string syntheticjob(int n, char notation);

// The same job with every ASCII outline rewritten in notation '3' or '4': its
// format record says so and its radius records become one packed record.
// Every other record is kept as it stands (notation '4' written by the test
// fixtures' writer, tests/fixtures/packedwriters). Each packed record is decoded again
// and compared with the radii it came from. Empty, with the reason in error,
// when the job has an uneven trace (angle records), no ASCII outline, or a
// packed record that does not give its radii back.
std::string packedjob(const std::string& asciijob, char notation, std::string& error);

}  // namespace kestrune::bench
