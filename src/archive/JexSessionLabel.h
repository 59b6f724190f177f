#pragma once

#include <memory>
#include <string>

#include "PackableObject.h"

// Names one session: a recording location and a day. Its label text "LOCATION~YYYYMMDD" names the
// session record in the archive's Databases directory. A value type.
class JexSessionLabel : public PackableObject {
public:
    JexSessionLabel();
    JexSessionLabel(std::string locationName, int year, int month, int day);
    ~JexSessionLabel() override = default;
    JexSessionLabel(const JexSessionLabel&) = default;
    JexSessionLabel& operator=(const JexSessionLabel&) = default;

    // Packs "location", "year", "month", "day"; unpack is true when all four were found.
    bool pack(ObjectPacker& packer) const override;
    bool unpack(ObjectPacker& packer) override;
    std::unique_ptr<PackableObject> createNewInstance() const override;

    // "%s~%.4d%.2d%.2d": the location, a tilde and the eight-digit day.
    std::string labelText() const;
    // The eight-digit day "%.4d%.2d%.2d".
    std::string dateText() const;
    // The session record: databasesDirectory + "/" + labelText() + ".xml".
    std::string recordPath(const std::string& databasesDirectory) const;

    const std::string& locationName() const { return locationName_; }
    int year() const { return year_; }
    int month() const { return month_; }
    int day() const { return day_; }

private:
    std::string locationName_;
    int year_ = 0;
    int month_ = 0;
    int day_ = 0;
};
