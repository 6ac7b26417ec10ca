// The rules every instrument format meets after its reader: a 2theta step
// scan, the counting time, the monitor and the plausibility net.
#include "rules.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "merge/limits.h"
#include "text/console.h"
#include "util.h"

namespace {

// What a step can be: an angle a goniometer reaches, a time from a
// microsecond to eleven days, a monitor a 32-bit float holds.
const double maxangle = 360;     // deg
const double mintime = 1e-6;     // s
const double maxtime = 1e6;      // s
const double maxmonitor = 3e38;  // counts

bool positive(double v) { return std::isfinite(v) && v > 0; }

// Where the detected counts are whole numbers.
bool whole(double c) { return std::fabs(c - std::nearbyint(c)) <= 1e-6 * std::max(1.0, c); }

// The offset of the last point on the grid that scanmerge would make of
// this scan as its first file, deg: the grid step is its first two 32-bit
// angles' difference to the grid's tolerance.
double gridoff(const std::vector<double>& tth) {
  size_t n = std::min(tth.size(), static_cast<size_t>(maxpts));
  double tthmin = static_cast<float>(tth[0]);
  double tthstep = gridstep(static_cast<double>(static_cast<float>(tth[1])) - tthmin);
  return gridangle(tthmin, tthstep, static_cast<long long>(n - 1)) - static_cast<float>(tth[n - 1]);
}

// Fills r from a range as its reader found it. The counts are those the
// detector counted, and the monitor of an attenuated step is divided by its
// factor, so that the intensity comes out the same and its standard
// deviation from the counts. Warnings go to notes. false, with why, where
// the input as a whole fails.
bool fillrange(const FileRange& raw, const Options& opt, Range& r, std::vector<std::string>& notes,
               std::string& why) {
  size_t n = raw.counts.size();
  std::vector<double> x = raw.x;
  // printed angles rounded from a declared start and step are written as
  // the start and step give them
  if (std::isfinite(raw.start) && std::isfinite(raw.step) && raw.step != 0 &&
      raw.units.size() == n && x.size() == n) {
    bool agree = true, differ = false;
    for (size_t i = 0; i < n && agree; ++i) {
      double d = raw.start + raw.step * static_cast<double>(i);
      agree = std::fabs(x[i] - d) <= raw.units[i] * (1 + 1e-9);
      differ = differ || std::fabs(x[i] - d) > 1e-9 * std::max(1.0, std::fabs(d));
    }
    if (agree && differ) {
      for (size_t i = 0; i < n; ++i) x[i] = raw.start + raw.step * static_cast<double>(i);
      notes.push_back("range " + std::to_string(r.number) +
                      ": angles written as the declared start " + gnum(raw.start) + " + i * step " +
                      gnum(raw.step) + " deg, which every printed angle rounds");
    }
  }
  // an angle no goniometer reaches is a damaged file, not a scan to skip
  for (size_t i = 0; i < x.size(); ++i)
    if (!(std::fabs(x[i]) <= maxangle)) {
      why = "range " + std::to_string(r.number) + ": 2theta " + gnum(x[i]) + " deg at step " +
            std::to_string(i + 1) + " is no angle";
      return false;
    }
  if (!stepscan(x, r.skip)) return true;
  double seconds = raw.seconds;
  if (!positive(seconds) && raw.times.empty()) {
    if (opt.tms <= 0) {
      why = "no counting time in the file; give the time per step with -t MS";
      return false;
    }
    seconds = opt.tms / 1000;
  }
  r.ratefile = raw.rate;
  r.filemon = !raw.mons.empty();
  r.omega = raw.omega;
  r.chi = raw.chi;
  r.phi = raw.phi;
  r.omoff = raw.omega - x[0] / 2;
  r.tth = std::move(x);
  bool fraction = false;
  for (size_t i = 0; i < n; ++i) {
    double t = raw.times.empty() ? seconds : raw.times[i];  // s
    double f = raw.factors.empty() ? 1 : raw.factors[i];
    double c = raw.rate ? raw.counts[i] * t : raw.counts[i];
    double m = r.filemon ? raw.mons[i] / f : 0;
    // a time or monitor that is no number, or none a step is counted, is a
    // damaged file; scanmerge would divide by it
    if (!(t >= mintime && t <= maxtime) || !(m >= 0 && m <= maxmonitor)) {
      why = "range " + std::to_string(r.number) + ": " +
            (t >= mintime && t <= maxtime ? "a monitor of " + gnum(raw.mons[i]) + " counts"
                                          : "a time of " + gnum(t) + " s") +
            " at 2theta " + gnum(r.tth[i]) + " deg is none a step is counted";
      return false;
    }
    if (!std::isfinite(c)) {
      r.skip = "holds counts that are not numbers";
      return true;
    }
    fraction = fraction || !whole(c);
    r.cts.push_back(c);
    r.att.push_back(f);
    r.mon.push_back(m);
    r.tim.push_back(1000 * t);
  }
  if (!r.filemon && !standin(r, opt.refms > 0 ? opt.refms : r.tim[0], why)) return false;
  if (fraction)
    notes.push_back(
        "counts are not whole numbers: scanmerge's standard deviations will not be counting "
        "statistics");
  // a falling scan is written rising, as scanmerge wants the lowest angle first
  if (r.tth[1] < r.tth[0])
    for (std::vector<double>* v : {&r.tth, &r.cts, &r.mon, &r.tim, &r.att})
      std::reverse(v->begin(), v->end());
  double step = (r.tth[n - 1] - r.tth[0]) / static_cast<double>(n - 1);
  double units = step / steptolerance;  // in the grid's units
  double off = gridoff(r.tth);
  // said where the offset shows in four decimals
  if (std::fabs(units - std::nearbyint(units)) > 1e-6 * std::max(1.0, std::fabs(units)) &&
      std::fabs(off) >= steptolerance / 2)
    notes.push_back(
        format("step %.7f deg is not a multiple of %g deg: scanmerge will place the "
               "last point %.4f deg off",
               step, steptolerance, off));
  return true;
}

bool has(const std::string& s, const char* part) { return s.find(part) != std::string::npos; }

}  // namespace

