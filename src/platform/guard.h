#pragma once
// Runs an event's handler chain; a platform error raised anywhere in it ends
// the chain and is shown in the standard error message box.
#include "platform/dialogs.h"
#include "platform/errors.h"

namespace platform {

// `afterError` runs with the error's text once the box has been shown, under
// the same guard, to put right what the broken chain left half done.
template <typename F, typename A> void runGuarded(F&& handler, A&& afterError) {
    QString error;
    try {
        handler();
        return;
    } catch (const PlatformError& e) {
        error = e.message();
    }
    dialogs().showError(error);
    try {
        afterError(error);
    } catch (const PlatformError& e) {
        dialogs().showError(e.message());
    }
}

template <typename F> void runGuarded(F&& handler) {
    runGuarded(handler, [](const QString&) {});
}

} // namespace platform
