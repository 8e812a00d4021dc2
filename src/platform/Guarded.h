#pragma once
// Runs an event handler; an error that ends it is shown in the error dialog and the program runs on.

#include "platform/Dialogs.h"
#include "platform/RuntimeError.h"

#include <functional>

inline void runGuarded(IDialogs& dialogs, const std::function<void()>& handler) {
    try {
        handler();
    } catch (const RuntimeError& e) {
        dialogs.showError(e.message());
    }
}
