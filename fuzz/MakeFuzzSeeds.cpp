// Writes a starting corpus for a fuzz target: make_fuzz_seeds TARGET DIRECTORY.
// Seeds are valid inputs made by the product's own writers, so fuzzing starts deep in the parser.

#include <cstdio>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "CompressedImage.h"
#include "KovFileHeader.h"
#include "SyntheticKovWriter.h"
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

const std::map<std::string, std::function<Seeds()>> kSeedMakers = {
    {"fuzz_xml_packer", xmlPackerSeeds},
    {"fuzz_kov_file_header", kovFileHeaderSeeds},
    {"fuzz_kov_frame_header", kovFileSeeds},
    {"fuzz_kov_file", kovFileSeeds},
    {"fuzz_compressed_image", compressedImageSeeds},
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
