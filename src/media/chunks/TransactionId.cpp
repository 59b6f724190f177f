#include "TransactionId.h"

#include "ObjectPacker.h"

namespace {
constexpr const char* kTypeName = "TransactionId";
constexpr const char* kNumberField = "thisIdNumber";
}  // namespace

TransactionId::TransactionId() : TransactionId(0u) {}

TransactionId::TransactionId(uint32_t idNumber)
    : PackableObject(kTypeName), thisIdNumber_(idNumber) {}

bool TransactionId::pack(ObjectPacker& packer) const {
    packer.pack(kNumberField, static_cast<unsigned int>(thisIdNumber_));
    return true;
}

bool TransactionId::unpack(ObjectPacker& packer) {
    unsigned int value = 0;
    if (!packer.unpack(kNumberField, value)) {
        return false;
    }
    thisIdNumber_ = value;
    return true;
}

std::unique_ptr<PackableObject> TransactionId::createNewInstance() const {
    return std::make_unique<TransactionId>();
}
