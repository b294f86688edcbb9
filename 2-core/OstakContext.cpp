#include "2-core/OstakContext.h"

#include "1-platform/basekit32.h"
#include "2-core/OstakGlobals.h"

namespace ostak {

OstakContext OstakContext::FromGlobals() noexcept {
    const OstakGlobals &globals = Globals();
    OstakContext context{};
    context.stampHost = globals.hostName.text;
    context.stampNewApplications = !globals.readOnlyMode;
    context.icuPath = globals.converterSwitch || xeOsCharsetType() != 0;
    context.rootDir = globals.rootDir.text;
    context.xmlLibraryStarted = globals.xmlLibraryStarted;
    context.mergeCallback = globals.mergeCallback;
    context.readOnlyMode = globals.readOnlyMode;
    context.confCallback = globals.confCallback;
    context.installationPath = globals.installationPath.text;
    context.installationPathLength = globals.installationPath.length;
    return context;
}

} // namespace ostak
