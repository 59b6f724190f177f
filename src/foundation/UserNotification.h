#pragma once

#include <functional>
#include <string>

// How core code tells the user something that needs their attention. The application installs a
// hook that shows a message box; without one the message goes to the standard error stream.
class UserNotification {
public:
    using Hook = std::function<void(const std::string& title, const std::string& text)>;

    // Replaces the hook (null restores the default).
    static void setHook(Hook hook);
    // Shows `text` under `title`; called from any thread, the hook decides how.
    static void notify(const std::string& title, const std::string& text);
};
