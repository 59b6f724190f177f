#include <QBuffer>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "KorvalisResourceArchive.h"
#include "KorvalisResourceArchiveSingleton.h"
#include "KorvalisResourceArchiveWriter.h"
#include "ResourceImage.h"
#include "ResourceNames.h"

namespace {

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string loaded(KorvalisResourceArchive& archive, const std::string& name) {
    std::unique_ptr<uint8_t[]> buffer;
    uint32_t size = 0;
    if (!archive.loadResource(name, buffer, size)) {
        return "<none>";
    }
    return std::string(reinterpret_cast<const char*>(buffer.get()), size);
}

// An image, its bodies laid out by hand exactly as the program file carries them.
struct HandMadeArchive {
    std::string image;
    std::string bodies;
    std::string index;
    std::string whole() const { return image + bodies + std::string(1, '\0') + index; }
};

HandMadeArchive twoResources(const std::string& image) {
    HandMadeArchive archive;
    archive.image = image;
    archive.bodies = "FIRST-BODY" + std::string("second\0body", 11);
    const size_t first = image.size();
    archive.index =
        "<ResourceIndex Version=\"1.0\">"
        "<Resource name=\"Graphics\\One.png\" offset=\"" +
        std::to_string(first) +
        "\" length=\"10\"/>"
        "<Resource name=\"Graphics\\Two.png\" offset=\"" +
        std::to_string(first + 10) +
        "\" length=\"11\"/>"
        "</ResourceIndex>";
    return archive;
}

uint32_t bigEndian32(const std::vector<uint8_t>& bytes, size_t at) {
    return (uint32_t{bytes[at]} << 24) | (uint32_t{bytes[at + 1]} << 16) |
           (uint32_t{bytes[at + 2]} << 8) | uint32_t{bytes[at + 3]};
}

}  // namespace

class KorvalisResourceArchiveTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir directory_;
    std::string path(const char* name) const { return directory_.filePath(name).toStdString(); }

