#pragma once

#include <memory>
#include <string>

class ObjectPacker;

// A persistent record: writes and reads its fields by name through an ObjectPacker.
class PackableObject {
public:
    explicit PackableObject(std::string typeName) : typeName_(std::move(typeName)) {}
    virtual ~PackableObject() = default;

    PackableObject(const PackableObject&) = default;
    PackableObject& operator=(const PackableObject&) = default;

    // Writes the fields through the packer.
    virtual bool pack(ObjectPacker& packer) const = 0;
    // Reads the fields back; true only when every required field was found.
    virtual bool unpack(ObjectPacker& packer) = 0;
    // A new default-constructed object of the same class.
    virtual std::unique_ptr<PackableObject> createNewInstance() const = 0;

    const std::string& typeName() const { return typeName_; }

private:
    std::string typeName_;
};
