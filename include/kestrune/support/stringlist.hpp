// An ordered list of texts: the record list, the error list, the point lists
// and every other list of the system.
//
// Comparisons ignore letter case (comparetext). A sorted list keeps its
// entries in ascending order as they are added; with ignoreduplicates set, a
// text equal (without regard to case) to an entry already present is not
// added again.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kestrune {

class tstringlist {
public:
    tstringlist() = default;
    tstringlist(bool sorted, bool ignoreduplicates) : sorted_(sorted), ignoreduplicates_(ignoreduplicates) {}

    int count() const { return static_cast<int>(items_.size()); }
    bool empty() const { return items_.empty(); }

    // Entry i; the empty text when i is out of range.
    const std::string& operator[](int i) const;
    // Replaces entry i; does nothing when i is out of range.
    void set(int i, std::string s);

    // Appends (or, when sorted, inserts in order). Returns the index used, or
    // -1 when a duplicate was ignored.
    int add(std::string s);
    // Inserts before index i (0..count); ignored outside that range.
    void insert(int i, std::string s);
    // Removes entry i; ignored when out of range.
    void remove(int i);
    void clear() { items_.clear(); }
    void reserve(int n) {
        if (n > 0) items_.reserve(static_cast<std::size_t>(n));
    }

    // Sorts ascending with comparetext (a stable sort).
    void sort();
    bool sorted() const { return sorted_; }
    void setsorted(bool value);
    bool ignoreduplicates() const { return ignoreduplicates_; }
    void setignoreduplicates(bool value) { ignoreduplicates_ = value; }

    // Index of the first entry equal to s without regard to case, or -1.
    int indexof(std::string_view s) const;

    // Record lookups: the first entry whose first N characters equal the
    // N-character tag without regard to case and whose next character is "=".
    int indexofname(std::string_view tag) const;
    std::string value(std::string_view tag) const;  // untrimmed; empty when missing
    // Replaces the first matching record by tag=value, or appends it; an empty
    // value deletes the first matching record instead. In a sorted list the
    // record goes to its place in the order.
    void setvalue(std::string_view tag, std::string_view value);

    const std::vector<std::string>& items() const { return items_; }
    std::vector<std::string>& items() { return items_; }
    auto begin() const { return items_.begin(); }
    auto end() const { return items_.end(); }

private:
    std::vector<std::string> items_;
    bool sorted_ = false;
    bool ignoreduplicates_ = false;
};

}  // namespace kestrune
