#include "tools/StampText.h"

#include "tools/Text.h"

#include <cstdio>
#include <ctime>

namespace ostak_tool {

std::string IsoLocalTime(int64_t seconds) {
    const auto time = static_cast<std::time_t>(seconds);
    std::tm local{};
    if (localtime_r(&time, &local) == nullptr) {
        return std::to_string(seconds);
    }
    char text[40];
    const std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    const long offset = local.tm_gmtoff;
    const long minutes = (offset < 0 ? -offset : offset) / 60;
    char zone[48];
    std::snprintf(zone, sizeof zone, "%c%02ld:%02ld", offset < 0 ? '-' : '+', minutes / 60, minutes % 60);
    return std::string(text, length) + zone;
}

std::string DescribeStamp(const ostak::Application::Stamp &stamp) {
    if (stamp.time == 0 && stamp.host.empty()) {
        return "not stamped";
    }
    std::string out = "stamped " + IsoLocalTime(stamp.time);
    if (!stamp.host.empty()) {
        out += " on " + Printable(stamp.host);
    }
    return out;
}

} // namespace ostak_tool
