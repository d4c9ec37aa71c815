// What a record's label means: one table of the labels real job files carry,
// each with its name in words, its unit and whether its value is written
// per eye ("R;L": the right eye's value, then the left eye's).
//
// Labels are matched exactly, letter case included, as the format writes
// them in capitals. The core's own readers (trace extraction, drill records,
// the trace check) compare tags exactly too, so "r=..." is no radius record
// to them; explaining it as one would promise something the program does not
// do. Labels that begin with "_" are private to the program that wrote the
// file and get one shared meaning that says so. Labels not in the table,
// and records without "=", have no meaning here: nothing is guessed.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace kestrune {

struct tlabelmeaning {
    std::string_view label;  // as files write it; "_" for the private labels
    std::string_view name;   // what the label stands for, in words
    std::string_view unit;   // unit of its numbers, empty when it has none
    bool pereye = false;     // the value is written "R;L": right eye, then left eye
};

// The meaning of a label (the text before a record's "="), or nullptr when
// the label is not known.
const tlabelmeaning* findlabel(std::string_view label);

// Every label of the table, sorted by label; the private-label entry is not
// among them.
std::span<const tlabelmeaning> knownlabels();

// A meaning in one line of words: its name, then in parentheses its unit and,
// for a per-eye label, that "R;L" is right eye, then left eye.
std::string explainlabel(const tlabelmeaning& meaning);

// The meaning of one "TAG=VALUE" record's label in words (as explainlabel
// writes it); empty when the record has no "=" or its label is not known.
std::string explainrecord(std::string_view record);

}  // namespace kestrune
