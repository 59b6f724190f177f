#include "TransactionId.h"

#include "ObjectPacker.h"

std::atomic<long> TransactionId::liveInstances_{0};

namespace {
constexpr const char* kTypeName = "TransactionId";
constexpr const char* kNumberField = "thisIdNumber";
}  // namespace

TransactionId::TransactionId() : TransactionId(0u) {}

TransactionId::TransactionId(uint32_t idNumber)
    : PackableObject(kTypeName), thisIdNumber_(idNumber) {
    liveInstances_.fetch_add(1, std::memory_order_relaxed);
}

TransactionId::TransactionId(const TransactionId& other)
    : PackableObject(other), thisIdNumber_(other.thisIdNumber_) {
    liveInstances_.fetch_add(1, std::memory_order_relaxed);
}

TransactionId& TransactionId::operator=(const TransactionId& other) {
    thisIdNumber_ = other.thisIdNumber_;
    return *this;
}

TransactionId::~TransactionId() {
    liveInstances_.fetch_sub(1, std::memory_order_relaxed);
}

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

long TransactionId::liveInstances() {
    return liveInstances_.load(std::memory_order_relaxed);
}
