#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "RawMessage.h"

// Writes and reads named fields of a record. Packing the same name repeatedly appends a list;
// unpacking consumes the first remaining field of that name, so repeated unpacks walk the list.
// Every unpack leaves its out-value untouched and returns false when the field is missing.
class ObjectPacker {
public:
    explicit ObjectPacker(std::string name) : name_(std::move(name)) {}
    virtual ~ObjectPacker() = default;

    ObjectPacker(const ObjectPacker&) = delete;
    ObjectPacker& operator=(const ObjectPacker&) = delete;

    // Starts a new, empty record.
    virtual void beginPacking() = 0;
    // Replaces the record with the one held by the message.
    virtual void beginUnpacking(const RawMessage& message) = 0;
    // The record's packed form, or null when the record is empty.
    virtual std::unique_ptr<RawMessage> getPackedMessage() const = 0;
    // Writes the packed record to `path` (an empty record makes an empty file).
    virtual bool writeToFile(const std::string& path) const = 0;
    // Reads a record from `path`; false when the file cannot be read or is empty or too large.
    virtual bool readFromFile(const std::string& path) = 0;

    virtual void pack(const std::string& name, char value) = 0;
    virtual void pack(const std::string& name, bool value) = 0;
    virtual void pack(const std::string& name, int value) = 0;
    virtual void pack(const std::string& name, unsigned int value) = 0;
    virtual void pack(const std::string& name, long value) = 0;
    virtual void pack(const std::string& name, double value) = 0;
    virtual void pack(const std::string& name, const char* value) = 0;
    virtual void pack(const std::string& name, const std::string& value) = 0;
    // Replaces the record with the one held by `message` (a nested record packed elsewhere).
    virtual void pack(const std::string& name, const RawMessage& message) = 0;

    virtual bool unpack(const std::string& name, char& value) = 0;
    virtual bool unpack(const std::string& name, bool& value) = 0;
    virtual bool unpack(const std::string& name, int& value) = 0;
    virtual bool unpack(const std::string& name, unsigned int& value) = 0;
    virtual bool unpack(const std::string& name, long& value) = 0;
    virtual bool unpack(const std::string& name, double& value) = 0;
    // Copies the field's text into `buffer` (always terminated, cut to `bufferSize`). `length`
    // receives the full text length when the field holds text; a field holding a nested record
    // is copied as its XML text and leaves `length` untouched.
    virtual bool unpack(const std::string& name, char* buffer, size_t bufferSize,
                        size_t& length) = 0;
    // Appends the field's text to `value` (which is not cleared first).
    virtual bool unpack(const std::string& name, std::string& value) = 0;
    // The named nested record as a message of its own, owned by the caller.
    virtual bool unpack(const std::string& name, std::unique_ptr<RawMessage>& message) = 0;

    const std::string& name() const { return name_; }

private:
    std::string name_;
};
