// Writes a starting corpus for a fuzz target: make_fuzz_seeds TARGET DIRECTORY.
// Seeds are valid inputs made by the product's own writers, so fuzzing starts deep in the parser.

#include <cstdio>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "ByteOrder.h"
#include "EncodedAudioChunk.h"
#include "TimedMp3Writer.h"
#include "WallClockTime.h"
#include "XmlPacker.h"

namespace {

using Seeds = std::vector<std::string>;

Seeds xmlPackerSeeds() {
    XmlPacker packer("record");
    packer.pack("a", 1);
    packer.pack("b", std::string("text & <markup>"));
    packer.pack("a", 2.5);
    WallClockTime(1268652608u, 250000u, 0).pack(packer);
    return {packer.packedText(),
            "<?xml version=\"1.0\"?>\n<record x=\"1\"><a><b>1</b></a></record>",
            "<record><event>e</event></record>"};
}

// Timed MP3 bytes as the recorder writes them.
std::string timedMp3(double seconds, bool silent, double stampInterval) {
    TimedMp3Writer writer(1268652608.0, seconds);
    if (silent) {
        writer.setSignal(TimedMp3Writer::silence());
    }
    writer.setStampIntervalSeconds(stampInterval);
    std::vector<uint8_t> bytes;
    writer.writeToMemory(bytes);
    return std::string(bytes.begin(), bytes.end());
}

Seeds mpegAudioHeaderSeeds() {
    const std::string file = timedMp3(1.0, false, 0.25);
    // MPEG-1 Layer III frames at 128 kbit/s (417 bytes) and a Layer I header.
    std::string mpeg1(417 * 3, '\0');
    for (int i = 0; i < 3; ++i) {
        ByteOrder::writeBigEndian32(reinterpret_cast<uint8_t*>(&mpeg1[417 * i]), 0xFFFB9064u);
    }
    std::string layer1(4, '\0');
    ByteOrder::writeBigEndian32(reinterpret_cast<uint8_t*>(layer1.data()), 0xFFFF1000u);
    return {file, file.substr(0, 144), file.substr(0, 144 * 5 + 70), mpeg1, layer1};
}

Seeds mp3StampSeeds() {
    const std::string stamped = timedMp3(0.5, false, 0.001);
    const std::string silent = timedMp3(0.2, true, 0.001);
    const std::string plain = timedMp3(0.2, false, 0.0);
    return {stamped.substr(144 * 3, 144), silent.substr(0, 144), plain.substr(144 * 2, 144),
            stamped.substr(0, 144 * 6), plain.substr(0, 144 * 4)};
}

Seeds encodedAudioChunkSeeds() {
    const std::string frames = timedMp3(0.144, false, 1.0);
    EncodedAudioChunk chunk(static_cast<uint32_t>(frames.size()), 16000, 2304, "MPEG Audio",
                            1268652608.0);
    chunk.allocateBuffer(false);
    chunk.appendBytes(reinterpret_cast<const uint8_t*>(frames.data()),
                      static_cast<uint32_t>(frames.size()));
    chunk.advanceValidLength(static_cast<uint32_t>(frames.size()));
    std::string serialized(chunk.getSerializedSize(), '\0');
    uint32_t written = 0;
    chunk.serializeToBuffer(reinterpret_cast<uint8_t*>(serialized.data()),
                            static_cast<uint32_t>(serialized.size()), written);
    return {serialized, serialized.substr(0, EncodedAudioChunk::kSerializedHeaderSize + 10)};
}

const std::map<std::string, std::function<Seeds()>> kSeedMakers = {
    {"fuzz_xml_packer", xmlPackerSeeds},
    {"fuzz_mpeg_audio_header", mpegAudioHeaderSeeds},
    {"fuzz_mp3_stamp", mp3StampSeeds},
    {"fuzz_encoded_audio_chunk", encodedAudioChunkSeeds},
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "Usage: make_fuzz_seeds TARGET DIRECTORY\n");
        return 2;
    }
    auto maker = kSeedMakers.find(argv[1]);
    if (maker == kSeedMakers.end()) {
        return 0;  // This target starts from an empty corpus.
    }
    int index = 0;
    for (const std::string& seed : maker->second()) {
        std::ofstream(std::string(argv[2]) + "/seed-" + std::to_string(index++), std::ios::binary)
            << seed;
    }
    return 0;
}
