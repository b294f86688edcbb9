// What the lower layers need of the process state, handed to them by the
// caller instead of read from OstakGlobals.
//
// The exports build one from the process state (FromGlobals) when a call
// starts and hand it down by const reference; everything that call does
// follows it: in particular one load or save converts every string on the
// path the context names, whatever changes in the process state meanwhile.
// Tests build their own, so that the model, format and merge layers run
// without the library being initialised.
//
// The texts are borrowed: they must outlive every use of the context (those
// from FromGlobals live in the process state, which changes only when the
// library is initialised or terminated).
#pragma once

#include "include/ostak.h"

#include <cstdint>

namespace ostak {

struct OstakContext {
    // Stamped on new applications and on applications that a merge changes ("" for none).
    const char *stampHost;
    // Whether a new application gets the stamp at all (false in read-only mode).
    bool stampNewApplications;
    // Whether text is converted through ICU (the converter switch is on, or
    // the process's code set needs conversion) rather than byte for byte.
    bool icuPath;
    // The root directory, holding dat/; ends in the path separator.
    const char *rootDir;
    // Whether the XML library was started: without it nothing is read or written.
    bool xmlLibraryStarted;
    // Asked about every rule on which a merge must decide (may be null).
    ostak_merge_callback mergeCallback;

    // What the load export's sequence (6-merge/OstakLoadSequence.h) decides by.
    bool readOnlyMode;                // loads drop disabled entries; no lock, nothing kept in step
    ostak_conf_callback confCallback; // asked whether to merge the installation file in (may be null)
    const char *installationPath;     // the installation file
    uint32_t installationPathLength;

    // The context of the process state as it stands now.
    static OstakContext FromGlobals() noexcept;
};

} // namespace ostak
