// What Rigaku's RAS and RASX share: the scan's conditions, the rows and the
// lines of text (defined in ras.cpp).
#pragma once

#include <cmath>
#include <string>

#include "scanimport.h"

// Rigaku: a range's scan as RAS's header and RASX's measurement conditions
// both give it.
struct RigakuScan {
  std::string axis;                    // the scan axis: TwoTheta, TwoThetaOmega, Omega, ...
  std::string mode;                    // STEP or CONTINUOUS
  double start = NAN, stop = NAN;      // deg, as declared
  double step = NAN;                   // deg, as declared; its sign from start and stop
  double speed = NAN;                  // in speedunit: s or min per step, or deg/min
  std::string speedunit;               // sec, min, deg/min, ...
  std::string yunit;                   // counts or cps
  double omega = NAN, twotheta = NAN;  // deg, the axes' positions in the conditions
  double chi = NAN, phi = NAN;         // deg
};
// Rigaku: fills r's drive, time per step, declared start and step, and axes
// from its scan, once its rows are read.
void rigakuscan(const RigakuScan& s, FileRange& r);
// Rigaku: an axis's position in the conditions, kept in s where the axis is
// omega, 2theta, chi or phi.
void rigakuaxis(const std::string& name, double position, RigakuScan& s);
// Rigaku text: the next line of text from pos, without its line end and
// trailing blanks, and without a UTF-8 byte order mark at the very start;
// false at the end of text.
bool rigakuline(const std::string& text, size_t& pos, std::string& line);
// Rigaku: adds a row of a profile (angle, counts as counted, and the
// attenuation factor) to r, with the unit of the angle's last printed digit;
// a blank line adds none. false where the line is no such row.
bool rigakurow(const std::string& line, FileRange& r);
