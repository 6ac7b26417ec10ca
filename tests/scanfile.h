// Builds scan file text for the tests: ten header lines, the two echoed
// lines, a spare line, the column line and the rows.
#pragma once

#include <string>

inline std::string scanfile(const std::string& columns, const std::string& rows,
                            const std::string& line11 = "sample",
                            const std::string& line12 = "conditions") {
  std::string text;
  for (int k = 1; k <= 10; ++k) text += "header " + std::to_string(k) + "\n";
  text += line11 + "\n" + line12 + "\nspare\n" + columns + "\n" + rows;
  return text;
}
