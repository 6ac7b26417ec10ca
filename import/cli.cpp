// The command line: options, then one input after another.
#include <sys/stat.h>
#include <xylib/xylib.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <ostream>
#include <set>

#include "merge/limits.h"
#include "ownformats.h"
#include "scanimport.h"
#include "version.h"

namespace {

const char* usage =
    "Usage: scanimport [options] FILE...\n"
    "Converts instrument files (Bruker RAW, BRML and UXD, PANalytical XRDML, Rigaku\n"
    "RAS, RASX and DAT, Philips RD and UDF and the other formats of xylib) to scan\n"
    "files for scanmerge:\n"
    "NAME.dat for a file of one range, NAME-1.dat, NAME-2.dat, ... otherwise.\n"
    "\n"
    "Options:\n"
    "  -f FORMAT       read the files as FORMAT: bruker_raw4, bruker_brml, rigaku_ras,\n"
    "                  rigaku_rasx, or xylib's name (`xyconv -l` lists them);\n"
    "                  guessed from the file by default\n"
    "  -o DIR          write the scan files into DIR instead of the current folder\n"
    "  --force         overwrite scan files that exist\n"
    "  -t MS           counting time per step in ms, for files that hold none\n"
    "  --answers FILE  also write FILE, the answers that make scanmerge merge the\n"
    "                  scans: scanmerge < FILE\n"
    "  -h, --help      show this help and exit\n"
    "  --version       show the version and exit\n"
    "\n"
    "Counts are written per step, the time in ms per step, and the monitor from the\n"
    "file or else 10^6 per second of counting time.\n"
    "Exit status: 0 all files converted, 1 a file could not be, 2 usage error.\n";

bool exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

std::string g(double v) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%g", v);
  return buf;
}

// Writes text to path, LF line ends; false with the reason in why.
bool writefile(const std::string& path, const std::string& text, std::string& why) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  if (!f) {
    why = std::string("cannot write ") + path + ": " + std::strerror(errno);
    return false;
  }
  f.write(text.data(), static_cast<std::streamsize>(text.size()));
  f.close();
  if (!f) {
    why = std::string("cannot write ") + path + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

// A scan file written in this run, for the answers file.
struct Written {
  double first;  // deg
  double step;   // deg, between the first two rows
  std::string path;
};

}  // namespace

