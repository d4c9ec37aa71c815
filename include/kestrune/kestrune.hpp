// The whole public API of the Kestrune core library, layer by layer: each
// layer uses only those above it in this list.
//
// Failures are values: an operation that fails on its input, on the file
// system or for want of memory returns its failure value (false, 0, -1,
// empty text) and, where it can, says why beside it (tomafileobj::readfailure,
// the I/O codes of support/files.hpp). Inside, the core catches only those
// failures: memory running out (std::bad_alloc), and a display failing at run
// time in QVTShowMessage. Any other exception is a fault of the program, and
// it reaches the caller, so that a test or a fuzzer sees it where it arose.
#pragma once

// Support: text and numbers, string lists, files, settings, messages.
#include "kestrune/support/files.hpp"
#include "kestrune/support/messages.hpp"
#include "kestrune/support/runtimeparameters.hpp"
#include "kestrune/support/settings.hpp"
#include "kestrune/support/stringlist.hpp"
#include "kestrune/support/text.hpp"

// The document and its records.
#include "kestrune/document/drill.hpp"
#include "kestrune/document/labels.hpp"
#include "kestrune/document/omafile.hpp"
#include "kestrune/document/records.hpp"
#include "kestrune/document/trcfmt.hpp"

// Traces: the radii list, its notations and its geometry.
#include "kestrune/trace/geometry.hpp"
#include "kestrune/trace/packedtraces.hpp"
#include "kestrune/trace/radiilist.hpp"

// Shapes drawn and measured: canvas, pictures, blank size, fitting.
#include "kestrune/shape/blanksize.hpp"
#include "kestrune/shape/cairocanvas.hpp"
#include "kestrune/shape/canvas.hpp"
#include "kestrune/shape/fitting.hpp"
#include "kestrune/shape/picture.hpp"

// A whole job: the trace check, the measures, the display conversion and the
// reshaping of outlines, with the walk over a job's trace records they share.
#include "kestrune/job/displayconversion.hpp"
#include "kestrune/job/measurements.hpp"
#include "kestrune/job/reshape.hpp"
#include "kestrune/job/tracecheck.hpp"
#include "kestrune/job/tracerecords.hpp"
