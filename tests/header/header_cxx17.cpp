// The public header compiles alone as C++17.
#include "ostak.h"

int ostak_header_cxx17_probe();
int ostak_header_cxx17_probe() {
    ostak_merge_callback merge = nullptr;
    (void)merge;
    return OSTAK_E_NOT_INITIALISED;
}
