// How the tool shows an application's stamp: the time in ISO 8601, local
// time with its offset from UTC ("2026-12-08T07:40:51+01:00"), and the host.
#pragma once

#include "include/ostak.hpp"

#include <cstdint>
#include <string>

namespace ostak_tool {

// Seconds since 1970-01-01 00:00 UTC as local ISO 8601 time with its offset.
std::string IsoLocalTime(int64_t seconds);

// "stamped 2026-12-08T07:40:51+01:00 on HOST"; "not stamped" for an empty stamp.
std::string DescribeStamp(const ostak::Application::Stamp &stamp);

} // namespace ostak_tool
