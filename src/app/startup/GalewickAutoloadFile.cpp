#include "GalewickAutoloadFile.h"

#include "XmlPacker.h"

bool GalewickAutoloadFile::read() {
    return read(kFileName);
}

bool GalewickAutoloadFile::read(const std::string& path) {
    XmlPacker packer(kRootElementName);
    if (!packer.readFromFile(path) || packer.packedText().empty()) {
        return false;
    }
    std::string text;
    if (packer.unpack("rootpath", text)) {
        rootPath = text;
    }
    text.clear();
    if (packer.unpack("location", text)) {
        location = text;
    }
    packer.unpack("year", year);
    packer.unpack("month", month);
    packer.unpack("day", day);
    return true;
}
