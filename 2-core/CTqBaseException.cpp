// The exported exception base class. The library never creates or throws one;
// it is offered to callers. It holds no data, so copying copies nothing.
#include "include/ostak.h"

CTqBaseException::CTqBaseException() = default;

CTqBaseException::CTqBaseException(const CTqBaseException & /*other*/) {}

CTqBaseException &CTqBaseException::operator=(const CTqBaseException & /*other*/) {
    return *this;
}

CTqBaseException::~CTqBaseException() = default;

char *CTqBaseException::operator*() {
    return GetMessageText();
}
