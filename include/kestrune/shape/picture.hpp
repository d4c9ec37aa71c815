// Picture files: a bitmap written as JPEG or PNG, a drawing written as SVG.
//
// Every writer makes the picture in memory and writes it with
// writefilesafely (support/files.hpp), making the missing folders above the
// file: a failure never leaves a half-written picture where a good one
// stood, a replaced picture keeps its permissions and a symbolic link stays
// a link. An existing target that is not writable (a read-only file), a
// folder, a named pipe or a device is not replaced: the result is false.
// reason, when given, receives why a writer failed ("Permission denied",
// "the picture could not be drawn", ...). A scratch picture is not flushed
// to the disk (tpersistence, support/files.hpp).
#pragma once

#include <filesystem>
#include <functional>
#include <string>

#include "kestrune/support/files.hpp"

namespace kestrune {

class tcanvas;
class tcairobitmap;

// The viewer and the commands that draw a trace draw it only when it has more
// points than this: fewer make no shape worth a picture.
inline constexpr int minpicturepoints = 10;

enum class tpictureformat { jpeg, png, svg };

// The format an output name asks for by its extension: ".png" and ".svg" in
// any letter case give PNG and SVG, every other name JPEG.
tpictureformat pictureformatof(const std::filesystem::path& filename);

// Baseline JPEG with three components (24-bit RGB) at quality 90, every other
// encoder setting the library's default.
bool writejpeg(const tcairobitmap& bitmap, const std::filesystem::path& filename, std::string* reason = nullptr,
               tpersistence persistence = tpersistence::durable);

// 24-bit RGB PNG.
bool writepng(const tcairobitmap& bitmap, const std::filesystem::path& filename, std::string* reason = nullptr,
              tpersistence persistence = tpersistence::durable);

// A width x height SVG picture with a white background on which draw paints;
// draw returns false to abandon the picture (nothing is then written).
bool writesvg(int width, int height, const std::function<bool(tcanvas&)>& draw, const std::filesystem::path& filename,
              std::string* reason = nullptr, tpersistence persistence = tpersistence::durable);

}  // namespace kestrune
