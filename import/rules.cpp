// The rules every instrument format meets after its reader.
#include "rules.h"

#include <cctype>
#include <cmath>

#include "merge/limits.h"
#include "text/console.h"

namespace {

std::string lower(const std::string& s) {
  std::string t;
  for (char c : s) t += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return t;
}

bool has(const std::string& s, const char* part) { return s.find(part) != std::string::npos; }

// s without the blanks, tabs and CRs around it
std::string trim(const std::string& s) {
  size_t a = s.find_first_not_of(" \t\r");
  if (a == std::string::npos) return "";
  return s.substr(a, s.find_last_not_of(" \t\r") - a + 1);
}

}  // namespace

bool keyword(const std::string& line, std::string& key, std::string& value) {
  size_t eq = line.find('=');
  key = trim(line.substr(0, eq));
  value = eq == std::string::npos ? "" : trim(line.substr(eq + 1));
  for (char& c : key) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return !key.empty();
}

double steptime(const std::string& mode, double step, double speed, const std::string& unit) {
  if (!(speed > 0) || !std::isfinite(speed)) return std::nan("");
  std::string u = lower(unit), m = lower(mode);
  double t = std::nan("");
  if (has(u, "step") || u == "s" || u == "sec" || u == "sec." || u == "min" || u == "min.") {
    // a time per step: seconds, or minutes
    t = u.rfind("min", 0) == 0 ? 60 * speed : speed;
  } else if (has(u, "deg") || has(u, "/min") || has(u, "/s")) {
    // a continuous scan at deg per minute (or second): a step takes step/speed
    t = std::fabs(step) / speed * (has(u, "min") ? 60 : 1);
  } else if (m.rfind("step", 0) == 0 || m == "ft" || has(m, "fixed")) {
    t = speed;  // fixed time: speed seconds at each step
  } else if (m.rfind("cont", 0) == 0 || m == "cs") {
    t = 60 * std::fabs(step) / speed;  // deg/min
  }
  return t > 0 && std::isfinite(t) ? t : std::nan("");
}

std::string deadcheck(const Range& r) {
  double rate = 0, worst = 1;  // counts/s; the largest of c / (1 - c/t * tau) over c
  bool beyond = false;         // a factor scanmerge cannot correct with
  for (size_t i = 0; i < r.cts.size(); ++i) {
    float c = static_cast<float>(r.cts[i]), t = static_cast<float>(r.tim[i] / 1000);  // as read
    if (t < shortesttime) continue;  // scanmerge corrects none of these
    double f = deadfactor(c, t);
    rate = std::max(rate, static_cast<double>(c) / t);
    if (!(f > 0))
      beyond = true;
    else
      worst = std::max(worst, 1 / f);
  }
  std::string head =
      "range " + std::to_string(r.number) + ": " + format("up to %.0f counts/s: ", rate);
  if (beyond) return head + "beyond the dead-time correction; check the time per step";
  if (worst - 1 > deadlimit)
    return head + format("the dead-time correction reaches %.0f %%; check the time per step",
                         100 * (worst - 1));
  return "";
}
