// The zip archives BRML and RASX files are, read from memory with libzip.
#include <zip.h>  // libzip

#include <algorithm>
#include <cstdlib>

#include "archive.h"
#include "util.h"

namespace {

// A member larger than this is refused: no range of a scan comes near it,
// and a damaged or hostile size must not take the memory.
const zip_uint64_t maxmember = 256u << 20;  // bytes
// Deflate makes at most 1032 bytes of one compressed byte: a member that
// declares more has a damaged header.
const zip_uint64_t deflatemost = 1032;
// Measured data compress 2 to 10-fold (angles, counts, the conditions'
// XML); members that together grow beyond 1 MiB and more than 100-fold
// the archive are a zip bomb, not a measurement.
const zip_uint64_t bombratio = 100;
const zip_uint64_t bombfloor = 1u << 20;  // bytes

}  // namespace

ZipArchive::~ZipArchive() {
  if (z) zip_discard(z);
}

bool zipopen(const std::string& data, ZipArchive& zip, std::string& why) {
  zip_error_t err;
  zip_error_init(&err);
  zip_source_t* src = zip_source_buffer_create(data.data(), data.size(), 0, &err);
  zip.z = src ? zip_open_from_source(src, ZIP_RDONLY, &err) : nullptr;
  if (!zip.z) {
    why = std::string("not a readable zip archive: ") + zip_error_strerror(&err);
    if (src) zip_source_free(src);
  }
  zip_error_fini(&err);
  if (!zip.z) return false;
  zip.size = data.size();
  zip_int64_t n = zip_get_num_entries(zip.z, 0);
  for (zip_int64_t i = 0; i < n; ++i) {
    const char* name = zip_get_name(zip.z, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_RAW);
    if (!name) continue;
    zip.names.push_back(name);
    // two members of one name: which one a reader would take is not known
    if (!zip.index.emplace(name, static_cast<zip_uint64_t>(i)).second) {
      why = std::string("holds two members named ") + name + "; the archive is damaged";
      return false;
    }
  }
  return true;
}

bool zipnames(const std::string& data, std::vector<std::string>& names, std::string& why) {
  ZipArchive zip;
  if (!zipopen(data, zip, why)) return false;
  names = zip.names;
  return true;
}

bool zipread(ZipArchive& zip, const std::string& name, std::string& text, std::string& why) {
  text.clear();
  auto at = zip.index.find(name);
  zip_stat_t st;
  zip_stat_init(&st);
  if (at == zip.index.end() || zip_stat_index(zip.z, at->second, ZIP_FL_ENC_RAW, &st) != 0 ||
      !(st.valid & ZIP_STAT_SIZE) || !(st.valid & ZIP_STAT_COMP_SIZE)) {
    why = name + ": missing from the archive";
    return false;
  }
  std::string size = std::to_string(st.size) + " bytes";
  if (st.size > maxmember) {
    why = name + ": declares " + size + ", more than the 256 MiB a range can take";
    return false;
  }
  if (st.comp_size > zip.size) {
    why = name + ": declares " + std::to_string(st.comp_size) +
          " compressed bytes in an archive of " + std::to_string(zip.size);
    return false;
  }
  zip_uint64_t packed = std::max<zip_uint64_t>(st.comp_size, 1);
  if (st.size / packed > deflatemost) {
    why = name + ": declares " + size + " from " + std::to_string(st.comp_size) +
          " compressed, more than compression makes of them; the archive is damaged";
    return false;
  }
  zip.unpacked += st.size;
  if (zip.unpacked > bombfloor && zip.unpacked / bombratio > zip.size) {
    why = name + ": the members read grow to " + std::to_string(zip.unpacked) +
          " bytes from an archive of " + std::to_string(zip.size) +
          ", where measured data grow at most 10-fold: a zip bomb, not read";
    return false;
  }
  zip_file_t* f = zip_fopen_index(zip.z, at->second, 0);
  if (!f) {
    why = name + ": cannot be read: " + zip_strerror(zip.z);
    return false;
  }
  text.assign(static_cast<size_t>(st.size), '\0');
  zip_int64_t got = st.size ? zip_fread(f, &text[0], st.size) : 0;
  // one byte more must give the end, and with it the check of the CRC
  char extra;
  zip_int64_t more = got == static_cast<zip_int64_t>(st.size) ? zip_fread(f, &extra, 1) : 0;
  bool ok = got == static_cast<zip_int64_t>(st.size) && more == 0;
  if (got < 0 || more < 0)
    why = name + ": damaged in the archive: " + zip_file_strerror(f);
  else if (!ok)
    why = name + ": damaged in the archive: " +
          (more > 0 ? "longer than the " + size + " its header declares"
                    : "holds " + std::to_string(got) + " bytes, its header declares " + size);
  zip_fclose(f);
  if (!ok) text.clear();
  return ok;
}

bool zipmember(const std::string& data, const std::string& name, std::string& text,
               std::string& why) {
  ZipArchive zip;
  return zipopen(data, zip, why) && zipread(zip, name, text, why);
}

long numbered(const std::string& name, const std::string& prefix, const std::string& suffix) {
  if (name.size() <= prefix.size() + suffix.size() || name.compare(0, prefix.size(), prefix) != 0 ||
      name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
    return -1;
  std::string n = name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
  if (n.size() > 9 || n.find_first_not_of("0123456789") != std::string::npos) return -1;
  return std::strtol(n.c_str(), nullptr, 10);
}

std::vector<std::pair<long, std::string>> bynumber(const std::vector<std::string>& names,
                                                   long (*number)(const std::string&)) {
  std::vector<std::pair<long, std::string>> found;
  for (const std::string& n : names)
    if (number(n) >= 0) found.emplace_back(number(n), n);
  std::sort(found.begin(), found.end());
  return found;
}
