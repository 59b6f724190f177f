#include "UserNotification.h"

#include <cstdio>
#include <mutex>

namespace {

std::mutex& hookMutex() {
    static std::mutex mutex;
    return mutex;
}

UserNotification::Hook& installedHook() {
    static UserNotification::Hook hook;
    return hook;
}

}  // namespace

void UserNotification::setHook(Hook hook) {
    std::lock_guard guard(hookMutex());
    installedHook() = std::move(hook);
}

void UserNotification::notify(const std::string& title, const std::string& text) {
    Hook hook;
    {
        std::lock_guard guard(hookMutex());
        hook = installedHook();
    }
    if (hook) {
        hook(title, text);
    } else {
        std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
    }
}
