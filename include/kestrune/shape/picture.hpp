// Picture files: a bitmap written as JPEG or PNG, a drawing written as SVG.
//
// Every writer creates the missing folders above the file, writes to a
// temporary file in the same folder and renames it over the target only once
// the picture is complete, so a failure never leaves a half-written picture
// where a good one stood. An existing target that is not writable (a
// read-only file) or that is a folder is not replaced: the result is false.
// No writer reports anything beyond its Boolean result.
#pragma once

#include <filesystem>
#include <functional>

namespace kestrune {

class tcanvas;
class tcairobitmap;

enum class tpictureformat { jpeg, png, svg };

// The format an output name asks for by its extension: ".png" and ".svg" in
// any letter case give PNG and SVG, every other name JPEG.
tpictureformat pictureformatof(const std::filesystem::path& filename);

// Baseline JPEG with three components (24-bit RGB) at quality 90, every other
// encoder setting the library's default.
bool writejpeg(const tcairobitmap& bitmap, const std::filesystem::path& filename);

// 24-bit RGB PNG.
bool writepng(const tcairobitmap& bitmap, const std::filesystem::path& filename);

// A width x height SVG picture with a white background on which draw paints;
// draw returns false to abandon the picture (nothing is then written).
bool writesvg(int width, int height, const std::function<bool(tcanvas&)>& draw,
              const std::filesystem::path& filename);

}  // namespace kestrune
