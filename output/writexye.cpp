// xye file: 2theta, intensity and sigma, one point a line, no header, read by
// GSAS-II, TOPAS and most powder programs and scripts.
#include <cmath>
#include <ostream>
#include <string>
#include <vector>

#include "output/fullprecision.h"
#include "output/textfile.h"
#include "output/writers.h"

bool writexye(const MergedPattern& pattern, const std::vector<bool>& reached, std::ostream& file) {
  for (int k = 0; k <= pattern.imax; ++k) {
    if (!reached[static_cast<std::size_t>(k)]) continue;
    // three fields, blank-separated, each read back to its stored value
    if (!writetext(file, "%s %s %s\n", angletext(pattern, k).c_str(),
                   exact(pattern.inten[k]).c_str(), exact(pattern.sigma[k]).c_str()))
      return false;
  }
  return !file.fail();
}
