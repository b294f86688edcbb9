#include "frame/OstakFileInMem.h"

#include <new>

namespace ostak {

OstakFileInMem::OstakFileInMem(int32_t kind) noexcept
    : fullPath_(xtOsStrCommonEmptyStr), versionText_(xtOsStrCommonEmptyStr), applications_(true),
      kind_(kind) {}

OstakFileInMem *OstakFileInMem::Create(int32_t kind, const char *path, int32_t length) noexcept {
    OstakFileInMem *file = new (std::nothrow) OstakFileInMem(kind);
    if (file == nullptr) {
        return nullptr;
    }
    if (!xfvOsStrAssignFromCharArrayIgnoringNulls(&file->fullPath_, path, length)) {
        delete file;
        return nullptr;
    }
    return file;
}

OstakFileInMem::~OstakFileInMem() {
    applications_.Clear();
    xfvOsStrDestruct(&versionText_);
    xfvOsStrDestruct(&fullPath_);
}

int32_t OstakFileInMem::SetVersionText(const char *chars, int32_t length) noexcept {
    return xfvOsStrAssignFromCharArrayIgnoringNulls(&versionText_, chars, length) ? OSTAK_OK
                                                                                  : OSTAK_E_NO_MEMORY;
}

} // namespace ostak
