// Messages of the support library.
//
// The library does not draw dialogs itself: every message goes through one
// process-wide callback. Until a program installs its own (the viewer connects
// its message dialog), the message is printed on standard error. The callback
// may be called from several threads at once; installing a new one while
// messages are being shown is safe.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

namespace kestrune {

// kind is "warning" or "information"; message is the main text; explanation
// the smaller text that goes with it (often empty). Texts are bytes (Latin-1).
using tmessagecallback =
    std::function<void(std::string_view kind, std::string_view message, std::string_view explanation)>;

// Installs the callback and returns the one it replaces. An empty callback
// brings back the default, which prints on standard error.
tmessagecallback setmessagecallback(tmessagecallback callback);

// Shows a message and returns once it has been dealt with. With aUseMode 1 it
// is a warning and aExplanatory goes with it; any other mode shows an
// information without explanation. A callback that fails at run time (a
// std::runtime_error, memory running out) is caught here and the message
// counts as shown; a logic error in it goes on to the caller.
void QVTShowMessage(std::string_view aMessage, std::uint8_t aUseMode, std::string_view aExplanatory);

// A warning: QVTShowMessage(aWarnMess, 1, aWarnText).
void ShowWarning(std::string_view aWarnMess, std::string_view aWarnText);

}  // namespace kestrune
