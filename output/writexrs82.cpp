// XRS82 list file: one point a line, angle, integer intensity and sigma,
// read by the XRS82 refinement programs.
#include <ostream>

#include "output/textfile.h"
#include "output/writers.h"

bool writexrs82(const MergedPattern& pattern, std::ostream& file, FieldCounts& counts) {
  TextOut out(file, counts);
  for (int k = 0; k < pattern.imax; ++k) {
    double tth = gridangle(pattern, k);  // deg
    // cols 1-8 2theta (F8.3), 10-16 intensity (I7), 18-25 sigma (F8.1):
    // "%8.3f %7d %8.1f"
    putreal(out, tth, 8, 3);
    putblank(out);
    putcount(out, roundcount(pattern.inten[k]), 7);
    putblank(out);
    putsigma(out, pattern.sigma[k], 8, 1);
    endline(out);
  }
  return flushtext(out);  // imax 0 writes nothing but still reports the file
}
