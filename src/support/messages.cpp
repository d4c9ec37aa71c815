#include "kestrune/support/messages.hpp"

#include <cstdio>
#include <mutex>
#include <new>
#include <stdexcept>
#include <string>
#include <utility>

namespace kestrune {
namespace {

// Texts are Latin-1 bytes; a terminal expects UTF-8.
void appendutf8(std::string& out, std::string_view latin1) {
    for (const char ch : latin1) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x80) {
            out.push_back(ch);
        } else {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
}

void printonstderr(std::string_view kind, std::string_view message, std::string_view explanation) {
    std::string line;
    line.reserve(kind.size() + message.size() + explanation.size() + 8);
    appendutf8(line, kind);
    line += ": ";
    appendutf8(line, message);
    if (!explanation.empty()) {
        line += " (";
        appendutf8(line, explanation);
        line += ')';
    }
    line += '\n';
    // One write, so lines of concurrent messages do not interleave.
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

std::mutex& callbackmutex() {
    static std::mutex m;
    return m;
}

tmessagecallback& currentcallback() {
    static tmessagecallback callback = printonstderr;
    return callback;
}

}  // namespace

tmessagecallback setmessagecallback(tmessagecallback callback) {
    if (!callback) callback = printonstderr;
    std::lock_guard<std::mutex> lock(callbackmutex());
    return std::exchange(currentcallback(), std::move(callback));
}

void QVTShowMessage(std::string_view aMessage, std::uint8_t aUseMode, std::string_view aExplanatory) {
    try {
        tmessagecallback callback;
        {
            // Called outside the lock: a callback may itself show a message or
            // install another callback.
            std::lock_guard<std::mutex> lock(callbackmutex());
            callback = currentcallback();
        }
        if (aUseMode == 1) {
            callback("warning", aMessage, aExplanatory);
        } else {
            callback("information", aMessage, {});
        }
    } catch (const std::runtime_error&) {
        // A display that fails must not take the caller down; a logic error
        // in it is a fault and goes on.
    } catch (const std::bad_alloc&) {
    }
}

void ShowWarning(std::string_view aWarnMess, std::string_view aWarnText) { QVTShowMessage(aWarnMess, 1, aWarnText); }

}  // namespace kestrune
