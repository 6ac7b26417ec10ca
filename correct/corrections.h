// The corrections applied to the merged sums before they are written.
#pragma once

#include <iosfwd>
#include <string>

#include "merge/merged_pattern.h"

// Turns the sums (cts, mon) at indices 0 to end - 1 into intensities per
// normmonitor monitor counts (inten) and their counting-statistics sigmas
// (sigma); the sums stay as they are. The
// dialogue stops at imax - 1, the last point its files hold; the
// full-precision files take imax too.
void normalize(MergedPattern& pattern, int end, std::ostream& con);

// The rocking geometry as the correction uses it, every value 32-bit.
struct EivGeometry {
  float h = 0;       // beam height, mm
  float L = 0;       // sample length, mm
  float oscdeg = 0;  // rocking range as answered, deg
  float osc = 0;     // rocking range, rad
  float thetac = 0;  // rad; from this incidence up the whole beam meets the sample
};

enum class EivAnswer {
  blank,     // no correction
  ready,     // geometry holds a usable answer
  notthree,  // "Look, I need 3 numbers."
  unusable,  // "Look, I need h and osc not 0, and h no larger than L."
};

// Reads an answer to the EIV prompt, "h(mm) L(mm) osc(deg)", by the
// prompt's rules.
EivAnswer readeiv(const std::string& answer, EivGeometry& geometry);

// Divides inten and sigma at indices 0 to end - 1 by the mean illuminated
// fraction of a rocked flat sample. false where the rocking range leaves 0
// to 2theta at a point ("Range Error!"): the run must end without output.
bool applyeiv(MergedPattern& pattern, const EivGeometry& geometry, int end);
