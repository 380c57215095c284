#include "store/options.h"

#include "log/log.h"

HostProfileRec HostProfile = {
    "", "", "", "", "", 6000, 65, 0, 21, 0, 0, "", "", "", 0, NAMES_CODE_PAGE, 0, "", 0, 0, MLSD_NEVER,
};

ProgramOptionsRec ProgramOptions = {
    "", "notepad", 0, 1, 0, 1, 0, 0, 1, 0, 'I', "",
};

// Trace lines follow the Verbose option from the first line logged.
[[maybe_unused]] static const bool g_traceFollowsVerbose = (SetTraceSwitch(&ProgramOptions.verbose), true);
