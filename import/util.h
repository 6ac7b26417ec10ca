// The small helpers every reader of scanimport shares: numbers, text,
// metadata look-ups and the file's bytes.
#pragma once

#include <cmath>
#include <string>

#include "scanimport.h"

// A value the file does not give.
const double NaN = std::nan("");

// The whole of s as a number (blanks, tabs and line ends around it allowed);
// false where it is none.
bool tonumber(const std::string& s, double& v);
// The same, NaN where s is no number.
double number(const std::string& s);
// The same for an XML text, NaN where it is no number.
double num(const char* s);
// The unit of a printed number's last digit: 0.001 for "3.016", 1 for "3";
// NaN where the text is no number.
double lastunit(const std::string& text);

// Metadata as text for the header: up to a NUL, control characters as
// blanks, without surrounding blanks and the quotes UXD (') and RAS (")
// put around strings.
std::string clean(const std::string& s);
// s without the blanks, tabs and CRs around it
std::string trim(const std::string& s);
// s in small letters (ASCII)
std::string lower(const std::string& s);
bool startswith(const std::string& s, const char* prefix);

// The value of key in m; nullptr where m has none.
const std::string* find(const MetaList& m, const std::string& key);
// That value as a number; NaN where it is none.
double number(const MetaList& m, const std::string& key);

// The first n bytes of the file, or all of it with n 0; false, with why,
// where it cannot be read (or is larger than 1 GiB whole).
bool slurp(const std::string& path, size_t n, std::string& data, std::string& why);
