// XML documents of the archives and of XRDML, parsed with pugixml.
#include "xml.h"

bool parsexml(const std::string& text, pugi::xml_document& doc, std::string& why) {
  // A node takes 40 to 64 bytes, so markup far denser than measured data's
  // (one tag or attribute in 19 bytes or more) would take many times the
  // text: empty elements, not a measurement.
  if (text.size() > (64u << 10)) {
    size_t marks = 0;
    for (char c : text) marks += c == '<' || c == '=';
    if (marks > text.size() / 8) {
      why = "XML of " + std::to_string(text.size()) + " bytes with " + std::to_string(marks) +
            " tags and attributes, far more than measured data hold: not read";
      return false;
    }
  }
  pugi::xml_parse_result res = doc.load_buffer(text.data(), text.size());
  if (!res) why = "XML error at byte " + std::to_string(res.offset) + ": " + res.description();
  return res;
}
