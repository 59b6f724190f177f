#pragma once

#include <cstdint>
#include <type_traits>

// Fatal checks on pointers an operation depends on. A bad pointer prints one line naming the
// pointer, the source position and the function ("Class::operation"), then aborts the process.
#define CHECK_POINTER(p) \
    PointerChecks::check((p), "CHECK_POINTER", __FILE__, __LINE__, __PRETTY_FUNCTION__)
#define CHECK_ALLOCATION(p) \
    PointerChecks::check((p), "CHECK_ALLOCATION", __FILE__, __LINE__, __PRETTY_FUNCTION__)

class PointerChecks {
public:
    // A pointer is bad when it is null or holds one of the fill patterns that debug heaps and
    // stacks leave behind, either as the whole value or repeated in both 32-bit halves.
    static bool isBadPointer(const volatile void* pointer);

    template <typename T>
    static void check(const T& pointer, const char* checkName, const char* file, int line,
                      const char* prettyFunction) {
        const volatile void* raw = rawPointer(pointer);
        if (isBadPointer(raw)) {
            fail(raw, checkName, file, line, prettyFunction);
        }
    }

    // "Class::operation" from a compiler's pretty function signature.
    static const char* qualifiedName(const char* prettyFunction, char* buffer, int bufferSize);

private:
    template <typename T>
    static const volatile void* rawPointer(const T& pointer) {
        if constexpr (std::is_pointer_v<T>) {
            return pointer;
        } else if constexpr (std::is_null_pointer_v<T>) {
            return nullptr;
        } else {
            return pointer.get();
        }
    }

    [[noreturn]] static void fail(const volatile void* pointer, const char* checkName,
                                  const char* file, int line, const char* prettyFunction);
};
