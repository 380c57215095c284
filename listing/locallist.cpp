// Placeholder until the local listing lands.
#include "listing/locallist.h"

int FillLocalLists(HWND) { return 0; }
