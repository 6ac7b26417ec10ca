// The zip archives BRML and RASX files are, read from memory with libzip.
#include <zip.h>  // libzip

#include "ownformats.h"

namespace {

// A member larger than this is refused: no range of a scan comes near it,
// and a damaged or hostile size must not take the memory.
const zip_uint64_t maxmember = 256u << 20;  // bytes

// The archive in data, read only; nullptr, with why, where it is none.
zip_t* openzip(const std::string& data, std::string& why) {
  zip_error_t err;
  zip_error_init(&err);
  zip_source_t* src = zip_source_buffer_create(data.data(), data.size(), 0, &err);
  zip_t* z = src ? zip_open_from_source(src, ZIP_RDONLY, &err) : nullptr;
  if (!z) {
    why = std::string("not a readable zip archive: ") + zip_error_strerror(&err);
    if (src) zip_source_free(src);
  }
  zip_error_fini(&err);
  return z;
}

}  // namespace

bool zipnames(const std::string& data, std::vector<std::string>& names, std::string& why) {
  zip_t* z = openzip(data, why);
  if (!z) return false;
  zip_int64_t n = zip_get_num_entries(z, 0);
  for (zip_int64_t i = 0; i < n; ++i) {
    const char* name = zip_get_name(z, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_RAW);
    if (name) names.push_back(name);
  }
  zip_discard(z);
  return true;
}

bool zipmember(const std::string& data, const std::string& name, std::string& text,
               std::string& why) {
  zip_t* z = openzip(data, why);
  if (!z) return false;
  zip_stat_t st;
  zip_stat_init(&st);
  bool ok = false;
  zip_file_t* f = nullptr;
  if (zip_stat(z, name.c_str(), ZIP_FL_ENC_RAW, &st) != 0 || !(st.valid & ZIP_STAT_SIZE)) {
    why = name + ": missing from the archive";
  } else if (st.size > maxmember) {
    why = name + ": larger than 256 MiB";
  } else if (!(f = zip_fopen_index(z, st.index, 0))) {
    why = name + ": cannot be read: " + zip_strerror(z);
  } else {
    text.assign(static_cast<size_t>(st.size), '\0');
    zip_int64_t got = st.size ? zip_fread(f, &text[0], st.size) : 0;
    // one byte more must give the end, and with it the check of the CRC
    char extra;
    zip_int64_t more = zip_fread(f, &extra, 1);
    if (got != static_cast<zip_int64_t>(st.size) || more != 0)
      why = name + ": damaged in the archive: " + zip_file_strerror(f);
    else
      ok = true;
    zip_fclose(f);
  }
  zip_discard(z);
  if (!ok) text.clear();
  return ok;
}
