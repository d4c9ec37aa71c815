// One record of an OMA file split into its tag and its value: the one way
// every part of the core reads a record's tag and value.
//
// A record is a tag, "=" and a value. The tag is the text before the first
// "=" (the whole record when there is none) and the value the text after it,
// untrimmed: "R=2500;2510" is R and 2500;2510, "DRILLE= B;C" keeps the blank
// before its value, and "=x" has an empty tag. Tags are compared exactly,
// letter case included.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string_view>

namespace kestrune {

struct trecordparts {
    std::string_view tag;    // text before the first "=", or all of the record
    std::string_view value;  // text after the first "=", untrimmed; empty when there is none
    bool hasvalue = false;   // the record holds an "=" (its value may still be empty)
};

// Splits a record, as views into it. This runs once per record of every file
// read, so it is kept inline: tags are short, and the first bytes are looked
// at in place before the library search takes over for a long one.
inline trecordparts splitrecord(std::string_view record) {
    constexpr std::size_t kShortTag = 16;
    const std::size_t head = std::min(record.size(), kShortTag);
    std::size_t eq = 0;
    while (eq < head && record[eq] != '=') ++eq;
    if (eq == head) eq = record.find('=', head);
    if (eq == std::string_view::npos) return {record, {}, false};
    return {record.substr(0, eq), record.substr(eq + 1), true};
}

inline std::string_view recordtag(std::string_view record) { return splitrecord(record).tag; }
inline std::string_view recordvalue(std::string_view record) { return splitrecord(record).value; }

// Whether a record is one an OMA file holds: a tag of letters, digits and
// "_", then "=". Text of another kind (random bytes, a letter, a picture)
// splits into records all the same, but holds none of these.
inline bool isomarecord(std::string_view record) {
    const trecordparts parts = splitrecord(record);
    if (!parts.hasvalue || parts.tag.empty()) return false;
    for (const char c : parts.tag) {
        const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
        if (!letter && !(c >= '0' && c <= '9') && c != '_') return false;
    }
    return true;
}

// Whether two tags are equal, compared in place: both are a few bytes, and a
// loop beats the library's compare where neither is known at compile time.
inline bool sametag(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t k = 0; k < a.size(); ++k)
        if (a[k] != b[k]) return false;
    return true;
}

}  // namespace kestrune
