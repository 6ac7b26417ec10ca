// The command line: options, then one input after another, each to
// temporary files that are put in place together when the run ends.
#include <sys/stat.h>
#include <xylib/xylib.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <new>
#include <ostream>
#include <set>
#include <utility>

#include "files/safefile.h"
#include "formats.h"
#include "merge/limits.h"
#include "output/outputs.h"
#include "rules.h"
#include "scanimport.h"
#include "version.h"
#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>  // a file's identity and a name's full spelling
#endif

namespace {

const char* usage =
    "Usage: scanimport [options] FILE...\n"
    "Converts instrument files (Bruker RAW, BRML and UXD, PANalytical XRDML, Rigaku\n"
    "RAS, RASX and DAT, Philips RD and UDF and the other formats of xylib) to scan\n"
    "files for scanmerge:\n"
    "NAME.dat for a file of one range, NAME-1.dat, NAME-2.dat, ... otherwise\n"
    "(NAME-scan.dat, ... for an input named NAME.dat).\n"
    "\n"
    "Options:\n"
    "  -f FORMAT       read the files as FORMAT: bruker_raw4, bruker_brml, rigaku_ras,\n"
    "                  rigaku_rasx, or xylib's name (`xyconv -l` lists them);\n"
    "                  guessed from the file by default\n"
    "  -o DIR          write the scan files into DIR instead of the current folder\n"
    "  --force         overwrite scan files that exist (never an input of the run)\n"
    "  -t MS           counting time per step in ms, for files that hold none\n"
    "  --reftime MS    the stand-in monitor is 10^6 per MS of counting time; by\n"
    "                  default per step of the first range converted\n"
    "  --answers FILE  also write FILE, the answers that make scanmerge merge the\n"
    "                  scans: scanmerge < FILE\n"
    "  --command FILE  also write FILE, a shell line that merges the scans with\n"
    "                  scanmerge's command line\n"
    "  -h, --help      show this help and exit\n"
    "  --version       show the version and exit\n"
    "\n"
    "Only ranges that drive 2theta are converted. Counts are written as the detector\n"
    "counted them, the time in ms per step, and the monitor from the file or else a\n"
    "stand-in, both divided by the step's attenuation factor.\n"
    "Exit status: 0 all files converted, 1 a file could not be, 2 usage error.\n";

// A file under any spelling or link: its device and inode; on Windows,
// whose stat gives no inode, its volume's serial number and its index.
using FileId = std::pair<unsigned long long, unsigned long long>;

// A file being written in this run: put in place when the run ends.
struct Pending {
  SafeFile file;
  std::string name;
  std::string line;  // what the console says of it once it is in place
};

// A scan file of this run, for the answers file.
struct Written {
  double first;  // deg
  double step;   // deg, between the first two rows
  std::string path;
  std::string file;               // the input it came from, as given
  std::string base;               // the instrument file's name, for the outputs
  std::string title;              // its sample
  int input;                      // which input it came from
  double omega, omoff, chi, phi;  // deg, as on line 12; NaN where the file gives none
};

struct Run {
  std::set<FileId> inputs;      // every input, by device and inode
  std::set<std::string> names;  // the files this run writes, as full paths
  std::vector<std::unique_ptr<Pending>> pending;
  std::vector<Written> scans;
  double refms = 0;     // the run's stand-in reference, once set
  bool broken = false;  // a file could not be written: none is put in place
};

// The identity of the file name names; false where there is none.
bool fileid(const std::string& name, FileId& id) {
#ifdef _WIN32
  // no access asked: only the identity is read
  HANDLE h = CreateFileA(name.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info;
  const bool ok = GetFileInformationByHandle(h, &info) != 0;
  CloseHandle(h);
  if (ok)
    id = {info.dwVolumeSerialNumber,
          static_cast<unsigned long long>(info.nFileIndexHigh) << 32 | info.nFileIndexLow};
  return ok;
#else
  struct stat st;
  if (stat(name.c_str(), &st) != 0) return false;
  id = {st.st_dev, st.st_ino};
  return true;
#endif
}

// The file a name leads to, for telling two spellings (or two links to one
// file not there yet) apart.
std::string fullname(const std::string& name) {
  std::string full = finaltarget(name);
#ifdef _WIN32
  // as Windows finds it: the drive and folders made whole, "/" as "\", the
  // trailing dots and blanks dropped, and either case of a letter alike
  int n = MultiByteToWideChar(CP_ACP, 0, full.c_str(), -1, nullptr, 0);
  std::wstring wide(static_cast<size_t>(n > 0 ? n : 1), L'\0');
  MultiByteToWideChar(CP_ACP, 0, full.c_str(), -1, &wide[0], n);
  DWORD len = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  std::wstring path(len > 0 ? len : 1, L'\0');
  len = GetFullPathNameW(wide.c_str(), len, &path[0], nullptr);
  if (len == 0) return full;
  path.resize(len);
  std::wstring upper(path.size(), L'\0');
  LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, path.c_str(), static_cast<int>(path.size()),
                &upper[0], static_cast<int>(upper.size()), nullptr, nullptr, 0);
  // a key, never opened: UTF-8 keeps every character
  n = WideCharToMultiByte(CP_UTF8, 0, upper.c_str(), static_cast<int>(upper.size()), nullptr, 0,
                          nullptr, nullptr);
  full.assign(static_cast<size_t>(n > 0 ? n : 0), '\0');
  WideCharToMultiByte(CP_UTF8, 0, upper.c_str(), static_cast<int>(upper.size()), &full[0], n,
                      nullptr, nullptr);
#endif
  return full;
}

bool exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

// Whether name may be written in this run; false, with why, where not: an
// input, under any spelling or link, is never written over, nor a file this
// run writes.
bool writable(const Run& run, const std::string& name, const Options& opt, std::string& why) {
  FileId id;
  if (fileid(name, id) && run.inputs.count(id))
    why = "is an input of this run; not overwritten";
  else if (run.names.count(fullname(name)))
    why = "is written in this run; not overwritten";
  else if (exists(name) && !opt.force)
    why = "exists; --force overwrites it";
  else
    return true;
  return false;
}

// Starts writing text to name through a temporary file; false, with why
// and the run marked broken, where it cannot be written whole.
bool startfile(Run& run, const std::string& name, const std::string& text, const std::string& line,
               std::string& why) {
  auto p = std::make_unique<Pending>();
  errno = 0;
  bool ok = openfile(p->file, name);
  if (ok) {
    p->file.file.write(text.data(), static_cast<std::streamsize>(text.size()));
    // closed until the run ends: any number of files, one open at a time
    ok = p->file.file.good() && setaside(p->file);
  }
  if (!ok) {
    why = std::string("cannot be written") +
          (errno ? std::string(": ") + std::strerror(errno) : "") + "; nothing written";
    run.broken = true;
    return false;
  }
  p->name = name;
  p->line = line;
  run.names.insert(fullname(name));
  run.pending.push_back(std::move(p));
  return true;
}

// Reads the options into opt and files; false, with why, where the command
// line is wrong. shown is the help or the version where one is asked for:
// then nothing is converted.
bool parseargs(const std::vector<std::string>& args, Options& opt, std::vector<std::string>& files,
               std::string& shown, std::string& why) {
  auto usageerror = [&why](const std::string& msg) {
    why = msg;
    return false;
  };
  auto ms = [](const std::string& v, double& to) {
    char* end = nullptr;
    to = std::strtod(v.c_str(), &end);
    return !v.empty() && !*end && std::isfinite(to) && to > 0;
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
      shown = usage;
      return true;
    } else if (a == "--version") {
      shown =
          std::string("scanimport ") + SCANMERGE_VERSION + " (xylib " + xylib_get_version() + ")\n";
      return true;
    } else if (a == "--force") {
      opt.force = true;
    } else if (a == "-f" || a == "-o" || a == "-t" || a == "--reftime" || a == "--answers" ||
               a == "--command") {
      if (i + 1 >= args.size()) return usageerror("option " + a + " needs a value");
      const std::string& v = args[++i];
      if (a == "-f") {
        if (!xylib_get_format_by_name(v.c_str()) && !formatname(v))
          return usageerror("-f " + v +
                            ": no such format; `scanimport --help` and `xyconv -l` list them");
        opt.format = v;
      } else if (a == "-o") {
        struct stat st;
        if (stat(v.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
          return usageerror("-o " + v + ": no such folder");
        opt.outdir = v;
      } else if (a == "-t") {
        if (!ms(v, opt.tms))
          return usageerror("-t " + v + ": the time per step must be a number of ms above 0");
      } else if (a == "--reftime") {
        if (!ms(v, opt.refms))
          return usageerror("--reftime " + v + ": the time must be a number of ms above 0");
      } else {
        (a == "--answers" ? opt.answers : opt.command) = v;
      }
    } else {
      return usageerror("unknown option " + a);
    }
  }
  if (files.empty()) return usageerror("no input file");
  return true;
}

// Converts one input to temporary scan files, with its warnings on err;
// false, with why and the file the message names (the input, or a scan
// file of it) in where, where it fails: it writes nothing then, and the
// others go on.
bool convertfile(const std::string& file, int input, const Options& opt, Run& run,
                 std::ostream& err, std::string& where, std::string& why) {
  where = file;
  Instrument ins;
  if (!readinstrument(file, opt, ins, why)) return false;
  std::set<std::string> said;
  for (const std::string& note : ins.notes)
    if (said.insert(note).second) err << "scanimport: " << file << ": " << note << "\n";
  int nranges = static_cast<int>(ins.ranges.size());
  // an input named NAME.dat (Rigaku DAT, say) would be its own scan file:
  // its scans are NAME-scan.dat, in any folder
  std::string ext = file.size() > 4 ? file.substr(file.size() - 4) : "";
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  std::string base = ins.name + (ext == ".dat" ? "-scan" : "");
  std::vector<Range*> keep;
  std::vector<std::string> paths;
  for (Range& r : ins.ranges) {
    if (!r.skip.empty()) {
      err << "scanimport: " << file << ": range " << r.number << " skipped: it " << r.skip << "\n";
      continue;
    }
    std::string name = base + (nranges == 1 ? "" : "-" + std::to_string(r.number)) + ".dat";
    keep.push_back(&r);
    paths.push_back(opt.outdir.empty() ? name : opt.outdir + "/" + name);
  }
  if (keep.empty()) {
    why = "no step scan to convert";
    return false;
  }
  // an input is written whole or not at all
  for (const std::string& p : paths) {
    std::string c;
    if (writable(run, p, opt, c)) continue;
    if (c.rfind("exists", 0) == 0) {
      why = p + " " + c;
    } else if (c.rfind("is written", 0) == 0) {
      why = p + " was written from an earlier input; nothing written";
    } else {
      where = p;
      why = c;
    }
    return false;
  }
  // the stand-in monitor: 10^6 per step of the first range of the run
  if (run.refms == 0) run.refms = opt.refms > 0 ? opt.refms : keep[0]->tim[0];
  for (Range* r : keep)
    if (!standin(*r, run.refms, why)) return false;
  for (size_t k = 0; k < keep.size(); ++k) {
    Range& r = *keep[k];
    size_t n = r.tth.size();
    size_t low = 0;
    for (double m : r.mon) low += m < lowmonitor;
    if (low > 0)
      err << "scanimport: " << paths[k] << ": " << low << " steps have a monitor below "
          << lowmonitor << ", whose counts scanmerge drops"
          << (r.filemon ? "" : "; a shorter --reftime raises the stand-in") << "\n";
    double step = (r.tth[n - 1] - r.tth[0]) / static_cast<double>(n - 1);
    std::string line = paths[k] + ": " + std::to_string(n) + " rows, 2theta " + gnum(r.tth[0]) +
                       " to " + gnum(r.tth[n - 1]) + " deg, step " + gnum(step) + " deg, " +
                       gnum(r.tim[0]) + " ms per step, " + monitortext(r);
    if (!startfile(run, paths[k], scantext(ins, r, nranges), line, why)) {
      where = paths[k];
      return false;
    }
    if (n > static_cast<size_t>(maxpts))
      err << "scanimport: " << paths[k] << ": " << n << " rows; scanmerge takes the first "
          << maxpts << "\n";
    run.scans.push_back({r.tth[0], r.tth[1] - r.tth[0], paths[k], file, ins.name,
                         oneline(samplename(ins, r), 80), input, r.omega, r.omoff, r.chi, r.phi});
  }
  return true;
}

// Whether two positions differ by more than their printed digits, deg; a
// position the file does not give (NaN) differs from none.
bool apart(double a, double b) { return std::fabs(a - b) > 0.001; }

// The scans scanmerge can merge as one pattern, lowest angle first: a scan
// of another step than the first, a scan whose name holds a line break,
// and the ranges of a map are left out, each with a message.
std::vector<Written> mergeable(const Run& run, const std::string& name, const std::string& what,
                               std::ostream& err) {
  std::vector<Written> scans = run.scans;
  // scanmerge wants the scan with the lowest angle first
  std::stable_sort(scans.begin(), scans.end(),
                   [](const Written& a, const Written& b) { return a.first < b.first; });
  std::vector<Written> keep;
  // each input's positions, in one pass: ranges apart in an axis make a map
  struct Spread {
    int count = 0;
    // deg: omega, omega offset, chi, phi
    double lo[4] = {NAN, NAN, NAN, NAN}, hi[4] = {NAN, NAN, NAN, NAN};
  };
  std::map<int, Spread> spread;
  for (const Written& w : scans) {
    Spread& s = spread[w.input];
    ++s.count;
    const double at[4] = {w.omega, w.omoff, w.chi, w.phi};
    for (int a = 0; a < 4; ++a) {
      if (std::isnan(at[a])) continue;  // a position not given differs from none
      s.lo[a] = std::isnan(s.lo[a]) ? at[a] : std::min(s.lo[a], at[a]);
      s.hi[a] = std::isnan(s.hi[a]) ? at[a] : std::max(s.hi[a], at[a]);
    }
  }
  std::set<int> maps;
  for (const Written& w : scans) {
    if (maps.count(w.input)) continue;
    const Spread& s = spread[w.input];
    bool differ[4];
    for (int a = 0; a < 4; ++a) differ[a] = apart(s.hi[a], s.lo[a]);
    // a detector scan at a fixed omega keeps omega, a coupled scan keeps
    // omega - 2theta/2: one pattern where either agrees
    const char* axis = differ[0] && differ[1] ? "omega"
                       : differ[2]            ? "chi"
                       : differ[3]            ? "phi"
                                              : nullptr;
    if (axis) {
      maps.insert(w.input);
      err << "scanimport: " << w.file << ": " << s.count << " ranges at different " << axis
          << ": a map, not one pattern; left out of the " << what << "\n";
    }
  }
  for (const Written& w : scans) {
    if (maps.count(w.input)) continue;
    if (w.path.find_first_of("\r\n") != std::string::npos) {
      err << "scanimport: " << name << ": " << oneline(w.path, w.path.size())
          << " left out: its name holds a line break, which scanmerge would read as two "
             "names\n";
      continue;
    }
    if (!keep.empty()) {
      // scanmerge would put a scan of another step on that grid, its angles
      // wrong, so such a scan is left out
      float d = static_cast<float>(w.step);  // scanmerge's 32-bit difference
      double tthstep = gridstep(keep[0].step);
      if (!samestep(d, tthstep)) {
        err << "scanimport: " << name << ": " << w.path << " left out: its step " << gnum(d)
            << " deg is not the " << gnum(tthstep) << " deg of " << keep[0].path
            << ", and scanmerge merges scans of one step only\n";
        continue;
      }
    }
    keep.push_back(w);
  }
  return keep;
}

// The answers file: the scans, no EIV correction, the four outputs named
// after the first scan listed, and its sample as the title.
std::string answerstext(const std::vector<Written>& scans, const Options& opt) {
  std::string dir = opt.outdir.empty() ? "" : opt.outdir + "/";
  std::string text;
  for (const Written& w : scans) text += w.path + "\n";
  text += "\n\n";  // the end of the list, no EIV correction
  for (int k = 0; k < dialogueoutputs; ++k) text += dir + scans[0].base + outputkinds[k].ext + "\n";
  return text + scans[0].title + "\n";
}

// s quoted for a POSIX shell
std::string quoted(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

// True when p is a file that may be run.
bool runnable(const std::filesystem::path& p) {
  std::error_code ec;
  std::filesystem::file_status st = std::filesystem::status(p, ec);
  return !ec && std::filesystem::is_regular_file(st) &&
         (st.permissions() & std::filesystem::perms::owner_exec) != std::filesystem::perms::none;
}

// The scanmerge the command runs: the one beside this program (in a build,
// the build's, a folder up), written bare where PATH finds that same file and
// by its full path where it does not; without one, scanmerge as PATH finds it.
std::string mergeprogram() {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::path self = fs::read_symlink("/proc/self/exe", ec);  // Linux's name of this program
  if (ec) return "scanmerge";
  for (const fs::path& p :
       {self.parent_path() / "scanmerge", self.parent_path().parent_path() / "scanmerge"}) {
    if (!runnable(p)) continue;
    std::string full = quoted(p.lexically_normal().string());
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "";
    for (std::size_t at = 0; path && at <= dirs.size();) {
      std::size_t end = std::min(dirs.find(':', at), dirs.size());
      fs::path found = fs::path(end > at ? dirs.substr(at, end - at) : ".") / "scanmerge";
      if (runnable(found)) return fs::equivalent(found, p, ec) ? "scanmerge" : full;
      at = end + 1;
    }
    return full;
  }
  return "scanmerge";
}

// The shell line that merges the scans with scanmerge's command line.
std::string commandtext(const std::vector<Written>& scans, const Options& opt) {
  std::string out = (opt.outdir.empty() ? "" : opt.outdir + "/") + scans[0].base;
  std::string text = mergeprogram();
  for (int k = 0; k < dialogueoutputs; ++k)
    text += std::string(" --") + outputkinds[k].name + " " + quoted(out + outputkinds[k].ext);
  text += " --title " + quoted(scans[0].title) + " --";
  for (const Written& w : scans) text += " " + quoted(w.path);
  return text + "\n";
}

// Writes what merges the scans (the answers file or the command) to name,
// with its warnings on err; false, with why, where name cannot be written.
bool writemerge(Run& run, const std::string& name, const std::string& what, const Options& opt,
                std::ostream& err, std::string& why) {
  std::vector<Written> scans = mergeable(run, name, what, err);
  if (scans.empty()) {
    // every scan is written, and only left out (a map): no failure
    err << "scanimport: " << name << ": no scan to merge, so no " << what << "\n";
    return true;
  }
  if (!writable(run, name, opt, why)) return false;
  return startfile(run, name, what == "answers" ? answerstext(scans, opt) : commandtext(scans, opt),
                   "", why);
}

}  // namespace

// Every failure of the run comes here, said once as "scanimport: FILE: why";
// the exit status is decided here alone.
int scanimport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  Options opt;
  std::vector<std::string> files;
  std::string shown, why;
  if (!parseargs(args, opt, files, shown, why)) {
    err << "scanimport: " << why << "\nTry 'scanimport --help'.\n";
    return 2;
  }
  if (!shown.empty()) {
    out << shown;
    return 0;
  }
  bool failed = false;  // an input, or a file of the run, failed
  auto fail = [&](const std::string& where, const std::string& reason) {
    err << "scanimport: " << where << ": " << reason << "\n";
    failed = true;
  };
  Run run;
  for (const std::string& f : files) {
    FileId id;
    if (fileid(f, id)) run.inputs.insert(id);
  }
  for (size_t i = 0; i < files.size() && !run.broken; ++i) {
    size_t pending = run.pending.size(), scans = run.scans.size();
    std::string where;
    bool ok = false;
    try {
      ok = convertfile(files[i], static_cast<int>(i), opt, run, err, where, why);
    } catch (const std::bad_alloc&) {
      // the memory ran out (a limit set with ulimit -v): the input is
      // written not at all, and the others go on
      for (size_t k = pending; k < run.pending.size(); ++k)
        run.names.erase(fullname(run.pending[k]->name));
      run.pending.resize(pending);
      run.scans.resize(scans);
      ok = false;
      where = files[i];
      why = "out of memory; nothing written from it";
    }
    if (!ok) fail(where, why);
  }
  if (!opt.answers.empty() && !run.broken &&
      !writemerge(run, opt.answers, "answers", opt, err, why))
    fail(opt.answers, why);
  if (!opt.command.empty() && !run.broken &&
      !writemerge(run, opt.command, "command", opt, err, why))
    fail(opt.command, why);
  // every file of the run in place, or none
  if (!run.broken) {
    std::vector<SafeFile*> outputs;
    for (auto& p : run.pending) outputs.push_back(&p->file);
    size_t placed = commitfiles(outputs);
    if (placed < outputs.size()) {
      const int error = errno;
      std::vector<std::string> names;
      for (auto& p : run.pending) names.push_back(p->name);
      fail(names[placed], notplaced(outputs, names, error));
    } else {
      for (auto& p : run.pending)
        if (!p->line.empty()) out << p->line << "\n";
    }
  }
  return failed ? 1 : 0;
}
