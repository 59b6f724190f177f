#pragma once

#include <memory>
#include <optional>
#include <string>

#include "PackableObject.h"
#include "WallClockTime.h"

// One time-stamped note of a session record: who made it, the speaker label and the event text,
// with the display texts the recorder wrote. A value type: copied freely, holds no lock.
class JexAnnotation : public PackableObject {
public:
    JexAnnotation();
    ~JexAnnotation() override = default;
    JexAnnotation(const JexAnnotation&) = default;
    JexAnnotation& operator=(const JexAnnotation&) = default;

    // Packs "user", "labeltitle", "labeldata", "event", "displaytime", "displaytimemilitary",
    // "displaydate", "location", "index", "ts" (whole UTC seconds, when there is a time stamp)
    // and, with custom data, "custom", "originalfilename", "storedfilepath".
    bool pack(ObjectPacker& packer) const override;
    // Reads the fields packed above, and the user from "createdbyuser" when "user" is missing.
    // Fields not found keep their values; a missing "ts" leaves no time stamp and any of the
    // custom fields found sets the custom-data flag. True when every field that pack always
    // writes was found ("ts" and the custom fields are optional).
    bool unpack(ObjectPacker& packer) override;
    std::unique_ptr<PackableObject> createNewInstance() const override;

    // Packs the fields in the order session records carry them: "ts" (seconds with six
    // decimals, when there is a time stamp), "displaytime", "displaytimemilitary",
    // "displaydate", "user", "labeltitle", "labeldata", "index", "location", then the custom
    // fields when flagged, and the event.
    void packAsRecordElement(ObjectPacker& packer) const;

    // Sets the time stamp and the three display texts from `stamp`, shown in its own offset:
    // "%02d:%02d:%02d AM|PM" (12-hour clock, 0 shown as 12), "%02d:%02d:%02d", "%02d/%02d/%04d".
    void setDisplayTime(const WallClockTime& stamp);

    // An annotation marking the start or end of a copied time range.
    static JexAnnotation copyMarker(const std::string& event, const WallClockTime& at,
                                    const std::string& location);
    static constexpr const char* kCopyStarted = "Copy Started";
    static constexpr const char* kCopyStopped = "Copy Stopped";

    const std::string& user() const { return user_; }
    const std::string& labelTitle() const { return labelTitle_; }
    // Shown as the speaker.
    const std::string& labelData() const { return labelData_; }
    const std::string& event() const { return event_; }
    const std::string& displayTime() const { return displayTime_; }
    const std::string& displayTimeMilitary() const { return displayTimeMilitary_; }
    const std::string& displayDate() const { return displayDate_; }
    const std::string& location() const { return location_; }
    int index() const { return index_; }
    // The time stamp, or null when the annotation has none.
    const WallClockTime* timeStamp() const { return timeStamp_ ? &*timeStamp_ : nullptr; }
    const std::string& custom() const { return custom_; }
    const std::string& originalFileName() const { return originalFileName_; }
    const std::string& storedFilePath() const { return storedFilePath_; }
    bool hasCustomData() const { return hasCustomData_; }

    void setUser(std::string user) { user_ = std::move(user); }
    void setLabelTitle(std::string title) { labelTitle_ = std::move(title); }
    void setLabelData(std::string data) { labelData_ = std::move(data); }
    void setEvent(std::string event) { event_ = std::move(event); }
    void setDisplayTimeText(std::string text) { displayTime_ = std::move(text); }
    void setDisplayTimeMilitaryText(std::string text) { displayTimeMilitary_ = std::move(text); }
    void setDisplayDateText(std::string text) { displayDate_ = std::move(text); }
    void setLocation(std::string location) { location_ = std::move(location); }
    void setIndex(int index) { index_ = index; }
    void setTimeStamp(const WallClockTime& stamp) { timeStamp_ = stamp; }
    void clearTimeStamp() { timeStamp_.reset(); }
    // Sets the three custom fields and the flag that has them packed.
    void setCustomData(std::string custom, std::string originalFileName,
                       std::string storedFilePath);

    // True when the event contains `text` (exact, case-sensitive; every event contains "").
    bool eventContains(const std::string& text) const;

private:
    // "custom", "originalfilename", "storedfilepath", when flagged.
    void packCustomData(ObjectPacker& packer) const;

    std::string user_;
    std::string labelTitle_;
    std::string labelData_;
    std::string event_;
    std::string displayTime_;
    std::string displayTimeMilitary_;
    std::string displayDate_;
    std::string location_;
    int index_ = 0;
    std::optional<WallClockTime> timeStamp_;
    std::string custom_;
    std::string originalFileName_;
    std::string storedFilePath_;
    bool hasCustomData_ = false;
};
