// The rules every instrument format meets once its reader has found its
// ranges: which drives scan 2theta, the counting time a scan's speed gives,
// and whether a range's counts and times are plausible.
#pragma once

#include <string>

#include "scanimport.h"

// A keyword line "KEY = value" (UXD's "_KEY=value", Rigaku DAT's
// "*KEY = value"): blanks around the '=' and a CR before the line end
// allowed, the key in any case. key in capitals, value without surrounding
// blanks (empty where the line has no '='); false where the line holds no key.
bool keyword(const std::string& line, std::string& key, std::string& value);

// Seconds a step is counted, from the scan's mode (STEP, FT, CONTINUOUS,
// CS, ...), its step (deg), its speed and the speed's unit as the file
// writes it (sec./step(FT), deg./min., deg/min, sec, min, ...); the unit
// decides where it names one, else the mode. NaN where neither tells.
double steptime(const std::string& mode, double step, double speed, const std::string& unit);

// The largest dead-time correction scanmerge will apply to r: the warning
// for the console where it passes the limit a detector runs at, else empty.
std::string deadcheck(const Range& r);
