// The rules every instrument format meets once its reader has found its
// ranges, each in one place: which drives scan 2theta, how a keyword line
// reads, the counting time a scan's speed gives, the step scan, the monitor,
// and whether a range's counts and times are plausible.
#pragma once

#include <string>
#include <vector>

#include "scanimport.h"

// Adds the ranges a format's reader found to ins, under the rules every
// format meets. false, with why, where the input as a whole fails.
bool addranges(const std::vector<FileRange>& found, const Options& opt, Instrument& ins,
               std::string& why);

// Whether a range drives 2theta, from its axis as the file names it: coupled
// theta-2theta (locked or unlocked), 2theta-omega, a detector scan, 2theta
// alone; a file that names none scans 2theta. Not an in-plane (chi) scan.
bool drives2theta(const std::string& axis);

// The step scan check: true if tth rises or falls strictly with steps that
// differ from their mean by at most 1 %; else false, with why.
bool stepscan(const std::vector<double>& tth, std::string& why);

// The stand-in monitor of a range without the file's own: 10^6 counts per
// refms of counting time, divided by each step's attenuation factor; false,
// with why, where a step's would pass what a scan holds.
bool standin(Range& r, double refms, std::string& why);

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
