# Finds the file name and the version suffix of ICU's common library, which the
# library loads at run time by name and binds by its version-suffixed entry
# points (for example libicuuc.so.72 and _72).
find_library(OSTAK_ICUUC_LIBRARY NAMES icuuc REQUIRED)
find_path(OSTAK_ICU_INCLUDE_DIR unicode/uvernum.h REQUIRED)
file(STRINGS "${OSTAK_ICU_INCLUDE_DIR}/unicode/uvernum.h" _ostak_icu_major
     REGEX "^#define U_ICU_VERSION_MAJOR_NUM [0-9]+")
string(REGEX MATCH "[0-9]+" OSTAK_ICU_MAJOR "${_ostak_icu_major}")
if(NOT OSTAK_ICU_MAJOR)
    message(FATAL_ERROR "Cannot read ICU's major version from uvernum.h")
endif()
set(OSTAK_ICU_LIBRARY_NAME "libicuuc.so.${OSTAK_ICU_MAJOR}")
set(OSTAK_ICU_SUFFIX "_${OSTAK_ICU_MAJOR}")
message(STATUS "ICU common library: ${OSTAK_ICU_LIBRARY_NAME}, entry points suffixed ${OSTAK_ICU_SUFFIX}")
