// JSON report of a command-line run, read by scripts and by scanplot: every
// number as the program holds it, every name as given.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <ostream>
#include <string>
#include <vector>

#include "output/report.h"
#include "text/console.h"
#include "version.h"  // SCANMERGE_VERSION, generated

// A JSON string: quotes, backslashes and control characters escaped, and
// each byte that is not part of a well-formed UTF-8 character as the
// Latin-1 character of that byte (\u0080 to \u00ff): valid UTF-8 whatever
// the text held, and a name in another encoding can still be matched.
static std::string quoted(const std::string& text) {
  // the length of the well-formed character at k (Unicode's table 3-7: no
  // overlong form, no surrogate, nothing past U+10FFFF), or 0
  auto wellformed = [&text](std::size_t k) -> std::size_t {
    auto at = [&](std::size_t j) {
      return k + j < text.size() ? static_cast<unsigned char>(text[k + j]) : 0u;
    };
    const unsigned c = at(0);
    auto tail = [&](std::size_t j) { return at(j) >= 0x80 && at(j) <= 0xbf; };
    if (c >= 0xc2 && c <= 0xdf) return tail(1) ? 2 : 0;
    // the second byte's range where the lead byte narrows it
    unsigned lo = 0x80, hi = 0xbf;
    if (c == 0xe0) lo = 0xa0;
    if (c == 0xed) hi = 0x9f;
    if (c == 0xf0) lo = 0x90;
    if (c == 0xf4) hi = 0x8f;
    const bool second = at(1) >= lo && at(1) <= hi;
    if (c >= 0xe0 && c <= 0xef) return second && tail(2) ? 3 : 0;
    if (c >= 0xf0 && c <= 0xf4) return second && tail(2) && tail(3) ? 4 : 0;
    return 0;
  };
  std::string out = "\"";
  for (std::size_t k = 0; k < text.size();) {
    unsigned char c = static_cast<unsigned char>(text[k]);
    if (c == '"' || c == '\\') {
      out += '\\', out += static_cast<char>(c), ++k;
    } else if (c < 0x20 || c == 0x7f) {
      out += format("\\u%04x", c), ++k;
    } else if (c < 0x80) {
      out += static_cast<char>(c), ++k;
    } else if (std::size_t n = wellformed(k)) {
      out += text.substr(k, n), k += n;
    } else {
      out += format("\\u%04x", c), ++k;
    }
  }
  return out + "\"";
}

