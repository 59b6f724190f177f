#include "JexAnnotation.h"

#include <cstdio>

#include "ObjectPacker.h"

namespace {

constexpr const char* kTypeName = "JexAnnotation";

// Reads a text field into `field` (which unpacking would otherwise append to).
bool unpackText(ObjectPacker& packer, const char* name, std::string& field) {
    std::string value;
    if (!packer.unpack(name, value)) {
        return false;
    }
    field = std::move(value);
    return true;
}

}  // namespace

JexAnnotation::JexAnnotation() : PackableObject(kTypeName) {}

std::unique_ptr<PackableObject> JexAnnotation::createNewInstance() const {
    return std::make_unique<JexAnnotation>();
}

void JexAnnotation::setCustomData(std::string custom, std::string originalFileName,
                                  std::string storedFilePath) {
    custom_ = std::move(custom);
    originalFileName_ = std::move(originalFileName);
    storedFilePath_ = std::move(storedFilePath);
    hasCustomData_ = true;
}

void JexAnnotation::packCustomData(ObjectPacker& packer) const {
    if (hasCustomData_) {
        packer.pack("custom", custom_);
        packer.pack("originalfilename", originalFileName_);
        packer.pack("storedfilepath", storedFilePath_);
    }
}

bool JexAnnotation::pack(ObjectPacker& packer) const {
    packer.pack("user", user_);
    packer.pack("labeltitle", labelTitle_);
    packer.pack("labeldata", labelData_);
    packer.pack("event", event_);
    packer.pack("displaytime", displayTime_);
    packer.pack("displaytimemilitary", displayTimeMilitary_);
    packer.pack("displaydate", displayDate_);
    packer.pack("location", location_);
    packer.pack("index", index_);
    if (timeStamp_) {
        packer.pack("ts", static_cast<long>(timeStamp_->epochTimeSecondsInUtc()));
    }
    packCustomData(packer);
    return true;
}

void JexAnnotation::packAsRecordElement(ObjectPacker& packer) const {
    if (timeStamp_) {
        packer.pack("ts", timeStamp_->asUtcSeconds());
    }
    packer.pack("displaytime", displayTime_);
    packer.pack("displaytimemilitary", displayTimeMilitary_);
    packer.pack("displaydate", displayDate_);
    packer.pack("user", user_);
    packer.pack("labeltitle", labelTitle_);
    packer.pack("labeldata", labelData_);
    packer.pack("index", index_);
    packer.pack("location", location_);
    packCustomData(packer);
    packer.pack("event", event_);
}

bool JexAnnotation::unpack(ObjectPacker& packer) {
    bool complete = true;
    if (!unpackText(packer, "user", user_) && !unpackText(packer, "createdbyuser", user_)) {
        complete = false;
    }
    complete &= unpackText(packer, "labeltitle", labelTitle_);
    complete &= unpackText(packer, "labeldata", labelData_);
    unpackText(packer, "event", event_);
    complete &= unpackText(packer, "displaytime", displayTime_);
    complete &= unpackText(packer, "displaytimemilitary", displayTimeMilitary_);
    complete &= unpackText(packer, "displaydate", displayDate_);
    complete &= unpackText(packer, "location", location_);
    complete &= packer.unpack("index", index_);
    long seconds = 0;
    if (packer.unpack("ts", seconds)) {
        // Whole seconds: a fraction written with the stamp is dropped.
        timeStamp_ = WallClockTime(static_cast<uint32_t>(seconds), 0u, 0);
    } else {
        timeStamp_.reset();
    }
    bool custom = unpackText(packer, "custom", custom_);
    custom |= unpackText(packer, "originalfilename", originalFileName_);
    custom |= unpackText(packer, "storedfilepath", storedFilePath_);
    hasCustomData_ = hasCustomData_ || custom;
    return complete;
}

void JexAnnotation::setDisplayTime(const WallClockTime& stamp) {
    int day, month, year, hour, minute, second, microseconds;
    stamp.getLocalDate(day, month, year);
    stamp.getLocalTime(hour, minute, second, microseconds);
    char text[64];
    const int hour12 = hour % 12 == 0 ? 12 : hour % 12;
    std::snprintf(text, sizeof text, "%02d:%02d:%02d %s", hour12, minute, second,
                  hour < 12 ? "AM" : "PM");
    displayTime_ = text;
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", hour, minute, second);
    displayTimeMilitary_ = text;
    std::snprintf(text, sizeof text, "%02d/%02d/%04d", month, day, year);
    displayDate_ = text;
    timeStamp_ = stamp;
}

JexAnnotation JexAnnotation::copyMarker(const std::string& event, const WallClockTime& at,
                                        const std::string& location) {
    JexAnnotation marker;
    marker.setEvent(event);
    marker.setUser("Session Copy");
    marker.setLabelTitle("Speaker");
    marker.setLabelData("Session Copy");
    marker.setLocation(location);
    marker.setDisplayTime(at);
    return marker;
}

bool JexAnnotation::eventContains(const std::string& text) const {
    return event_.find(text) != std::string::npos;
}
