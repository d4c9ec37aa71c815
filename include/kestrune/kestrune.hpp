// The whole public API of the Kestrune core library.
#pragma once

#include "kestrune/support/settings.hpp"
#include "kestrune/support/stringlist.hpp"
#include "kestrune/support/text.hpp"
#include "kestrune/support/files.hpp"
#include "kestrune/support/messages.hpp"
#include "kestrune/trace/trcfmt.hpp"
#include "kestrune/trace/radiilist.hpp"
#include "kestrune/trace/packedtraces.hpp"
#include "kestrune/shape/geometry.hpp"
#include "kestrune/shape/blanksize.hpp"
#include "kestrune/shape/fitting.hpp"
#include "kestrune/oma/omafile.hpp"
#include "kestrune/shape/canvas.hpp"
#include "kestrune/shape/cairocanvas.hpp"
#include "kestrune/shape/picture.hpp"
#include "kestrune/oma/drill.hpp"
