#include "SystemError.h"

#include <cerrno>
#include <cstring>

std::string SystemError::text(int errorNumber) {
    char buffer[256];
    // GNU strerror_r returns the message, which may or may not be the buffer.
    const char* message = strerror_r(errorNumber, buffer, sizeof buffer);
    return message;
}

std::string SystemError::last() {
    return text(errno);
}
