// The C++ header compiles alone as C++17.
#include "ostak.hpp"

int ostak_header_hpp_probe();
int ostak_header_hpp_probe() {
    return static_cast<int>(ostak::FileKind::Source);
}
