// The per-thread sine and cosine memo.
#include "kestrune/trace/sincosmemo.hpp"

#include <algorithm>

namespace kestrune {

void tsincosmemo::grow(std::size_t index) {
    // Doubling keeps a trace's first pass from growing the memo point by point.
    slots_.resize(std::min(kMaxPoints, std::max(index + 1, 2 * slots_.size())));
}

tsincosmemo& threadsincosmemo() {
    thread_local tsincosmemo memo;
    return memo;
}

}  // namespace kestrune
