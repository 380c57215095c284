#include "net/hooks.h"

namespace {

bool NotStopped() { return false; }
bool NoMessages(WPARAM*) { return false; }
void NoQuit(WPARAM) {}

}  // namespace

NetHooksRec NetHooks = {
    NotStopped,
    NoMessages,
    NoQuit,
};
