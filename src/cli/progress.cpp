// The progress bar of batch work, on a terminal only.
#include <unistd.h>

#include <string>

#include "batch.hpp"

namespace kestrune::cli {
namespace {

// At most ten drawings a second: a terminal that is redrawn more often only
// costs time.
constexpr auto redrawinterval = std::chrono::milliseconds(100);
constexpr std::size_t barwidth = 30;

}  // namespace

tprogress::tprogress(std::FILE* stream, std::size_t total, bool enabled)
    : stream_(stream), total_(total), enabled_(enabled) {
    if (enabled_) draw(0);
}

tprogress::~tprogress() { erase(); }

bool tprogress::wanted() { return ::isatty(STDERR_FILENO) == 1; }

bool tprogress::due() const { return enabled_ && std::chrono::steady_clock::now() - lastdraw_ >= redrawinterval; }

void tprogress::update(std::size_t done) {
    if (due()) draw(done);
}

void tprogress::draw(std::size_t done) {
    const std::size_t filled = total_ == 0 ? barwidth : barwidth * done / total_;
    std::string line = "\r[";
    line.append(filled, '#').append(barwidth - filled, '-').append("] ");
    line.append(std::to_string(done)).push_back('/');
    line.append(std::to_string(total_)).append(" files");
    std::fwrite(line.data(), 1, line.size(), stream_);
    std::fflush(stream_);
    visible_ = true;
    lastdraw_ = std::chrono::steady_clock::now();
}

void tprogress::erase() {
    if (!visible_) return;
    // Back to the start of the line and clear it to its end.
    static constexpr char clear[] = "\r\033[K";
    std::fwrite(clear, 1, sizeof clear - 1, stream_);
    std::fflush(stream_);
    visible_ = false;
}

}  // namespace kestrune::cli
