// Writes a starting corpus for a fuzz target: make_fuzz_seeds TARGET DIRECTORY.
// Seeds are valid inputs made by the product's own writers, so fuzzing starts deep in the parser.

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "ByteOrder.h"
#include "CompressedImage.h"
#include "DecryptionCompleteFile.h"
#include "EncodedAudioChunk.h"
#include "EncryptionCompleteFile.h"
#include "JexSession.h"
#include "KorvalisEncryptedMediaFile.h"
#include "KorvalisUserSealingKey.h"
#include "KovFileHeader.h"
#include "SyntheticKovWriter.h"
#include "TemporaryFile.h"
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

Seeds xmlTextParserSeeds() {
    return {"<?xml version=\"1.0\" ?>\n<a x=\"/>\" y='>'><b/><!-- <c> --><![CDATA[<d>]]></a>",
            "\xEF\xBB\xBF<r>\xE0<!--<a><a>--></r>",
            "<?xml version='1.0' encoding='ISO-8859-1'?><r>\xE9<b>&#x41;&lt;</b></r>",
            "<!DOCTYPE r><r a='1' b=\"2\"><s/></r></x><t/>"};
}

Seeds sessionRecordSeeds() {
    JexSession session("COURT1", 2010, 3, 15);
    JexAnnotation annotation;
    WallClockTime stamp(1268661600.0, 0);
    stamp.setTzOffsetHours(-5);
    annotation.setDisplayTime(stamp);
    annotation.setUser("Recorder");
    annotation.setLabelTitle("Speaker");
    annotation.setLabelData("Judge Amsel");
    annotation.setEvent("Objection <sustained> & noted");
    session.addAnnotation(annotation);
    annotation.setCustomData("note", "a.wav", "/x/a.wav");
    annotation.setEvent("");
    session.addAnnotation(annotation);
    session.addCopyMarkers(stamp, WallClockTime(1268662200.5, 0));
    return {session.recordText(),
            "<?xml version=\"1.0\" ?>\n<database date=\"20100315\" location=\"COURT1\">"
            "<annotations><annotation ts=\"1268661600.500000\" createdbyuser=\"rec\" "
            "index=\"3\">S&#233;ance &lt;2&gt;</annotation><note/></annotations></database>",
            "<database date=\"20100315\" location=\"COURT1\">\n    <annotations />\n</database>"};
}

