#include "1-platform/Winsock.h"

#include "1-platform/Seams.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace ostak {

namespace {
int32_t g_lastError = 0;

// Applies a forced failure: answers true (and sets the last error) when forced.
bool Forced(const ForcedResult &forced, int32_t *rc) {
    if (!forced.active) {
        return false;
    }
    *rc = forced.rc;
    g_lastError = Seams().wsaLastError;
    return true;
}
} // namespace

int32_t WSAStartup(uint16_t version, WSADATA *data) noexcept {
    PlatformSeams &seams = Seams();
    ++seams.wsaStartupCalls;
    int32_t rc = 0;
    if (Forced(seams.wsaStartup, &rc)) {
        return rc;
    }
    if (data != nullptr) {
        data->wVersion = version;
        data->wHighVersion = version;
    }
    return 0;
}

int32_t gethostname(char *name, int32_t size) noexcept {
    PlatformSeams &seams = Seams();
    ++seams.gethostnameCalls;
    int32_t rc = 0;
    if (Forced(seams.gethostname, &rc)) {
        return rc;
    }
    if (name == nullptr || size <= 0) {
        g_lastError = EINVAL;
        return -1;
    }
    if (seams.hostNameOverride) {
        const std::size_t length = seams.hostName.size();
        if (length + 1 > static_cast<std::size_t>(size)) {
            g_lastError = ENAMETOOLONG;
            return -1;
        }
        std::memcpy(name, seams.hostName.c_str(), length + 1);
        return 0;
    }
    if (::gethostname(name, static_cast<std::size_t>(size)) != 0) {
        g_lastError = errno;
        return -1;
    }
    name[size - 1] = '\0';
    return 0;
}

int32_t WSACleanup() noexcept {
    PlatformSeams &seams = Seams();
    ++seams.wsaCleanupCalls;
    int32_t rc = 0;
    if (Forced(seams.wsaCleanup, &rc)) {
        return rc;
    }
    return 0;
}

int32_t WSAGetLastError() noexcept {
    return g_lastError;
}

} // namespace ostak
