#include "kestrune/support/stringlist.hpp"

#include <algorithm>

#include "kestrune/support/settings.hpp"
#include "kestrune/support/text.hpp"

namespace kestrune {
namespace {

const std::string kEmpty;

bool less_text(const std::string& x, const std::string& y) { return comparetext(x, y) < 0; }

// Whether record starts with tag (case ignored) immediately followed by "=".
bool record_has_tag(const std::string& record, std::string_view tag) {
    return record.size() > tag.size() && record[tag.size()] == tagdelimiter &&
           sametext(std::string_view(record).substr(0, tag.size()), tag);
}

}  // namespace

const std::string& tstringlist::operator[](int i) const {
    if (i < 0 || i >= count()) return kEmpty;
    return items_[static_cast<std::size_t>(i)];
}

void tstringlist::set(int i, std::string s) {
    if (i < 0 || i >= count()) return;
    items_[static_cast<std::size_t>(i)] = std::move(s);
}

int tstringlist::add(std::string s) {
    if (!sorted_) {
        items_.push_back(std::move(s));
        return count() - 1;
    }
    auto it = std::lower_bound(items_.begin(), items_.end(), s, less_text);
    if (ignoreduplicates_ && it != items_.end() && comparetext(*it, s) == 0) return -1;
    it = std::upper_bound(it, items_.end(), s, less_text);
    const auto index = it - items_.begin();
    items_.insert(it, std::move(s));
    return static_cast<int>(index);
}

void tstringlist::insert(int i, std::string s) {
    if (i < 0 || i > count()) return;
    items_.insert(items_.begin() + i, std::move(s));
}

void tstringlist::remove(int i) {
    if (i < 0 || i >= count()) return;
    items_.erase(items_.begin() + i);
}

void tstringlist::sort() { std::stable_sort(items_.begin(), items_.end(), less_text); }

void tstringlist::setsorted(bool value) {
    if (value && !sorted_) sort();
    sorted_ = value;
}

int tstringlist::indexof(std::string_view s) const {
    for (std::size_t i = 0; i < items_.size(); ++i) {
        if (sametext(items_[i], s)) return static_cast<int>(i);
    }
    return -1;
}

int tstringlist::indexofname(std::string_view tag) const {
    for (std::size_t i = 0; i < items_.size(); ++i) {
        if (record_has_tag(items_[i], tag)) return static_cast<int>(i);
    }
    return -1;
}

std::string tstringlist::value(std::string_view tag) const {
    const int i = indexofname(tag);
    if (i < 0) return std::string();
    return items_[static_cast<std::size_t>(i)].substr(tag.size() + 1);
}

void tstringlist::setvalue(std::string_view tag, std::string_view value) {
    const int i = indexofname(tag);
    if (value.empty()) {
        remove(i);
        return;
    }
    std::string record;
    record.reserve(tag.size() + 1 + value.size());
    record.append(tag).push_back(tagdelimiter);
    record.append(value);
    if (sorted_) {
        // A sorted list keeps its order: the new record takes its own place.
        remove(i);
        add(std::move(record));
        return;
    }
    if (i >= 0)
        items_[static_cast<std::size_t>(i)] = std::move(record);
    else
        items_.push_back(std::move(record));
}

}  // namespace kestrune
