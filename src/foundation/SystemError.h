#pragma once

#include <string>

// The one place where an errno value becomes words.
class SystemError {
public:
    // The system's description of `errorNumber` ("No such file or directory").
    static std::string text(int errorNumber);
    // The description of the current errno.
    static std::string last();
};
