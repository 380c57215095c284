#include "config/options.h"

HostProfileRec HostProfile = {
    "", "", "", "", "", 6000, 65, 0, 21, 0, 0, "", "", "", 0,
};

ProgramOptionsRec ProgramOptions = {
    "", "notepad", 0, 1, 0, 1, 0, 0, 'I',
};
