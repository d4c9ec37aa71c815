#include <cerrno>

#include "cli.hpp"

namespace kestrune::cli {
namespace {

// Large enough that a typical file's listing goes out in one or two writes.
constexpr std::size_t blocksize = 64 * 1024;

}  // namespace

void capturebytes(tcapture& capture, bool diagnostic, std::string_view bytes) {
    if (bytes.empty()) return;
    if (capture.empty() || capture.back().diagnostic != diagnostic) {
        capture.push_back({diagnostic, std::string(bytes)});
    } else {
        capture.back().bytes.append(bytes);
    }
}

toutput::toutput(std::FILE* stream) : stream_(stream) { buffer_.reserve(blocksize); }

toutput::toutput(tcapture& capture) : capture_(&capture) {}

toutput::~toutput() { flush(); }

void toutput::fail() {
    if (!failed_) {
        failed_ = true;
        errornumber_ = errno;
    }
}

void toutput::write(std::string_view bytes) {
    if (buffer_.size() + bytes.size() > blocksize) {
        drain();
        // A piece as large as the block goes straight to the stream.
        if (bytes.size() >= blocksize) {
            emit(bytes);
            return;
        }
    }
    buffer_.append(bytes);
}

void toutput::put(char c) {
    if (buffer_.size() >= blocksize) drain();
    buffer_.push_back(c);
}

void toutput::emit(std::string_view bytes) {
    if (capture_) {
        capturebytes(*capture_, false, bytes);
    } else if (!bytes.empty() && !failed_ && std::fwrite(bytes.data(), 1, bytes.size(), stream_) != bytes.size()) {
        fail();
    }
}

void toutput::drain() {
    emit(buffer_);
    buffer_.clear();
}

bool toutput::flush() {
    drain();
    if (stream_ && !failed_ && std::fflush(stream_) != 0) fail();
    return !failed_;
}

void tcontext::error(std::string_view message) {
    out.flush();
    std::string text;
    text.reserve(programname.size() + message.size() + 3);
    text.append(programname).append(": ").append(message).push_back('\n');
    errortext(text);
}

void tcontext::errortext(std::string_view text) {
    if (capture_) {
        capturebytes(*capture_, true, text);
        return;
    }
    std::fwrite(text.data(), 1, text.size(), err_);
    std::fflush(err_);
}

}  // namespace kestrune::cli
