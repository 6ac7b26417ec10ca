// The files a run can write, in one table that the dialogue's prompts, the
// command line's options and scanimport's answers and command all follow.
#pragma once

#include <iosfwd>
#include <string>

#include "merge/merged_pattern.h"
#include "output/writers.h"

struct OutputKind {
  const char* name;    // in the report; "--" + name is its option
  const char* prompt;  // the dialogue's question; nullptr: the command line's only
  const char* ext;     // scanimport names it after the first scan, with this
  bool stepcheck;      // a reader rebuilds the angles from the header's rounded step
};

// In the order they are asked for, written and reported; the dialogue asks
// for the first dialogueoutputs, the four formats.
constexpr int dialogueoutputs = 4;
constexpr int outputcount = 7;
constexpr OutputKind outputkinds[outputcount] = {
    {"xrs82", "To get XRS82 output file with stdev, enter file name: ", ".xrs", false},
    {"wyriet", "To get Wyriet output file, enter file name: ", ".wyr", true},
    {"profin", "To get .PROFIN output file with weights, enter file name: ", ".profin", true},
    {"gdat", "To get .GDAT output file with weights, enter file name: ", ".gdat", false},
    {"xye", nullptr, ".xye", false},
    {"cif", nullptr, ".cif", false},
    {"report", nullptr, ".json", false},
};
constexpr int gdatoutput = 3;  // the one with a title

// Writes format which (0 to dialogueoutputs - 1) of the table into file,
// counting its fields; title is the GDAT file's. false on a write error.
bool writeformat(const MergedPattern& pattern, int which, const std::string& title,
                 std::ostream& file, FieldCounts& counts);
