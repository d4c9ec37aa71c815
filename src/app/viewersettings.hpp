// What the viewer remembers between runs, in the user's settings file
// ($XDG_CONFIG_HOME/kestrune/kestrune.conf): the recent files and whether
// records are shown in a fixed-pitch font.
#pragma once

#include <string>
#include <vector>

namespace kestrune {

// At most this many recent files are kept.
inline constexpr int maxrecentfiles = 8;

// The recent files, latest first, as the bytes of their paths.
std::vector<std::string> recentfiles();
// Puts a file first in the list (moving it when it is there already).
void addrecentfile(const std::string& path);
void clearrecentfiles();

// Fixed-pitch records: on unless the user turned them off.
bool fixedpitchrecords();
void setfixedpitchrecords(bool on);

}  // namespace kestrune