int scanimport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  Options opt;
  std::vector<std::string> files;
  auto usageerror = [&err](const std::string& msg) {
    err << "scanimport: " << msg << "\nTry 'scanimport --help'.\n";
    return 2;
  };
  bool optionsend = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (optionsend || a.empty() || a[0] != '-' || a == "-") {
      files.push_back(a);
      continue;
    }
    if (a == "--") {
      optionsend = true;
    } else if (a == "-h" || a == "--help") {
      out << usage;
      return 0;
    } else if (a == "--version") {
      out << "scanimport " << SCANMERGE_VERSION << " (xylib " << xylib_get_version() << ")\n";
      return 0;
    } else if (a == "--force") {
      opt.force = true;
    } else if (a == "-f" || a == "-o" || a == "-t" || a == "--answers") {
      if (i + 1 >= args.size()) return usageerror("option " + a + " needs a value");
      const std::string& v = args[++i];
      if (a == "-f") {
        if (!xylib_get_format_by_name(v.c_str()) && !ownformatname(v))
          return usageerror("-f " + v +
                            ": no such format; `scanimport --help` and `xyconv -l` list them");
        opt.format = v;
      } else if (a == "-o") {
        struct stat st;
        if (stat(v.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
          return usageerror("-o " + v + ": no such folder");
        opt.outdir = v;
      } else if (a == "-t") {
        char* end = nullptr;
        opt.tms = std::strtod(v.c_str(), &end);
        if (v.empty() || *end || !std::isfinite(opt.tms) || opt.tms <= 0)
          return usageerror("-t " + v + ": the time per step must be a number of ms above 0");
      } else {
        opt.answers = v;
      }
    } else {
      return usageerror("unknown option " + a);
    }
  }
  if (files.empty()) return usageerror("no input file");

  int status = 0;
  std::set<std::string> written;  // scan files of this run, never overwritten
  std::vector<Written> scans;
  std::string base, title;
  for (const std::string& file : files) {
    auto fail = [&](const std::string& why) {
      err << "scanimport: " << file << ": " << why << "\n";
      status = 1;
    };
    Instrument ins;
    std::string why;
    if (!readinstrument(file, opt, ins, why)) {
      fail(why);
      continue;
    }
    int nranges = static_cast<int>(ins.ranges.size());
    std::vector<const Range*> keep;
    std::vector<std::string> paths;
    for (const Range& r : ins.ranges) {
      if (!r.skip.empty()) {
        err << "scanimport: " << file << ": range " << r.number << " skipped: it " << r.skip
            << "\n";
        continue;
      }
      std::string name = ins.name + (nranges == 1 ? "" : "-" + std::to_string(r.number)) + ".dat";
      keep.push_back(&r);
      paths.push_back(opt.outdir.empty() ? name : opt.outdir + "/" + name);
    }
    if (keep.empty()) {
      fail("no step scan to convert");
      continue;
    }
    // an input is written whole or not at all
    std::string clash;
    for (const std::string& p : paths) {
      if (written.count(p))
        clash = p + " was written from an earlier input; nothing written";
      else if (exists(p) && !opt.force && clash.empty())
        clash = p + " exists; --force overwrites it";
    }
    if (!clash.empty()) {
      fail(clash);
      continue;
    }
    size_t k = 0;
    for (; k < keep.size(); ++k)
      if (!writefile(paths[k], scantext(ins, *keep[k], nranges), why)) break;
    if (k < keep.size()) {
      for (size_t j = 0; j <= k; ++j) std::remove(paths[j].c_str());
      fail(why + "; nothing written");
      continue;
    }
    for (k = 0; k < keep.size(); ++k) {
      const Range& r = *keep[k];
      size_t n = r.tth.size();
      double step = (r.tth[n - 1] - r.tth[0]) / static_cast<double>(n - 1);
      out << paths[k] << ": " << n << " rows, 2theta " << g(r.tth[0]) << " to " << g(r.tth[n - 1])
          << " deg, step " << g(step) << " deg, " << g(r.tim[0]) << " ms per step, "
          << monitortext(r) << "\n";
      if (n > static_cast<size_t>(maxpts))
        err << "scanimport: " << paths[k] << ": " << n << " rows; scanmerge takes the first "
            << maxpts << "\n";
      written.insert(paths[k]);
      scans.push_back({r.tth[0], r.tth[1] - r.tth[0], paths[k]});
      if (base.empty()) {
        base = ins.name;
        title = samplename(ins, r).substr(0, 80);
      }
    }
  }

  if (!opt.answers.empty()) {
    std::string why;
    if (scans.empty()) {
      err << "scanimport: " << opt.answers << ": no scan written, so no answers\n";
      status = 1;
    } else if (exists(opt.answers) && !opt.force) {
      err << "scanimport: " << opt.answers << ": exists; --force overwrites it\n";
      status = 1;
    } else {
      // scanmerge wants the scan with the lowest angle first
      std::stable_sort(scans.begin(), scans.end(),
                       [](const Written& a, const Written& b) { return a.first < b.first; });
      std::string dir = opt.outdir.empty() ? "" : opt.outdir + "/";
      std::string text;
      double tthstep = gridstep(scans[0].step);
      for (const Written& w : scans) {
        // scanmerge would put a scan of another step on that grid, its angles
        // wrong, so such a scan is left out
        float d = static_cast<float>(w.step);  // scanmerge's 32-bit difference
        if (!samestep(d, tthstep))
          err << "scanimport: " << opt.answers << ": " << w.path << " left out: its step " << g(d)
              << " deg is not the " << g(tthstep) << " deg of " << scans[0].path
              << ", and scanmerge merges scans of one step only\n";
        else
          text += w.path + "\n";
      }
      text += "\n\n";  // the end of the list, no EIV correction
      for (const char* ext : {".xrs", ".wyr", ".profin", ".gdat"}) text += dir + base + ext + "\n";
      text += title + "\n";
      if (!writefile(opt.answers, text, why)) {
        err << "scanimport: " << opt.answers << ": " << why << "\n";
        status = 1;
      }
    }
  }
  return status;
}
