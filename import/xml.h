// XML documents, parsed with pugixml.
#pragma once

#include <pugixml.hpp>  // the XML parser
#include <string>

// text parsed into doc; false, with why, where it is no XML document.
bool parsexml(const std::string& text, pugi::xml_document& doc, std::string& why);
