#include "output/fullprecision.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "text/console.h"

static std::string nonfinite(double value) {
  return std::isnan(value) ? "nan" : value > 0 ? "inf" : "-inf";
}

std::string exact(float value) {
  if (!std::isfinite(value)) return nonfinite(value);
  return format("%.9g", static_cast<double>(value));
}

std::string angletext(const MergedPattern& p, int k) {
  double tth = gridangle(p, k);
  if (!std::isfinite(tth)) return nonfinite(tth);
  return format("%.9g", tth);
}

// The fewest decimals in "%.*f" that give value back; a float's exact
// value has at most 149 decimals.
static int decimalsfor(float value) {
  for (int d = 0;; ++d)
    if (d >= 149 ||
        std::strtof(format("%.*f", d, static_cast<double>(value)).c_str(), nullptr) == value)
      return d;
}

std::string valuesu(float value, float su) {
  if (!std::isfinite(value)) return "?";
  if (!std::isfinite(su) || !(su >= 0.0f))
    return format("%.*f", decimalsfor(value), static_cast<double>(value));
  int d = std::max(decimalsfor(value), decimalsfor(su));
  std::string digits = format("%.*f", d, static_cast<double>(su));
  std::string units;  // the su's digits without its point and leading zeros
  for (char c : digits)
    if (c != '.' && !(units.empty() && c == '0')) units += c;
  if (units.empty()) units = "0";
  return format("%.*f(%s)", d, static_cast<double>(value), units.c_str());
}