// The shortest number that gives back the double; null where it is not
// finite.
static std::string number(double value) {
  char text[32];
  if (!std::isfinite(value)) return "null";
  return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

static std::string number32(float value) {
  return std::isfinite(value) ? format("%.9g", static_cast<double>(value)) : "null";
}

// A scan alone on the grid: where it lies, its line 11, the scans before it
// under its overlap, its points (angle, intensity, sigma) as corrected, and
// the normalised differences (angle, z) where it overlaps them.
static std::string alonetext(const MergedPattern& p, const ScanRecord& scan) {
  std::string j = ",\n     \"datoffset\": " + std::to_string(scan.datoffset) +
                  ", \"label\": " + quoted(scan.label) + ", \"under\": [";
  for (std::size_t k = 0; k < scan.under.size(); ++k)
    j += (k ? ", " : "") + std::to_string(scan.under[k]);
  j += "],\n     \"points\": [";
  const ScanAlone& a = scan.alone;
  for (std::size_t i = 0; i < a.inten.size(); ++i)
    j += (i ? ", [" : "[") + number(gridangle(p, scan.datoffset + static_cast<long long>(i))) +
         ", " + number32(a.inten[i]) + ", " + number32(a.sigma[i]) + "]";
  j += "],\n     \"differences\": [";
  for (std::size_t i = 0; i < a.at.size(); ++i)
    j += (i ? ", [" : "[") + number(gridangle(p, a.at[i])) + ", " + number(a.z[i]) + "]";
  return j + "]";
}

// The dead-time fit: rows compared, the fitted dead time and its
// uncertainty (us; null where not determined), the reduced chi2 there and
// at the program's dead time, and the curve of reduced chi2 against the
// dead times tried (us).
static std::string fittext(const DeadTimeFit& fit) {
  bool found = fit.determined;
  std::string j = ",\n  \"deadtimefit\": {\"points\": " + std::to_string(fit.points) +
                  ", \"corrects\": " + number(static_cast<double>(tau) * 1e6) +
                  ", \"tau\": " + (found ? number(fit.tau) : "null") +
                  ", \"sigma\": " + (found ? number(fit.sigma) : "null") +
                  ", \"chi2\": " + (found ? number(fit.chi2) : "null") +
                  ", \"chi2at\": " + (fit.points ? number(fit.chi2at) : "null") +
                  ",\n    \"curve\": [";
  for (std::size_t k = 0; k < fit.taus.size(); ++k)
    j += (k ? ", [" : "[") + number(fit.taus[k]) + ", " + number(fit.curve[k]) + "]";
  return j + "]}";
}

bool writereport(const MergedPattern& p, const std::vector<bool>& reached, const RunRecord& r,
                 std::ostream& file) {
  std::string j = "{\n  \"version\": " + quoted(SCANMERGE_VERSION) + ",\n  \"scans\": [";
  for (std::size_t s = 0; s < r.scans.size(); ++s) {
    const ScanRecord& scan = r.scans[s];
    int last = scan.datoffset + scan.rows - 1;
    j += s ? ",\n" : "\n";
    j += "    {\"name\": " + quoted(scan.name) + ", \"sha256\": \"" + scan.sha256 +
         "\", \"rows\": " + std::to_string(scan.rows) +
         ", \"first\": " + (scan.rows ? number(gridangle(p, scan.datoffset)) : "null") +
         ", \"last\": " + (scan.rows ? number(gridangle(p, last)) : "null") +
         ", \"deadtime\": " + number(scan.deadtime) + ",\n     \"warnings\": [";
    for (std::size_t w = 0; w < scan.warnings.size(); ++w)
      j += (w ? ", " : "") + quoted(scan.warnings[w]);
    j += "],\n     \"overlap\": ";
    if (scan.overlaps) {
      const Overlap& o = scan.overlap;
      j += "{\"points\": " + std::to_string(o.points) +
           ", \"chi2\": " + (o.points ? number(o.chi2) : "null") +
           ", \"ratio\": " + (o.points ? number(o.ratio) : "null") + "}";
    } else {
      j += "null";
    }
    if (scan.detailed) j += alonetext(p, scan);
    j += "}";
    // written a scan at a time: the text stays small however many scans
    file.write(j.data(), static_cast<std::streamsize>(j.size()));
    j.clear();
  }
  j += "\n  ],\n  \"grid\": {\"tthmin\": " + number(p.tthmin) +
       ", \"tthstep\": " + number(p.tthstep) + ", \"imax\": " + std::to_string(p.imax) +
       "},\n  \"eiv\": ";
  if (r.eiv)
    j += "{\"h\": " + number32(r.geometry.h) + ", \"L\": " + number32(r.geometry.L) +
         ", \"osc\": " + number32(r.geometry.oscdeg) + "}";
  else
    j += "null";
  j += ",\n  \"gaps\": [";
  bool first = true;
  for (int k = 0; k <= p.imax; ++k) {
    if (reached[static_cast<std::size_t>(k)]) continue;
    int end = k;
    while (end < p.imax && !reached[static_cast<std::size_t>(end) + 1]) ++end;
    j += (first ? "" : ", ") + std::string("{\"from\": ") + number(gridangle(p, k)) +
         ", \"to\": " + number(gridangle(p, end)) + ", \"points\": " + std::to_string(end - k + 1) +
         "}";
    first = false;
    k = end;
  }
  j += "],\n  \"warnings\": [";
  for (std::size_t w = 0; w < r.warnings.size(); ++w) j += (w ? ", " : "") + quoted(r.warnings[w]);
  j += "],\n  \"outputs\": [";
  for (std::size_t o = 0; o < r.outputs.size(); ++o) {
    const OutputRecord& out = r.outputs[o];
    j += (o ? ",\n" : "\n") + std::string("    {\"format\": \"") + out.format +
         "\", \"name\": " + quoted(out.name) + ", \"sha256\": \"" + out.sha256 +
         "\", \"wide\": " + std::to_string(out.wide) +
         ", \"zerosigma\": " + std::to_string(out.zerosigma) + "}";
  }
  j += r.outputs.empty() ? "]" : "\n  ]";
  // for a picture: the monitor counts the intensities are given per
  bool detailed = false;
  for (const ScanRecord& scan : r.scans) detailed = detailed || scan.detailed;
  if (detailed) j += ",\n  \"normmonitor\": " + number(normmonitor);
  if (r.fitted) j += fittext(r.fit);
  j += "\n}\n";
  file.write(j.data(), static_cast<std::streamsize>(j.size()));
  return !file.fail();
}
