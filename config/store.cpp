// Placeholder until the registry store lands: options keep their defaults.
#include "config/store.h"
#include "config/options.h"

void LoadOptions() {}
void SaveOptions() {}
