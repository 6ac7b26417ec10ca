// Powder CIF: the merged pattern as processed intensities with their standard
// uncertainties, and how it was made, read by GSAS-II and any CIF reader.
#include <ostream>
#include <string>
#include <vector>

#include "output/fullprecision.h"
#include "output/textfile.h"
#include "output/writers.h"
#include "version.h"  // SCANMERGE_VERSION, generated

// A text field's line as CIF 1.1 allows it: printable ASCII only (a file
// name may hold anything), and never a ";" first, which would end the field.
static std::string printable(const std::string& line) {
  std::string text;
  for (char c : line) text += c >= ' ' && c <= '~' ? c : '?';
  if (!text.empty() && text[0] == ';') text.insert(0, " ");
  return text;
}

bool writecif(const MergedPattern& pattern, const std::vector<bool>& reached,
              const std::string& reduction, std::ostream& file) {
  int points = 0;
  for (int k = 0; k <= pattern.imax; ++k) points += reached[static_cast<std::size_t>(k)];
  if (!writetext(file,
                 "data_scanmerge\n"
                 "_audit_creation_method 'scanmerge %s'\n"
                 "_pd_proc_info_data_reduction\n;\n",
                 SCANMERGE_VERSION))
    return false;
  for (std::size_t at = 0; at < reduction.size();) {
    std::size_t end = reduction.find('\n', at);
    if (end == std::string::npos) end = reduction.size();
    if (!writetext(file, "%s\n", printable(reduction.substr(at, end - at)).c_str())) return false;
    at = end + 1;
  }
  if (!writetext(file,
                 ";\n"
                 "_pd_proc_number_of_points %d\n"
                 "loop_\n"
                 "_pd_proc_2theta_corrected\n"
                 "_pd_proc_intensity_total\n",
                 points))
    return false;
  for (int k = 0; k <= pattern.imax; ++k) {
    if (!reached[static_cast<std::size_t>(k)]) continue;
    // 2theta in deg, then intensity(su) per 1 000 000 monitor counts
    if (!writetext(file, "%s %s\n", angletext(pattern, k).c_str(),
                   valuesu(pattern.inten[k], pattern.sigma[k]).c_str()))
      return false;
  }
  return !file.fail();
}
