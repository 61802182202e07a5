#pragma once
// Runs an event's handler chain; a platform error raised anywhere in it ends
// the chain and is shown in the standard error message box.
#include "platform/dialogs.h"
#include "platform/errors.h"

namespace platform {

template <typename F> void runGuarded(F&& handler) {
    try {
        handler();
    } catch (const PlatformError& e) {
        dialogs().showError(e.message());
    }
}

} // namespace platform
