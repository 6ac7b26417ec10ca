#include "output/outputs.h"

bool writeformat(const MergedPattern& p, int which, const std::string& title, std::ostream& file,
                 FieldCounts& counts) {
  switch (which) {
    case 0:
      return writexrs82(p, file, counts);
    case 1:
      return writewyriet(p, file, counts);
    case 2:
      return writeprofin(p, file, counts);
    default:
      return writegdat(p, title, file, counts);
  }
}