// Whole sealed files (small ones: the trailer search looks at the last 10240 bytes) and
// trailers alone.
Seeds sealedTrailerSeeds() {
    Seeds seeds;
    const uint8_t key[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    for (const size_t length : {0u, 1u, 300u, 4000u}) {
        TemporaryFile source("seed-source-");
        TemporaryFile sealed("seed-sealed-");
        const std::string bytes(length, '\x5a');
        if (!source.isValid() || !sealed.isValid() ||
            ::write(source.descriptor(), bytes.data(), bytes.size()) !=
                static_cast<ssize_t>(bytes.size())) {
            continue;
        }
        const std::string directory = std::filesystem::path(source.path()).parent_path();
        KorvalisEncryptedMediaFile file;
        file.setSourceLocation(directory, std::filesystem::path(source.path()).filename());
        file.setOriginalLocation("/archive/Recordings/001/20100315",
                                 "COURT1~4b9e1a40~250~1~2~3.mp3");
        file.setStartTime(1268652608.25);
        file.setEndTime(1268652668.75);
        if (file.encrypt(key, sizeof key, directory,
                         std::filesystem::path(sealed.path()).filename())) {
            std::ifstream in(sealed.path(), std::ios::binary);
            const std::string all((std::istreambuf_iterator<char>(in)),
                                  std::istreambuf_iterator<char>());
            seeds.push_back(all);
            seeds.push_back(all.substr(all.rfind('\0') + 1));
        }
    }
    return seeds;
}

Seeds userSealingKeySeeds() {
    Seeds seeds;
    for (const int length : {16, 32}) {
        auto master = KorvalisMasterSealingKey::create("Clerk", length, 1268652608);
        KorvalisUserSealingKey user;
        if (master && user.wrapMasterKey(*master, "Judge", reinterpret_cast<const uint8_t*>("fuzz"),
                                         4, 1 + length / 16, 1268652608)) {
            seeds.push_back(user.toXmlText());
        }
    }
    return seeds;
}

Seeds masterSealingKeySeeds() {
    Seeds seeds;
    for (const int length : {16, 24, 32}) {
        if (auto master = KorvalisMasterSealingKey::create("Clerk & <co>", length, 1268652608)) {
            const SecretText& text = master->getSourceText();
            seeds.emplace_back(text.data(), text.size());
        }
    }
    return seeds;
}

// Small synthetic KOV files, whole: two frame sizes and rates.
Seeds kovFileSeeds() {
    Seeds seeds;
    for (uint32_t side : {8u, 24u}) {
        SyntheticKovWriter::Settings settings;
        settings.width = side;
        settings.height = side * 3 / 4;
        settings.frameRate = side == 8 ? 4 : 10;
        settings.startTime = 1268652608.25;
        settings.durationSeconds = 1.0;
        std::string bytes;
        std::string error;
        SyntheticKovWriter(settings).write(
            "seed.kov", error,
            [](void* context, double, const uint8_t* data, uint32_t count, const std::string*,
               bool) {
                static_cast<std::string*>(context)->append(reinterpret_cast<const char*>(data),
                                                           count);
                return true;
            },
            &bytes);
        seeds.push_back(bytes);
    }
    return seeds;
}

// Headers alone: the standard one and one with its own table layout.
Seeds kovFileHeaderSeeds() {
    std::string standard =
        KovFileHeader(640, 480, 20, 1268652608.25, 10000000, "JPEG").headerText();
    standard.append(5, '\0');
    std::string other =
        "<KOV_Header FormatVersionMajor=\"1\" FormatVersionMinor=\"2\"><Start_Time>1.5</Start_Time>"
        "<High_Resolution_Counter_Frequency>3</High_Resolution_Counter_Frequency>"
        "<Frame_Width>4</Frame_Width><Frame_Height>5</Frame_Height>"
        "<Target_Frame_Rate>6</Target_Frame_Rate><Frame_Encoding>JPEG</Frame_Encoding>"
        "<Frame_Header_Format>"
        "<Frame_Header_Field name=\"Epoch_Time\" offset=\"0\" length=\"16\" format=\"f\"/>"
        "<Frame_Header_Field name=\"Start_Marker\" offset=\"88\" length=\"80\" format=\"f\"/>"
        "</Frame_Header_Format></KOV_Header>";
    other.append(5, '\0');
    Seeds seeds = {standard, other};
    for (const std::string& file : kovFileSeeds()) {
        seeds.push_back(file.substr(0, file.find('\0') + 5));
    }
    return seeds;
}

Seeds compressedImageSeeds() {
    CompressedImage image(640, 480, 64, "JPEG");
    image.allocateBuffer();
    image.clearBuffer();
    image.setDataLength(40);
    std::string bytes(image.getSerializedSize(), '\0');
    uint32_t written = 0;
    image.serializeToBuffer(reinterpret_cast<uint8_t*>(bytes.data()),
                            static_cast<uint32_t>(bytes.size()), written);
    return {bytes};
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

// Completion files of both transactions, with paths inside the scope the fuzzer reads them in.
Seeds completionFileSeeds() {
    const std::string work = "/a/Recordings/SealingWorkInProgress";
    EncryptionCompleteFile sealing;
    sealing.videoFilesToDelete = {"/a/Recordings/0/d/v.kov", work + "/v1.kov"};
    sealing.videoFilesToMove = {{work + "/v1.sealedVideo", "/a/Recordings/0/d/v1.sealedVideo"}};
    sealing.videoFilesToCopy = {{work + "/v0.kov", "/a/Recordings/0/d/v0.kov"}};
    sealing.audioFilesToDelete = {"/a/Recordings/1/d/a.mp3"};
    sealing.audioFilesToMove = {{work + "/a1.sealedAudio", "/a/Recordings/1/d/a1.sealedAudio"}};
    sealing.audioFilesToCopy = {{work + "/a2.mp3", "/a/Recordings/1/d/a2.mp3"}};
    sealing.archivedFilesToDelete = {"/b/Recordings/1/d/a.mp3"};
    DecryptionCompleteFile unsealing;
    unsealing.encryptedFilesToDelete = {"/a/Recordings/0/d/v1.sealedVideo"};
    unsealing.videoFilesToMove = {{work + "/v1.kov", "/a/Recordings/0/d/v1.kov"}};
    unsealing.audioFilesToMove = {{work + "/a1.mp3", "/a/Recordings/1/d/a1.mp3"}};
    unsealing.archivedFilesToDelete = {"/b/Recordings/0/d/v1.sealedVideo"};
    return {sealing.toXml(), unsealing.toXml(), EncryptionCompleteFile().toXml(),
            DecryptionCompleteFile().toXml()};
}

const std::map<std::string, std::function<Seeds()>> kSeedMakers = {
    {"fuzz_completion_file", completionFileSeeds},
    {"fuzz_session_record", sessionRecordSeeds},
    {"fuzz_xml_packer", xmlPackerSeeds},
    {"fuzz_xml_text_parser", xmlTextParserSeeds},
    {"fuzz_sealed_trailer", sealedTrailerSeeds},
    {"fuzz_user_sealing_key", userSealingKeySeeds},
    {"fuzz_master_sealing_key", masterSealingKeySeeds},
    {"fuzz_kov_file_header", kovFileHeaderSeeds},
    {"fuzz_kov_frame_header", kovFileSeeds},
    {"fuzz_kov_file", kovFileSeeds},
    {"fuzz_compressed_image", compressedImageSeeds},
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
