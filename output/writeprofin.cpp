// PROFIN file: the grid on one line, then blocks of ten intensities and
// their sigmas, read by refinement programs that take a .PROFIN file.
#include <algorithm>
#include <ostream>

#include "output/textfile.h"
#include "output/writers.h"

bool writeprofin(const MergedPattern& pattern, std::ostream& file, FieldCounts& counts) {
  TextOut out(file, counts);
  // cols 1-8 tthmin, 9-16 tthstep, 17-24 angle of the last point (3F8.3):
  // "%8.3f%8.3f%8.3f"
  putheader(out, pattern.tthmin, 8, 3);
  putheader(out, pattern.tthstep, 8, 3);
  putheader(out, gridangle(pattern, pattern.imax) - pattern.tthstep, 8, 3);
  endline(out);
  for (int first = 0; first < pattern.imax; first += 10) {
    int last = std::min(first + 10, pattern.imax);
    // cols 1-80: up to ten intensities (10F8.1)
    for (int k = first; k < last; ++k) putreal(out, pattern.inten[k], 8, 1);
    endline(out);
    // cols 1-80: their sigmas (10F8.2)
    for (int k = first; k < last; ++k) putsigma(out, pattern.sigma[k], 8, 2);
    endline(out);
  }
  return flushtext(out);
}
