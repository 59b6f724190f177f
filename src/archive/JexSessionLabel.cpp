#include "JexSessionLabel.h"

#include <cstdio>

#include "DirectoryLister.h"
#include "ObjectPacker.h"

namespace {

constexpr const char* kTypeName = "JexSessionLabel";

}  // namespace

JexSessionLabel::JexSessionLabel() : PackableObject(kTypeName) {}

JexSessionLabel::JexSessionLabel(std::string locationName, int year, int month, int day)
    : PackableObject(kTypeName),
      locationName_(std::move(locationName)),
      year_(year),
      month_(month),
      day_(day) {}

std::unique_ptr<PackableObject> JexSessionLabel::createNewInstance() const {
    return std::make_unique<JexSessionLabel>();
}

bool JexSessionLabel::pack(ObjectPacker& packer) const {
    packer.pack("location", locationName_);
    packer.pack("year", year_);
    packer.pack("month", month_);
    packer.pack("day", day_);
    return true;
}

bool JexSessionLabel::unpack(ObjectPacker& packer) {
    std::string location;
    bool complete = packer.unpack("location", location);
    if (complete) {
        locationName_ = std::move(location);
    }
    complete &= packer.unpack("year", year_);
    complete &= packer.unpack("month", month_);
    complete &= packer.unpack("day", day_);
    return complete;
}

std::string JexSessionLabel::dateText() const {
    char text[48];
    std::snprintf(text, sizeof text, "%.4d%.2d%.2d", year_, month_, day_);
    return text;
}

std::string JexSessionLabel::labelText() const {
    return locationName_ + "~" + dateText();
}

std::string JexSessionLabel::recordPath(const std::string& databasesDirectory) const {
    return DirectoryLister::join(databasesDirectory, labelText() + ".xml");
}
