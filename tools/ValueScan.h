// A light scan of a rule file's bytes for values that load as something
// other than they look: a flag other than exactly "true" or "false", a level
// other than "error" or "disabled", text that looks like UTF-8 read as
// ISO-8859-1 (or the reverse), a file without the document type head. The
// library reads such values without a word; check warns about each, with
// where it stands and how to mend it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ostak_tool {

struct ValueWarning {
    int32_t line = 0;    // 1-based; 0 for the whole file
    int32_t column = 0;  // 1-based, in characters
    std::string element; // "Mail", "Mail/R1", or empty
    std::string text;    // what it reads as
    std::string fix;     // how to mend it
};

// Scans `bytes`. `dtdPath` names the document type file whose content is the head.
std::vector<ValueWarning> ScanValues(const std::string &bytes, const std::string &dtdPath);

} // namespace ostak_tool
