// The floor of the show-file pipeline: the I/O and picture encoding that any
// program doing the same job has to pay for, with none of the trace work.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace kestrune::bench {

// A 105 x 105 RGB bitmap (3 bytes per pixel, rows top down) of a white
// picture with a dark outline, the size and kind of the viewer's pictures.
std::vector<unsigned char> floorbitmap(int width, int height);

// One run of the floor: reads path into memory and splits it into lines;
// encodes the bitmap twice as JPEG (libjpeg, quality 90) and writes the two
// files into folder (pictures drawn afresh at every show: not flushed to the
// disk); writes a file of dumpsize bytes there that survives a crash once
// written, as the dump does (flushed, renamed into place, its folder
// flushed). False when any step fails.
bool runfloor(const std::string& path, const std::string& folder, const std::vector<unsigned char>& bitmap, int width,
              int height, std::size_t dumpsize);

}  // namespace kestrune::bench
