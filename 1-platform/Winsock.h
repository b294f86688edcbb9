// Stand-ins for the Windows socket calls used to read the host name.
// WSAStartup and WSACleanup do nothing and succeed; gethostname is the
// system's. Each can be made to fail through the platform seams.
#pragma once

#include <cstdint>

namespace ostak {

struct WSADATA {
    uint16_t wVersion;
    uint16_t wHighVersion;
};

int32_t WSAStartup(uint16_t version, WSADATA *data) noexcept;
// 0 on success; the name is NUL-terminated within `size` bytes.
int32_t gethostname(char *name, int32_t size) noexcept;
int32_t WSACleanup() noexcept;
// The error of the last failed call above.
int32_t WSAGetLastError() noexcept;

} // namespace ostak
