#include "2-core/OstakFileStat.h"

#include "2-core/MsgIssue.h"
#include "include/ostak.h"

#include <cerrno>

namespace ostak {

int32_t OstakFileStat::Obtain(const char *path) noexcept {
    errno = 0;
    const int statResult = stat(path, &record);
    if (statResult != 0) {
        const int error = errno;
        record = {};
        if (error == ENOENT) {
            code = OSTAK_E_FILE_MISSING;
            return code;
        }
        MsgFormatAndIssue(kMsgStatFailed, "OstakFileInMem::ObtainFileStat", kLineObtainFileStat, kLevelError,
                          {MsgArg::Str("_stat32"), MsgArg::Int(statResult), MsgArg::Int(error)});
        code = OSTAK_E_FILE_STAT;
        return code;
    }
    if (!S_ISREG(record.st_mode)) {
        code = OSTAK_E_NOT_REGULAR_FILE;
    } else if (record.st_size == 0) {
        code = OSTAK_E_FILE_EMPTY;
    } else {
        code = OSTAK_OK;
    }
    return code;
}

} // namespace ostak
