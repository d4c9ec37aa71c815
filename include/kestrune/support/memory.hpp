// How the process's allocator treats memory freed between files.
#pragma once

namespace kestrune {

// Keeps memory the program frees in the process for its next use instead of
// handing it back to the system after every file: the viewer and the batch
// commands handle file after file of much the same size, and memory handed
// back is paid for again in page faults by the next file. Call once, at the
// start of main, before any thread starts. Does nothing where the C library
// offers no such setting.
void keepfreedmemory() noexcept;

}  // namespace kestrune
