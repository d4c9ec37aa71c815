// The viewer's user-interface font: Tahoma where it is installed, the
// desktop's sans-serif font otherwise, at a size in pixels (11 pixels is
// 8 points at 96 dots per inch).
#pragma once

#include <QFont>

namespace kestrune {

QFont uifont(int pixelsize, bool bold = false);

}  // namespace kestrune