bool keyword(const std::string& line, std::string& key, std::string& value) {
  size_t eq = line.find('=');
  key = trim(line.substr(0, eq));
  value = eq == std::string::npos ? "" : trim(line.substr(eq + 1));
  for (char& c : key) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return !key.empty();
}

double steptime(const std::string& mode, double step, double speed, const std::string& unit) {
  if (!(speed > 0) || !std::isfinite(speed)) return NaN;
  std::string u = lower(unit), m = lower(mode);
  double t = NaN;
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
  return t > 0 && std::isfinite(t) ? t : NaN;
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

bool drives2theta(const std::string& axis) {
  std::string d;
  for (char c : axis)
    if (std::isalnum(static_cast<unsigned char>(c)))
      d += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  // in-plane and tilted scans name chi, phi or psi beside 2theta
  for (const char* no : {"chi", "khi", "phi", "psi"})
    if (has(d, no)) return false;
  // a file that names no drive scans 2theta; theta-theta is coupled
  if (d.empty() || d == "thetatheta") return true;
  for (const char* yes : {"coupled", "unlocked", "detector", "2theta", "twotheta", "gonio"})
    if (has(d, yes)) return true;
  return false;
}

bool standin(Range& r, double refms, std::string& why) {
  r.refms = refms;
  if (r.filemon) return true;
  for (size_t i = 0; i < r.mon.size(); ++i) {
    r.mon[i] = normmonitor * r.tim[i] / refms / r.att[i];
    if (!(r.mon[i] <= maxmonitor)) {
      why = "range " + std::to_string(r.number) + ": the stand-in monitor at 2theta " +
            gnum(r.tth[i]) + " deg would be " + gnum(r.mon[i]) + ", more than a scan holds";
      return false;
    }
  }
  return true;
}

bool addranges(const std::vector<FileRange>& found, const Options& opt, Instrument& ins,
               std::string& why) {
  for (const FileRange& raw : found) {
    Range r;
    r.number = static_cast<int>(ins.ranges.size()) + 1;
    r.meta = raw.meta;
    size_t n = raw.counts.size();
    bool negative = false, badfactor = false;
    for (double c : raw.counts) negative = negative || c < 0;
    for (double f : raw.factors) badfactor = badfactor || !positive(f);
    if (!raw.skip.empty())
      r.skip = raw.skip;
    else if (!drives2theta(raw.axis))
      r.skip = "is a scan of " + clean(raw.axis) + ", not of 2theta";
    else if (raw.x.size() != n)
      r.skip = "has not as many positions as counts";
    else if ((!raw.times.empty() && raw.times.size() != n) ||
             (!raw.mons.empty() && raw.mons.size() != n))
      r.skip = "has not as many counting times or monitor counts as counts";
    else if (negative)
      r.skip = "holds negative counts";
    else if (!raw.factors.empty() && raw.factors.size() != n)
      r.skip = "has " + std::to_string(raw.factors.size()) + " attenuation factors for " +
               std::to_string(n) + " counts";
    else if (badfactor)
      r.skip = "holds attenuation factors of 0 or below";
    else if (!fillrange(raw, opt, r, ins.notes, why))
      return false;
    // a time wrong by a factor shows as a correction no detector runs at
    if (r.skip.empty() && !deadcheck(r).empty()) ins.notes.push_back(deadcheck(r));
    ins.ranges.push_back(std::move(r));
  }
  return true;
}
bool stepscan(const std::vector<double>& tth, std::string& why) {
  auto no = [&why](const char* reason) {
    why = reason;
    return false;
  };
  size_t n = tth.size();
  if (n < 2) return no("has fewer than two points");
  double mean = (tth[n - 1] - tth[0]) / static_cast<double>(n - 1);
  if (!std::isfinite(mean) || mean == 0) return no("is not a step scan (no steady step in 2theta)");
  for (size_t i = 1; i < n; ++i)
    if (!((tth[i] - tth[i - 1]) / mean > 0))
      return no("is not a step scan (2theta does not rise or fall steadily)");
  for (size_t i = 1; i < n; ++i)
    if (!(std::fabs(tth[i] - tth[i - 1] - mean) <= 0.01 * std::fabs(mean)))
      return no("is not a step scan (its steps differ by more than 1 %)");
  return true;
}
