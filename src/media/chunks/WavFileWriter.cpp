#include "WavFileWriter.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <vector>

#include "ByteOrder.h"
#include "DecodedAudioChunk.h"
#include "FileIo.h"
#include "SystemError.h"

namespace {
constexpr uint64_t kMaximumDataBytes = UINT32_MAX - WavFileWriter::kHeaderSize;
}  // namespace

WavFileWriter::~WavFileWriter() {
    if (descriptor_ >= 0) {
        finish();
    }
}

bool WavFileWriter::open(const std::string& path, uint32_t sampleRate, uint16_t channelCount) {
    if (descriptor_ >= 0) {
        finish();
    }
    path_ = path;
    sampleRate_ = sampleRate;
    channelCount_ = channelCount == 0 ? 1 : channelCount;
    dataBytes_ = 0;
    failed_ = false;
    errorText_.clear();
    descriptor_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (descriptor_ < 0) {
        errorText_ = "Cannot create \"" + path + "\": " + SystemError::last();
        return false;
    }
    if (!writeHeader()) {
        fail("Cannot write");
        finish();
        return false;
    }
    return true;
}

bool WavFileWriter::append(const DecodedAudioChunk& chunk) {
    const uint32_t count = chunk.validLengthIs() / 2;
    std::vector<int16_t> samples(count);
    if (count > 0) {
        std::memcpy(samples.data(), chunk.bufferIs(), count * 2u);
    }
    return appendSamples(samples.data(), count);
}

bool WavFileWriter::appendSamples(const int16_t* samples, uint32_t count) {
    if (descriptor_ < 0 || failed_) {
        return false;
    }
    if (dataBytes_ + uint64_t{count} * 2 > kMaximumDataBytes) {
        errorText_ = "The WAV file would pass 4 GiB.";
        failed_ = true;
        return false;
    }
    std::vector<uint8_t> bytes(count * 2u);
    for (uint32_t i = 0; i < count; ++i) {
        ByteOrder::writeLittleEndian16(bytes.data() + 2 * i, static_cast<uint16_t>(samples[i]));
    }
    if (!FileIo::writeAll(descriptor_, bytes.data(), bytes.size())) {
        fail("Cannot write");
        return false;
    }
    dataBytes_ += bytes.size();
    return true;
}

bool WavFileWriter::finish() {
    if (descriptor_ < 0) {
        return false;
    }
    bool ok = !failed_;
    if (ok && (::lseek(descriptor_, 0, SEEK_SET) != 0 || !writeHeader())) {
        fail("Cannot finish");
        ok = false;
    }
    if (::close(descriptor_) != 0 && ok) {
        fail("Cannot close");
        ok = false;
    }
    descriptor_ = -1;
    if (!ok) {
        ::unlink(path_.c_str());
    }
    return ok;
}

bool WavFileWriter::writeHeader() {
    uint8_t header[kHeaderSize];
    const uint32_t dataSize = static_cast<uint32_t>(dataBytes_);
    const uint16_t blockAlign = static_cast<uint16_t>(channelCount_ * 2);
    std::memcpy(header, "RIFF", 4);
    ByteOrder::writeLittleEndian32(header + 4, 36 + dataSize);
    std::memcpy(header + 8, "WAVEfmt ", 8);
    ByteOrder::writeLittleEndian32(header + 16, 16);
    ByteOrder::writeLittleEndian16(header + 20, 1);
    ByteOrder::writeLittleEndian16(header + 22, channelCount_);
    ByteOrder::writeLittleEndian32(header + 24, sampleRate_);
    ByteOrder::writeLittleEndian32(header + 28, sampleRate_ * blockAlign);
    ByteOrder::writeLittleEndian16(header + 32, blockAlign);
    ByteOrder::writeLittleEndian16(header + 34, 16);
    std::memcpy(header + 36, "data", 4);
    ByteOrder::writeLittleEndian32(header + 40, dataSize);
    return FileIo::writeAll(descriptor_, header, sizeof header);
}

void WavFileWriter::fail(const std::string& what) {
    if (errorText_.empty()) {
        errorText_ = what + " \"" + path_ + "\": " + SystemError::last();
    }
    failed_ = true;
}