private slots:
    // The layout: bodies from the end of the image, a zero byte, the index to the end of file.
    void theIndexAtTheEndServesEveryBodyByteForByte() {
        const std::string file = path("short.bin");
        const HandMadeArchive archive =
            twoResources(std::string("\x7F"
                                     "ELF image\0\0bytes",
                                     17));
        QVERIFY(archive.whole().size() < KorvalisResourceArchive::kMaximumIndexLength);
        writeFile(file, archive.whole());

        KorvalisResourceArchive reader;
        QVERIFY(reader.open(file));
        QCOMPARE(reader.index().size(), size_t{2});
        QCOMPARE(loaded(reader, "Graphics\\One.png"), std::string("FIRST-BODY"));
        QCOMPARE(loaded(reader, "Graphics\\Two.png"), std::string("second\0body", 11));
    }

    void onlyTheLastTenKilobytesAreSearchedForTheIndex() {
        // A long image full of zero bytes and markup: only the tail counts.
        std::string image(300000, '\0');
        const std::string decoy =
            "<ResourceIndex><Resource name=\"Graphics\\One.png\" offset=\"0\" "
            "length=\"3\"/></ResourceIndex>";
        image.replace(1000, decoy.size(), decoy);
        const HandMadeArchive archive = twoResources(image);
        writeFile(path("long.bin"), archive.whole());
        KorvalisResourceArchive reader;
        QVERIFY(reader.open(path("long.bin")));
        QCOMPARE(loaded(reader, "Graphics\\One.png"), std::string("FIRST-BODY"));

        // An index longer than the limit is never found whole: no index.
        std::string longIndex = "<ResourceIndex>";
        while (longIndex.size() <= KorvalisResourceArchive::kMaximumIndexLength) {
            longIndex += "<Resource name=\"padding\" offset=\"0\" length=\"0\"/>";
        }
        longIndex += "</ResourceIndex>";
        writeFile(path("longindex.bin"), image + std::string(1, '\0') + longIndex);
        QVERIFY(!reader.open(path("longindex.bin")));
        QCOMPARE(loaded(reader, "padding"), std::string("<none>"));
    }

    void filesWithoutAnIndexMakeEveryLookupFail() {
        KorvalisResourceArchive reader;
        QVERIFY(!reader.open(path("missing.bin")));
        writeFile(path("nozero.bin"), "no zero byte anywhere <ResourceIndex/>");
        QVERIFY(!reader.open(path("nozero.bin")));
        writeFile(path("zerolast.bin"), std::string("body<ResourceIndex/>\0", 21));
        QVERIFY(!reader.open(path("zerolast.bin")));
        writeFile(path("empty.bin"), "");
        QVERIFY(!reader.open(path("empty.bin")));

        std::unique_ptr<uint8_t[]> buffer(new uint8_t[4]);
        uint32_t size = 99;
        QVERIFY(!reader.loadResource("Graphics\\One.png", buffer, size));
        QVERIFY(buffer == nullptr);
        QCOMPARE(size, 0u);
        uint8_t room[16];
        QVERIFY(!reader.readResource("Graphics\\One.png", room, sizeof room, size));
    }

    void reopeningForgetsTheEarlierIndex() {
        writeFile(path("a.bin"), twoResources("image").whole());
        KorvalisResourceArchive reader;
        QVERIFY(reader.open(path("a.bin")));
        QVERIFY(!reader.open(path("missing.bin")));
        QCOMPARE(reader.index().size(), size_t{0});
        QCOMPARE(loaded(reader, "Graphics\\One.png"), std::string("<none>"));
    }

    // Names are compared whole, case and backslash included.
    void onlyTheExactNameIsFound() {
        writeFile(path("names.bin"), twoResources("image").whole());
        KorvalisResourceArchive reader;
        QVERIFY(reader.open(path("names.bin")));
        for (const char* wrong : {"Graphics/One.png", "graphics\\one.png", "GRAPHICS\\ONE.PNG",
                                  "One.png", "Graphics\\One.png ", "Graphics\\One", ""}) {
            int64_t offset = -1;
            QVERIFY2(reader.index().findResource(wrong, offset) == nullptr, wrong);
            QCOMPARE(loaded(reader, wrong), std::string("<none>"));
        }
        int64_t offset = -1;
        QVERIFY(reader.index().findResource("Graphics\\Two.png", offset) != nullptr);
        QCOMPARE(offset, int64_t{15});
    }

    void loadingTwiceReadsTheFileOnce() {
        const std::string file = path("twice.bin");
        writeFile(file, twoResources("image").whole());
        KorvalisResourceArchive reader;
        QVERIFY(reader.open(file));
        QCOMPARE(loaded(reader, "Graphics\\One.png"), std::string("FIRST-BODY"));
        QCOMPARE(reader.bodyReadCount(), uint64_t{1});
        // The file changes under the archive: the cached copy is served, the file not read.
        writeFile(file, "gone");
        QCOMPARE(loaded(reader, "Graphics\\One.png"), std::string("FIRST-BODY"));
        uint8_t room[10];
        uint32_t size = 0;
        QVERIFY(reader.readResource("Graphics\\One.png", room, sizeof room, size));
        QCOMPARE(size, 10u);
        QCOMPARE(reader.bodyReadCount(), uint64_t{1});
    }

    void readResourceNeedsRoomForTheWholeBody() {
        writeFile(path("room.bin"), twoResources("image").whole());
        KorvalisResourceArchive reader;
        QVERIFY(reader.open(path("room.bin")));
        uint8_t room[11];
        std::memset(room, '#', sizeof room);
        uint32_t size = 0;
        QVERIFY(!reader.readResource("Graphics\\One.png", room, 9, size));
        QCOMPARE(room[0], uint8_t{'#'});
        QVERIFY(reader.readResource("Graphics\\One.png", room, 10, size));
        QCOMPARE(size, 10u);
        QCOMPARE(std::string(reinterpret_cast<char*>(room), 10), std::string("FIRST-BODY"));
        QCOMPARE(room[10], uint8_t{'#'});
        QVERIFY(!reader.readResource("Graphics\\One.png", nullptr, 100, size));
    }

    void aResourceWithoutOffsetIsServedFromTheFilesStart() {
        const std::string file = path("nooffset.bin");
        writeFile(file, std::string("HEADER-BYTES") + '\0' +
                            "<R><Resource name=\"head\" length=\"6\"/>"
                            "<Resource offset=\"7\" length=\"5\"/><Other name=\"x\"/></R>");
        KorvalisResourceArchive reader;
        QVERIFY(reader.open(file));
        QCOMPARE(reader.index().size(), size_t{2});  // "Other" is not a resource
        QCOMPARE(loaded(reader, "head"), std::string("HEADER"));
        QCOMPARE(loaded(reader, ""), std::string("BYTES"));  // the nameless entry
    }

    // Damaged indexes: parse errors give no index; impossible places are refused per entry,
    // before any allocation, while the sound entries of the same index still load.
    void corruptIndexesAreRefusedSafely() {
        KorvalisResourceArchive reader;
        for (const char* broken :
             {"<ResourceIndex><Resource name=\"a\" offset=\"0\" length=\"1\">", "not xml at all",
              "<a><b></a></b>", "<ResourceIndex><Resource name=\"a\" offset=0/></ResourceIndex>"}) {
            writeFile(path("broken.bin"), std::string("body") + '\0' + broken);
            QVERIFY2(!reader.open(path("broken.bin")), broken);
            QCOMPARE(reader.index().size(), size_t{0});
        }

        const std::string image = "0123456789";
        const std::string index =
            "<ResourceIndex>"
            "<Resource name=\"good\" offset=\"2\" length=\"3\"/>"
            "<Resource name=\"pastEnd\" offset=\"8\" length=\"900\"/>"
            "<Resource name=\"hugeLength\" offset=\"0\" length=\"4294967295\"/>"
            "<Resource name=\"tooLong\" offset=\"0\" length=\"4294967296\"/>"
            "<Resource name=\"negativeOffset\" offset=\"-5\" length=\"2\"/>"
            "<Resource name=\"negativeLength\" offset=\"0\" length=\"-1\"/>"
            "<Resource name=\"farOffset\" offset=\"99999999999999999999\" length=\"1\"/>"
            "<Resource name=\"offsetBeyondFile\" offset=\"4000000000\" length=\"0\"/>"
            "<Resource name=\"letters\" offset=\"1x\" length=\"2\"/>"
            "<Resource name=\"empty\" offset=\"3\" length=\"0\"/>"
            "</ResourceIndex>";
        writeFile(path("places.bin"), image + '\0' + index);
        QVERIFY(reader.open(path("places.bin")));
        QCOMPARE(reader.index().size(), size_t{10});
        QCOMPARE(loaded(reader, "good"), std::string("234"));
        for (const char* refused : {"pastEnd", "hugeLength", "tooLong", "negativeOffset",
                                    "negativeLength", "farOffset", "offsetBeyondFile", "letters"}) {
            QVERIFY2(loaded(reader, refused) == "<none>", refused);
        }
        QCOMPARE(loaded(reader, "empty"), std::string());
        // Refused from the index alone: the file was read for the two sound entries only, so
        // nothing was allocated for the impossible lengths.
        QCOMPARE(reader.bodyReadCount(), uint64_t{2});
    }

    // The writer's archive replaces the one the file already ends with.
    void appendingTwiceLeavesOneArchive() {
        const std::string file = path("program.bin");
        const std::string program = std::string(
                                        "\x7F"
                                        "ELF",
                                        4) +
                                    std::string(5000, 'p');
        writeFile(file, program);
        std::string error;
        QVERIFY(KorvalisResourceArchiveWriter::append(
            file, {{"Graphics\\A.png", {1, 2, 3}}, {"Graphics\\B.png", {0, 0}}}, &error));
        QVERIFY(KorvalisResourceArchiveWriter::append(file, {{"Graphics\\C.png", {9, 8, 7, 6}}},
                                                      &error));
        const std::string whole = readFile(file);
        QCOMPARE(whole.substr(0, program.size()), program);
        QCOMPARE(whole.substr(program.size(), 5), std::string("\x09\x08\x07\x06\0", 5));
        KorvalisResourceArchive reader;
        QVERIFY(reader.open(file));
        QCOMPARE(reader.index().size(), size_t{1});
        QCOMPARE(loaded(reader, "Graphics\\C.png"), std::string("\x09\x08\x07\x06", 4));
        QCOMPARE(whole.substr(program.size() + 5),
                 KorvalisResourceArchiveWriter::indexText({{"Graphics\\C.png", {9, 8, 7, 6}}},
                                                          program.size()));

        // Names the index cannot carry are refused and the file left alone.
        QVERIFY(!KorvalisResourceArchiveWriter::append(file, {{"a\"b", {1}}}, &error));
        QVERIFY(!KorvalisResourceArchiveWriter::append(file, {{"", {1}}}, &error));
        QCOMPARE(readFile(file), whole);
    }

    void imagesAreMadeFromTheArchive() {
        QImage picture(7, 5, QImage::Format_ARGB32);
        picture.fill(QColor(10, 200, 30));
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        QVERIFY(picture.save(&buffer, "PNG"));
        const std::string file = path("images.bin");
        writeFile(file, "program");
        QVERIFY(KorvalisResourceArchiveWriter::append(
            file, {{"Graphics\\Green.png", std::vector<uint8_t>(png.begin(), png.end())},
                   {"Graphics\\Junk.png", {'n', 'o', 't', ' ', 'p', 'n', 'g'}}}));
        KorvalisResourceArchive reader;
        QVERIFY(reader.open(file));
        const QImage green = ResourceImage::load(reader, "Graphics\\Green.png");
        QCOMPARE(green.size(), QSize(7, 5));
        QCOMPARE(green.pixelColor(3, 2), QColor(10, 200, 30));
        QVERIFY(ResourceImage::load(reader, "Graphics\\Junk.png").isNull());
        QVERIFY(ResourceImage::load(reader, "Graphics\\Missing.png").isNull());
    }

    // The program as built carries the window's 23 images, 8-bit RGBA PNG at their sizes, right
    // after the executable image.
    void theBuiltProgramCarriesTheWindowsImages() {
        const std::string program = GALEWICK_PROGRAM_FILE;
        KorvalisResourceArchive reader;
        QVERIFY2(reader.open(program), program.c_str());
        struct Expected {
            std::string name;
            int width;
            int height;
        };
        std::vector<Expected> expected = {
            {ResourceNames::kRewind, 55, 60},
            {ResourceNames::kRewindPressed, 55, 60},
            {ResourceNames::kPlay, 55, 60},
            {ResourceNames::kPlayPressed, 55, 60},
            {ResourceNames::kSpeedControlFrame, 50, 30},
            {ResourceNames::kFastForward, 55, 60},
            {ResourceNames::kFastForwardPressed, 55, 60},
            {ResourceNames::kAnnotatorUp, 30, 30},
            {ResourceNames::kAnnotatorDown, 30, 30},
            {ResourceNames::kMinimize, 18, 18},
            {ResourceNames::kMinimizePressed, 18, 18},
            {ResourceNames::kClose, 18, 18},
            {ResourceNames::kClosePressed, 18, 18},
            {ResourceNames::kPlayAll, 55, 60},
            {ResourceNames::kPlayAllOver, 55, 60},
            {ResourceNames::kBackground, 677, 476},
        };
        for (int step = 0; step < 6; ++step) {
            expected.push_back(
                {"Graphics\\Meters_Vertical_" + std::to_string(step) + ".png", 24, 64});
        }
        expected.push_back({ResourceNames::kTimeButtonBackground, 34, 21});
        QCOMPARE(reader.index().size(), expected.size());

        const std::string whole = readFile(program);
        QCOMPARE(whole.substr(0, 4), std::string("\x7F"
                                                 "ELF",
                                                 4));
        int64_t next = reader.index().entry(0).offset;
        for (size_t i = 0; i < expected.size(); ++i) {
            const auto& entry = reader.index().entry(i);
            QCOMPARE(entry.resource->name(), expected[i].name);
            QCOMPARE(entry.offset, next);  // back to back
            next += entry.resource->length();
            std::vector<uint8_t> png;
            QVERIFY(reader.loadResource(expected[i].name, png));
            QVERIFY(png.size() > 33);
            QCOMPARE(std::string(png.begin(), png.begin() + 8), std::string("\x89PNG\r\n\x1a\n"));
            QCOMPARE(std::string(png.begin() + 12, png.begin() + 16), std::string("IHDR"));
            QCOMPARE(bigEndian32(png, 16), static_cast<uint32_t>(expected[i].width));
            QCOMPARE(bigEndian32(png, 20), static_cast<uint32_t>(expected[i].height));
            QCOMPARE(int{png[24]}, 8);  // bit depth
            QCOMPARE(int{png[25]}, 6);  // colour type: RGBA
        }
        QCOMPARE(whole[static_cast<size_t>(next)], '\0');
        const std::string index = whole.substr(static_cast<size_t>(next) + 1);
        QVERIFY(index.size() <= KorvalisResourceArchive::kMaximumIndexLength);
        QVERIFY(index.find("Version=\"1.0\"") != std::string::npos);

        // The program's own archive gives the window its background.
        QVERIFY(KorvalisResourceArchiveSingleton::useArchiveFile(program));
        const QImage background = ResourceImage::load(ResourceNames::kBackground);
        QCOMPARE(background.size(), QSize(677, 476));
        QVERIFY(background.pixelColor(338, 470).alpha() == 255);
    }
};

QTEST_MAIN(KorvalisResourceArchiveTest)
#include "KorvalisResourceArchiveTest.moc"
