// XRS82 list file: one point a line, angle, integer intensity and sigma,
// read by the XRS82 refinement programs.
#include <ostream>

#include "output/textfile.h"
#include "output/writers.h"

bool writexrs82(const MergedPattern& pattern, std::ostream& file) {
  for (int k = 0; k < pattern.imax; ++k) {
    double tth = pattern.tthmin + k * pattern.tthstep;  // deg, from the grid
    // cols 1-8 2theta (F8.3), 10-16 intensity (I7), 18-25 sigma (F8.1)
    if (!writetext(file, "%8.3f %7d %s\n", tth, roundcount(pattern.cts[k]),
                   realfield(pattern.mon[k], 8, 1).c_str()))
      return false;
  }
  return !file.fail();  // imax 0 writes nothing but still reports the file
}
