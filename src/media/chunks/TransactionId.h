#pragma once

#include <cstdint>
#include <memory>

#include "LiveInstanceCounter.h"
#include "PackableObject.h"

// The id that travels with a piece of audio from the file it was read from to the player's position
// callback. Every audio chunk owns one; operations that pass audio on copy it to their output.
class TransactionId : public PackableObject {
public:
    TransactionId();
    explicit TransactionId(uint32_t idNumber);
    TransactionId(const TransactionId& other) = default;
    TransactionId& operator=(const TransactionId& other) = default;
    ~TransactionId() override = default;

    // Packs the number as the integer element "thisIdNumber".
    bool pack(ObjectPacker& packer) const override;
    // False (and the number unchanged) when "thisIdNumber" is missing.
    bool unpack(ObjectPacker& packer) override;
    std::unique_ptr<PackableObject> createNewInstance() const override;

    uint32_t idNumberIs() const { return thisIdNumber_; }
    void setIdNumber(uint32_t idNumber) { thisIdNumber_ = idNumber; }

    // Live TransactionId objects in the process (a leak diagnostic only).
    static long liveInstances() { return LiveInstanceCounter<TransactionId>::liveInstances(); }

private:
    uint32_t thisIdNumber_ = 0;
    LiveInstanceCounter<TransactionId> counter_;
};
