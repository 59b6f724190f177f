// Feeds arbitrary bytes to the record reader and walks every unpack slot over the result.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "Utf8Text.h"
#include "XmlPacker.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    RawMessage message(data, static_cast<uint32_t>(size));
    XmlPacker packer("record");
    packer.beginUnpacking(message);
    static const char* kNames[] = {"a", "b", "record", "epochTimeSecondsInUtc", "event"};
    for (const char* name : kNames) {
        char c;
        bool b;
        int i;
        unsigned u;
        long l;
        double d;
        std::string s;
        char buffer[16];
        size_t length = 0;
        std::unique_ptr<RawMessage> nested;
        packer.unpack(name, c);
        packer.unpack(name, b);
        packer.unpack(name, i);
        packer.unpack(name, u);
        packer.unpack(name, l);
        packer.unpack(name, d);
        packer.unpack(name, s);
        packer.unpack(name, buffer, sizeof buffer, length);
        if (packer.unpack(name, nested)) {
            packer.pack(name, *nested);
        }
        packer.attributeValue(name);
    }
    packer.pack("tail", std::string(reinterpret_cast<const char*>(data), size));
    auto printed = packer.getPackedMessage();
    if (printed) {
        // What we print is UTF-8 and must read back.
        if (!Utf8Text::isWellFormed(std::string_view(reinterpret_cast<const char*>(printed->data()),
                                                     printed->size()))) {
            std::abort();
        }
        XmlPacker again("record");
        again.beginUnpacking(*printed);
    }
    return 0;
}
