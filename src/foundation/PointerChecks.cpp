#include "PointerChecks.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "AvDebugLogger.h"

namespace {

constexpr uint32_t kFillPatterns[] = {0xABABABAB, 0xABADCAFE, 0xBAADF00D, 0xBADCAB1E, 0xBEEFCACE,
                                      0xCCCCCCCC, 0xCDCDCDCD, 0xDEADDEAD, 0xFDFDFDFD, 0xFEEEFEEE};

}  // namespace

bool PointerChecks::isBadPointer(const volatile void* pointer) {
    const auto value = reinterpret_cast<uintptr_t>(pointer);
    if (value == 0) {
        return true;
    }
    for (uint32_t pattern : kFillPatterns) {
        const uint64_t wide = pattern;
        if (value == wide || value == ((wide << 32) | wide)) {
            return true;
        }
    }
    return false;
}

const char* PointerChecks::qualifiedName(const char* prettyFunction, char* buffer, int bufferSize) {
    // "bool Foo::bar(int) const" -> "Foo::bar": the token that ends at the parameter list's
    // opening parenthesis, after the last blank outside template brackets.
    const char* open = std::strchr(prettyFunction, '(');
    if (open == nullptr || bufferSize <= 0) {
        return prettyFunction;
    }
    const char* begin = open;
    int angleDepth = 0;
    while (begin > prettyFunction) {
        char c = begin[-1];
        if (c == '>') {
            ++angleDepth;
        } else if (c == '<') {
            --angleDepth;
        } else if (c == ' ' && angleDepth == 0) {
            break;
        }
        --begin;
    }
    int length = static_cast<int>(open - begin);
    if (length >= bufferSize) {
        length = bufferSize - 1;
    }
    std::memcpy(buffer, begin, static_cast<size_t>(length));
    buffer[length] = '\0';
    return buffer;
}

void PointerChecks::fail(const volatile void* pointer, const char* checkName, const char* file,
                         int line, const char* prettyFunction) {
    char name[512];
    const char* function = qualifiedName(prettyFunction, name, sizeof name);
    std::printf("Error! %s encountered a bad pointer (%p). (%s : %d : %s)\n", checkName,
                const_cast<const void*>(pointer), file, line, function);
    std::fflush(stdout);
    AvDebugLogger::instance().flushIfIdle();
    std::abort();
}
