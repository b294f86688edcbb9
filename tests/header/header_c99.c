/* The public header compiles alone as C99. */
#include "ostak.h"

int ostak_header_c99_probe(void);
int ostak_header_c99_probe(void) {
    ostak_log_callback log = 0;
    (void)log;
    return OSTAK_OK + OSTAK_LEVEL_ERROR;
}
