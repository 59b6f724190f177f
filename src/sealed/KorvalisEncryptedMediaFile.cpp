#include "KorvalisEncryptedMediaFile.h"

#include <cryptopp/aes.h>
#include <cryptopp/modes.h>
#include <cryptopp/osrng.h>
#include <cryptopp/sha.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <tinyxml.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <limits>
#include <memory>
#include <tuple>
#include <utility>

#include "AtomicFileWriter.h"
#include "BlockStreamPipeline.h"
#include "DirectoryLister.h"
#include "FileIo.h"
#include "PointerChecks.h"
#include "SealedFormatText.h"
#include "SystemError.h"
#include "XmlTextParser.h"

namespace {

// Blocks of 256 KiB stay in the caches between the stages; sixteen in flight (8 MiB of buffers
// in all) let each thread run on while the other waits to be scheduled.
constexpr size_t kStreamBlockBytes = 1 << 18;
constexpr size_t kStreamBlockCount = 16;

constexpr const char* kRootElement = "KorvalisEncryptedMediaFile";
constexpr const char* kHashType = "SHA256";
constexpr const char* kCipherName = "AES";
constexpr const char* kModeName = "CFB";

// An open descriptor, closed when the holder goes.
class Descriptor {
public:
    explicit Descriptor(int descriptor) : descriptor_(descriptor) {}
    ~Descriptor() {
        if (descriptor_ >= 0) {
            ::close(descriptor_);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return descriptor_; }
    bool isOpen() const { return descriptor_ >= 0; }

private:
    int descriptor_;
};

// Reads until `size` bytes are in or the file ends; -1 on a read error.
ssize_t readFully(int descriptor, uint8_t* bytes, size_t size) {
    size_t done = 0;
    while (done < size) {
        const ssize_t got = ::read(descriptor, bytes + done, size - done);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return -1;
        }
        if (got == 0) {
            break;
        }
        done += static_cast<size_t>(got);
    }
    return static_cast<ssize_t>(done);
}

std::string upperHexDigest(CryptoPP::SHA256& digest) {
    uint8_t bytes[CryptoPP::SHA256::DIGESTSIZE];
    digest.Final(bytes);
    return SealedFormatText::toHex(bytes, sizeof bytes);
}

// CFB decryption with full-block feedback. Each plaintext block is E(previous ciphertext block)
// xor ciphertext block, so whole blocks are independent and go through AES in parallel.
class CfbDecryptor {
public:
    CfbDecryptor(const uint8_t* keyBytes, size_t keyLength, const uint8_t* iv)
        : aes_(keyBytes, keyLength), register_(iv, CryptoPP::AES::BLOCKSIZE) {}

    // Whole blocks except in the stream's last call.
    void process(const uint8_t* in, uint8_t* out, size_t size) {
        constexpr size_t kBlock = CryptoPP::AES::BLOCKSIZE;
        const size_t whole = size / kBlock * kBlock;
        if (whole > 0) {
            aes_.ProcessAndXorBlock(register_, in, out);
            if (whole > kBlock) {
                aes_.AdvancedProcessBlocks(in, in + kBlock, out + kBlock, whole - kBlock,
                                           CryptoPP::BlockTransformation::BT_AllowParallel);
            }
            std::memcpy(register_, in + whole - kBlock, kBlock);
        }
        if (whole < size) {
            CryptoPP::SecByteBlock keyStream(kBlock);
            aes_.ProcessBlock(register_, keyStream);
            for (size_t i = whole; i < size; ++i) {
                out[i] = in[i] ^ keyStream[i - whole];
            }
        }
    }

private:
    CryptoPP::AES::Encryption aes_;
    CryptoPP::SecByteBlock register_;
};

std::string joinPath(const std::string& directory, const std::string& name) {
    return DirectoryLister::join(directory, name);
}

// A recorded directory carries no trailing "/" (the root stays "/").
std::string withoutTrailingSlash(std::string path) {
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    return path;
}

bool isAesKeyLength(int keyLength) {
    return keyLength == 16 || keyLength == 24 || keyLength == 32;
}

TiXmlElement* addTextElement(TiXmlElement& parent, const char* name, const std::string& text) {
    auto* element = new TiXmlElement(name);
    element->LinkEndChild(new TiXmlText(text.c_str()));
    parent.LinkEndChild(element);
    return element;
}

// A name or path as it may be shown in a message.
std::string shown(const std::string& text) {
    return "\"" + SealedFormatText::escapeControlCharacters(text) + "\"";
}

}  // namespace

KorvalisEncryptedMediaFile::KorvalisEncryptedMediaFile() = default;

KorvalisEncryptedMediaFile::KorvalisEncryptedMediaFile(const std::string& encryptedDirectory,
                                                       const std::string& encryptedFileName,
                                                       bool& success)
    : encryptedDirectory_(encryptedDirectory), encryptedFileName_(encryptedFileName) {
    std::string text;
    success =
        readTrailer(joinPath(encryptedDirectory, encryptedFileName), text) && parseHeader(text);
}

KorvalisEncryptedMediaFile::~KorvalisEncryptedMediaFile() = default;

void KorvalisEncryptedMediaFile::setEncryptedLocation(const std::string& directory,
                                                      const std::string& name) {
    std::lock_guard lock(mutex_);
    encryptedDirectory_ = directory;
    encryptedFileName_ = name;
}

void KorvalisEncryptedMediaFile::setOriginalLocation(const std::string& path,
                                                     const std::string& name) {
    std::lock_guard lock(mutex_);
    originalFilePath_ = path;
    originalFileName_ = name;
}

void KorvalisEncryptedMediaFile::setSourceLocation(const std::string& directory,
                                                   const std::string& name) {
    std::lock_guard lock(mutex_);
    sourceDirectory_ = directory;
    sourceFileName_ = name;
}

void KorvalisEncryptedMediaFile::setStartTime(double seconds) {
    std::lock_guard lock(mutex_);
    startTime_ = seconds;
}

void KorvalisEncryptedMediaFile::setEndTime(double seconds) {
    std::lock_guard lock(mutex_);
    endTime_ = seconds;
}

void KorvalisEncryptedMediaFile::setSyncToDisk(bool sync) {
    std::lock_guard lock(mutex_);
    syncToDisk_ = sync;
}

void KorvalisEncryptedMediaFile::setReplaceExisting(bool replace) {
    std::lock_guard lock(mutex_);
    replaceExisting_ = replace;
}

#define KORVALIS_GETTER(type, name, member)         \
    type KorvalisEncryptedMediaFile::name() const { \
        std::lock_guard lock(mutex_);               \
        return member;                              \
    }
KORVALIS_GETTER(std::string, getEncryptedDirectory, encryptedDirectory_)
KORVALIS_GETTER(std::string, getEncryptedFileName, encryptedFileName_)
KORVALIS_GETTER(std::string, getOriginalFilePath, originalFilePath_)
KORVALIS_GETTER(std::string, getOriginalFileName, originalFileName_)
KORVALIS_GETTER(std::string, getSourceDirectory, sourceDirectory_)
KORVALIS_GETTER(std::string, getSourceFileName, sourceFileName_)
KORVALIS_GETTER(double, getStartTime, startTime_)
KORVALIS_GETTER(double, getEndTime, endTime_)
KORVALIS_GETTER(double, getDuration, endTime_ - startTime_)
KORVALIS_GETTER(int64_t, getOriginalFileLength, originalFileLength_)
KORVALIS_GETTER(std::string, getOriginalFileHash, originalFileHash_)
KORVALIS_GETTER(std::string, getEncryptedDataHash, encryptedDataHash_)
KORVALIS_GETTER(std::string, getOriginalHashType, originalHashType_)
KORVALIS_GETTER(std::string, getEncryptedHashType, encryptedHashType_)
KORVALIS_GETTER(std::string, getCipher, cipher_)
KORVALIS_GETTER(std::string, getMode, mode_)
KORVALIS_GETTER(std::string, getIv, iv_)
KORVALIS_GETTER(int, getKeyLength, keyLength_)
KORVALIS_GETTER(int, getTrailerLength, trailerLength_)
KORVALIS_GETTER(std::string, getErrorText, errorText_)
KORVALIS_GETTER(bool, outputExists, outputExists_)
KORVALIS_GETTER(std::vector<std::string>, getRemovedTemporaries, removedTemporaries_)
#undef KORVALIS_GETTER

bool KorvalisEncryptedMediaFile::fail(const std::string& text) {
    errorText_ = text;
    return false;
}

bool KorvalisEncryptedMediaFile::openOutput(AtomicFileWriter& output, mode_t sourceMode) {
    output.setReplaceExisting(replaceExisting_);
    output.setSyncToDisk(syncToDisk_);
    // As readable as the umask lets any new file be, and no more than the file it came from.
    output.setKeepReplacedMode(false);
    output.setModeLimit(sourceMode & 0666);
    const bool opened = output.open();
    removedTemporaries_ = output.removedTemporaries();
    if (!opened) {
        const std::string directory = std::filesystem::path(output.path()).parent_path().string();
        return fail("Cannot create a file in " + directory + ": " + output.error());
    }
    return true;
}

bool KorvalisEncryptedMediaFile::publishOutput(AtomicFileWriter& output) {
    if (output.publish()) {
        return true;
    }
    outputExists_ = output.targetExists();
    return fail(outputExists_ ? output.path() + " exists; it is not replaced"
                              : "Cannot write " + output.path() + ": " + output.error());
}

bool KorvalisEncryptedMediaFile::findTrailer(const uint8_t* tail, size_t size,
                                             std::string& xmlText) {
    if (size == 0 || tail[size - 1] != '>') {
        return false;
    }
    for (size_t i = size; i-- > 0;) {
        if (tail[i] == 0x00) {
            xmlText.assign(reinterpret_cast<const char*>(tail + i + 1), size - i - 1);
            return true;
        }
    }
    return false;
}

bool KorvalisEncryptedMediaFile::readTrailer(const std::string& path, std::string& xmlText) {
    std::lock_guard lock(mutex_);
    Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat status {};
    if (!file.isOpen() || ::fstat(file.get(), &status) != 0) {
        return fail("Cannot open " + path + ": " + SystemError::last());
    }
    if (!S_ISREG(status.st_mode)) {
        return fail(path + " is not a regular file");
    }
    const off_t size = status.st_size;
    const off_t start = size > static_cast<off_t>(kTrailerSearchBytes)
                            ? size - static_cast<off_t>(kTrailerSearchBytes)
                            : 0;
    uint8_t buffer[kTrailerSearchBytes];
    if (::lseek(file.get(), start, SEEK_SET) != start) {
        return fail("Cannot read " + path + ": " + SystemError::last());
    }
    const ssize_t got = readFully(file.get(), buffer, sizeof buffer);
    if (got < 0) {
        return fail("Cannot read " + path + ": " + SystemError::last());
    }
    if (!findTrailer(buffer, static_cast<size_t>(got), xmlText)) {
        return fail(path + " is not a sealed media file (no trailer at its end)");
    }
    trailerLength_ = static_cast<int>(xmlText.size() + 1);
    return true;
}

bool KorvalisEncryptedMediaFile::parseHeader(const std::string& xmlText) {
    std::lock_guard lock(mutex_);
    const auto malformed = [this](const char* what) {
        return fail(std::string("The sealed file's trailer is damaged: ") + what);
    };
    TiXmlDocument document;
    const bool parsed = XmlTextParser::parse(xmlText, document);
    const TiXmlElement* root = document.FirstChildElement();
    if (!parsed || root == nullptr || std::strcmp(root->Value(), kRootElement) != 0) {
        return malformed("it is not a KorvalisEncryptedMediaFile document");
    }
    const char* name = XmlTextParser::childText(root, "OriginalFileName");
    const char* path = XmlTextParser::childText(root, "OriginalFilePath");
    const char* length = XmlTextParser::childText(root, "OriginalFileLength");
    const char* originalHash = XmlTextParser::childText(root, "OriginalFileHash");
    const char* encryptedHash = XmlTextParser::childText(root, "EncryptedDataHash");
    const char* cipher = XmlTextParser::childText(root, "Cipher");
    const TiXmlElement* startElement = root->FirstChildElement("StartTime");
    const TiXmlElement* endElement = root->FirstChildElement("EndTime");
    if (name == nullptr || path == nullptr || length == nullptr || originalHash == nullptr ||
        encryptedHash == nullptr || cipher == nullptr || startElement == nullptr ||
        endElement == nullptr) {
        return malformed("an element is missing");
    }
    if (SealedFormatText::hasControlCharacters(name) ||
        SealedFormatText::hasControlCharacters(path)) {
        return fail("The sealed file records its original location as " +
                    shown(joinPath(path, name)) +
                    ", which holds control characters; such a name is refused");
    }
    originalFileName_ = sourceFileName_ = name;
    originalFilePath_ = sourceDirectory_ = path;
    int64_t lengthValue = 0;
    if (!SealedFormatText::parseInteger(length, 0, std::numeric_limits<int64_t>::max(),
                                        lengthValue)) {
        return malformed("OriginalFileLength is not a byte count");
    }
    originalFileLength_ = lengthValue;
    originalFileHash_ = originalHash;
    encryptedDataHash_ = encryptedHash;
    cipher_ = cipher;

    const TiXmlElement* cipherElement = root->FirstChildElement("Cipher");
    const char* originalType = root->FirstChildElement("OriginalFileHash")->Attribute("HashType");
    const char* encryptedType = root->FirstChildElement("EncryptedDataHash")->Attribute("HashType");
    const char* iv = cipherElement->Attribute("Iv");
    const char* keyLength = cipherElement->Attribute("keyLengthBytes");
    const char* mode = cipherElement->Attribute("Mode");
    const char* start = startElement->Attribute("epochTime");
    const char* end = endElement->Attribute("epochTime");
    if (originalType == nullptr || encryptedType == nullptr || iv == nullptr ||
        keyLength == nullptr || mode == nullptr || start == nullptr || end == nullptr) {
        return malformed("an attribute is missing");
    }
    originalHashType_ = originalType;
    encryptedHashType_ = encryptedType;
    mode_ = mode;
    iv_ = iv;
    int64_t keyLengthValue = 0;
    if (!SealedFormatText::parseInteger(keyLength, 0, std::numeric_limits<int>::max(),
                                        keyLengthValue)) {
        return malformed("a number does not read");
    }
    double startValue = 0.0;
    double endValue = 0.0;
    for (const auto& [element, text, value] :
         {std::tuple{"StartTime", start, &startValue}, std::tuple{"EndTime", end, &endValue}}) {
        if (!SealedFormatText::parseDouble(text, *value) ||
            !SealedFormatText::isRecordingTime(*value)) {
            return malformed((std::string(element) + " " + shown(text) +
                              " is not a time a recording can have (0 to 4294967296 seconds "
                              "since 1970)")
                                 .c_str());
        }
    }
    keyLength_ = static_cast<int>(keyLengthValue);
    startTime_ = startValue;
    endTime_ = endValue;
    return true;
}

std::string KorvalisEncryptedMediaFile::buildTrailer(int64_t originalLength,
                                                     const std::string& ivHex, int keyLength,
                                                     const std::string& originalHash,
                                                     const std::string& encryptedHash) const {
    TiXmlElement root(kRootElement);
    root.SetAttribute("FormatVersion", "1.0");
    addTextElement(root, "OriginalFilePath", withoutTrailingSlash(originalFilePath_));
    addTextElement(root, "OriginalFileName", originalFileName_);
    addTextElement(root, "OriginalFileLength", std::to_string(originalLength));
    auto* start = new TiXmlElement("StartTime");
    start->SetAttribute("epochTime", SealedFormatText::formatMilliseconds(startTime_).c_str());
    root.LinkEndChild(start);
    auto* end = new TiXmlElement("EndTime");
    end->SetAttribute("epochTime", SealedFormatText::formatMilliseconds(endTime_).c_str());
    root.LinkEndChild(end);
    addTextElement(root, "OriginalFileHash", originalHash)->SetAttribute("HashType", kHashType);
    addTextElement(root, "EncryptedDataHash", encryptedHash)->SetAttribute("HashType", kHashType);
    TiXmlElement* cipher = addTextElement(root, "Cipher", kCipherName);
    cipher->SetAttribute("Iv", ivHex.c_str());
    cipher->SetAttribute("keyLengthBytes", keyLength);
    cipher->SetAttribute("Mode", kModeName);
    TiXmlPrinter printer;
    printer.SetStreamPrinting();  // No indentation, no line breaks.
    root.Accept(&printer);
    return printer.Str();
}

// The trailer must fit where readers look, and its locations and span must read back exactly
// (XML parsing folds runs of blanks in text, so a name like "a  b.mp3" would not).
bool KorvalisEncryptedMediaFile::trailerReadsBack(const std::string& trailerText) {
    if (trailerText.size() > kMaximumTrailerTextBytes) {
        return fail("The original location is too long to be recorded in a sealed file");
    }
    KorvalisEncryptedMediaFile probe;
    double start = 0.0;
    double end = 0.0;
    if (!probe.parseHeader(trailerText) ||
        probe.originalFilePath_ != withoutTrailingSlash(originalFilePath_) ||
        probe.originalFileName_ != originalFileName_ ||
        !SealedFormatText::parseDouble(SealedFormatText::formatMilliseconds(startTime_), start) ||
        !SealedFormatText::parseDouble(SealedFormatText::formatMilliseconds(endTime_), end) ||
        probe.startTime_ != start || probe.endTime_ != end) {
        return fail("The original location \"" + joinPath(originalFilePath_, originalFileName_) +
                    "\" cannot be recorded faithfully in a sealed file");
    }
    return true;
}

bool KorvalisEncryptedMediaFile::encrypt(const uint8_t* keyBytes, int keyLength,
                                         const std::string& outputDirectory,
                                         const std::string& outputName) {
    std::lock_guard lock(mutex_);
    CHECK_POINTER(keyBytes);
    errorText_.clear();
    outputExists_ = false;
    removedTemporaries_.clear();
    const std::string directory = outputDirectory.empty() ? encryptedDirectory_ : outputDirectory;
    const std::string name = outputName.empty() ? encryptedFileName_ : outputName;
    if (directory.empty() || name.empty() || originalFilePath_.empty() ||
        sourceDirectory_.empty() || originalFileName_.empty() || sourceFileName_.empty()) {
        return fail("The sealed file's locations are not all set");
    }
    if (startTime_ == -1.0 || endTime_ == -1.0) {
        return fail("The sealed file's time span is not set");
    }
    if (!SealedFormatText::isRecordingTime(startTime_) ||
        !SealedFormatText::isRecordingTime(endTime_)) {
        return fail("The span " + SealedFormatText::formatMilliseconds(startTime_) + " to " +
                    SealedFormatText::formatMilliseconds(endTime_) +
                    " is not a time a recording can have (0 to 4294967296 seconds since 1970)");
    }
    if (!isAesKeyLength(keyLength)) {
        return fail("A sealing key is 16, 24 or 32 bytes long, not " + std::to_string(keyLength));
    }
    if (!SealedFormatText::isPlainFileName(originalFileName_) ||
        !SealedFormatText::isPlainFileName(name)) {
        return fail("A sealed file records and is written under plain file names, not " +
                    shown(SealedFormatText::isPlainFileName(name) ? originalFileName_ : name));
    }
    for (const std::string* text :
         {&std::as_const(originalFilePath_), &std::as_const(originalFileName_), &name}) {
        if (SealedFormatText::hasControlCharacters(*text)) {
            return fail(shown(*text) +
                        " holds control characters; a sealed file neither records nor is "
                        "written under such a name");
        }
    }

    const std::string sourcePath = joinPath(sourceDirectory_, sourceFileName_);
    Descriptor source(::open(sourcePath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat status {};
    if (!source.isOpen() || ::fstat(source.get(), &status) != 0) {
        return fail("Cannot read " + sourcePath + ": " + SystemError::last());
    }
    if (!S_ISREG(status.st_mode)) {
        return fail(sourcePath + " is not a regular file");
    }
    const std::string zeros(CryptoPP::SHA256::DIGESTSIZE * 2, '0');
    if (!trailerReadsBack(buildTrailer(status.st_size, std::string(kIvBytes * 2, '0'), keyLength,
                                       zeros, zeros))) {
        return false;
    }
    ::posix_fadvise(source.get(), 0, 0, POSIX_FADV_SEQUENTIAL);

    const std::string outputPath = joinPath(directory, name);
    AtomicFileWriter output(outputPath);
    if (!openOutput(output, status.st_mode)) {
        return false;
    }

    try {
        uint8_t iv[kIvBytes];
        CryptoPP::AutoSeededRandomPool random;
        random.GenerateBlock(iv, sizeof iv);
        CryptoPP::CFB_Mode<CryptoPP::AES>::Encryption cfb(keyBytes, static_cast<size_t>(keyLength),
                                                          iv);
        CryptoPP::SHA256 originalDigest;
        CryptoPP::SHA256 encryptedDigest;
        int64_t totalBytes = 0;
        std::string readError;
        std::string writeError;
        BlockStreamPipeline pipeline(kStreamBlockBytes, kStreamBlockCount);
        const bool streamed = pipeline.run(
            [&](BlockStreamPipeline::Block& block) {
                const ssize_t got = readFully(source.get(), block.input.data(), block.input.size());
                if (got < 0) {
                    readError = SystemError::last();
                    return false;
                }
                block.size = static_cast<size_t>(got);
                cfb.ProcessData(block.output.data(), block.input.data(), block.size);
                totalBytes += got;
                return true;
            },
            [&](const BlockStreamPipeline::Block& block) {
                originalDigest.Update(block.input.data(), block.size);
                encryptedDigest.Update(block.output.data(), block.size);
                if (!FileIo::writeAll(output.descriptor(), block.output.data(), block.size)) {
                    writeError = SystemError::last();
                    return false;
                }
                return true;
            });
        if (!streamed) {
            return fail(!readError.empty() ? "Cannot read " + sourcePath + ": " + readError
                                           : "Cannot write " + outputPath + ": " + writeError);
        }
        const std::string ivHex = SealedFormatText::toHex(iv, sizeof iv);
        const std::string originalHash = upperHexDigest(originalDigest);
        const std::string encryptedHash = upperHexDigest(encryptedDigest);
        const std::string trailer =
            buildTrailer(totalBytes, ivHex, keyLength, originalHash, encryptedHash);
        if (!trailerReadsBack(trailer)) {
            return false;
        }
        std::string separatorAndTrailer(1, '\0');
        separatorAndTrailer += trailer;
        if (!FileIo::writeAll(output.descriptor(), separatorAndTrailer.data(),
                              separatorAndTrailer.size())) {
            return fail("Cannot write " + outputPath + ": " + SystemError::last());
        }
        if (!publishOutput(output)) {
            return false;
        }
        originalFileLength_ = totalBytes;
        originalFileHash_ = originalHash;
        encryptedDataHash_ = encryptedHash;
        originalHashType_ = encryptedHashType_ = kHashType;
        cipher_ = kCipherName;
        mode_ = kModeName;
        iv_ = ivHex;
        keyLength_ = keyLength;
        trailerLength_ = static_cast<int>(separatorAndTrailer.size());
        return true;
    } catch (const CryptoPP::Exception&) {
        return fail("The sealing key was refused by the cipher");
    }
}

bool KorvalisEncryptedMediaFile::checkBeforeDecryption(int keyLength) {
    if (encryptedDirectory_.empty() || encryptedFileName_.empty() || trailerLength_ == 0) {
        return fail("No sealed file has been read");
    }
    if (originalFileLength_ == 0) {
        return fail("The sealed file holds no data");
    }
    if (originalFileHash_.empty() || encryptedDataHash_.empty() || originalHashType_ != kHashType ||
        encryptedHashType_ != kHashType || cipher_ != kCipherName || mode_ != kModeName ||
        iv_.empty()) {
        return fail("The sealed file names a cipher or digest this program does not know");
    }
    if (keyLength != keyLength_) {
        return fail("The key is " + std::to_string(keyLength) +
                    " bytes long; the file was sealed with a " + std::to_string(keyLength_) +
                    "-byte key");
    }
    return true;
}

bool KorvalisEncryptedMediaFile::decrypt(const uint8_t* keyBytes, int keyLength,
                                         const std::string& outputDirectory,
                                         const std::string& outputName) {
    std::lock_guard lock(mutex_);
    CHECK_POINTER(keyBytes);
    errorText_.clear();
    outputExists_ = false;
    removedTemporaries_.clear();
    const std::string directory = outputDirectory.empty() ? originalFilePath_ : outputDirectory;
    const std::string name = outputName.empty() ? originalFileName_ : outputName;
    if (directory.empty() || name.empty()) {
        return fail("The sealed file records no original location");
    }
    if (!SealedFormatText::isPlainFileName(name) || SealedFormatText::hasControlCharacters(name)) {
        return fail("The sealed file names its original file " + shown(name) +
                    ", which is not a plain file name; it is not restored");
    }
    return runDecryption(keyBytes, keyLength, &directory, &name);
}

bool KorvalisEncryptedMediaFile::verify(const uint8_t* keyBytes, int keyLength) {
    std::lock_guard lock(mutex_);
    CHECK_POINTER(keyBytes);
    errorText_.clear();
    outputExists_ = false;
    removedTemporaries_.clear();
    return runDecryption(keyBytes, keyLength, nullptr, nullptr);
}

bool KorvalisEncryptedMediaFile::runDecryption(const uint8_t* keyBytes, int keyLength,
                                               const std::string* outputDirectory,
                                               const std::string* outputName) {
    if (!checkBeforeDecryption(keyLength)) {
        return false;
    }
    uint8_t iv[kIvBytes];
    if (SealedFormatText::fromHex(iv_, iv, sizeof iv) != sizeof iv) {
        return fail("The sealed file's initialisation vector is not 16 bytes");
    }
    const std::string sealedPath = joinPath(encryptedDirectory_, encryptedFileName_);
    Descriptor sealed(::open(sealedPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat status {};
    if (!sealed.isOpen() || ::fstat(sealed.get(), &status) != 0) {
        return fail("Cannot read " + sealedPath + ": " + SystemError::last());
    }
    if (!S_ISREG(status.st_mode)) {
        return fail(sealedPath + " is not a regular file");
    }
    const int64_t encryptedLength = static_cast<int64_t>(status.st_size) - trailerLength_;
    if (encryptedLength != originalFileLength_) {
        return fail(sealedPath + " is damaged: it holds " + std::to_string(encryptedLength) +
                    " bytes of sealed data, its trailer records " +
                    std::to_string(originalFileLength_));
    }
    ::posix_fadvise(sealed.get(), 0, 0, POSIX_FADV_SEQUENTIAL);

    std::unique_ptr<AtomicFileWriter> output;
    std::string outputPath;
    if (outputDirectory != nullptr) {
        outputPath = joinPath(*outputDirectory, *outputName);
        output = std::make_unique<AtomicFileWriter>(outputPath);
        CHECK_ALLOCATION(output);
        if (!openOutput(*output, status.st_mode)) {
            return false;
        }
    }

    try {
        CfbDecryptor cfb(keyBytes, static_cast<size_t>(keyLength), iv);
        CryptoPP::SHA256 originalDigest;
        CryptoPP::SHA256 encryptedDigest;
        int64_t remaining = encryptedLength;
        std::string readError;
        std::string writeError;
        BlockStreamPipeline pipeline(kStreamBlockBytes, kStreamBlockCount);
        const bool streamed = pipeline.run(
            [&](BlockStreamPipeline::Block& block) {
                const size_t wanted =
                    static_cast<size_t>(std::min<int64_t>(remaining, block.input.size()));
                const ssize_t got = readFully(sealed.get(), block.input.data(), wanted);
                if (got < 0 || static_cast<size_t>(got) != wanted) {
                    readError = got < 0 ? SystemError::last() : "the file is shorter than it was";
                    return false;
                }
                block.size = wanted;
                remaining -= got;
                encryptedDigest.Update(block.input.data(), block.size);
                cfb.process(block.input.data(), block.output.data(), block.size);
                return true;
            },
            [&](const BlockStreamPipeline::Block& block) {
                originalDigest.Update(block.output.data(), block.size);
                if (output &&
                    !FileIo::writeAll(output->descriptor(), block.output.data(), block.size)) {
                    writeError = SystemError::last();
                    return false;
                }
                return true;
            });
        if (!streamed) {
            return fail(!readError.empty() ? "Cannot read " + sealedPath + ": " + readError
                                           : "Cannot write " + outputPath + ": " + writeError);
        }
        const bool originalMatches = upperHexDigest(originalDigest) == originalFileHash_;
        const bool encryptedMatches = upperHexDigest(encryptedDigest) == encryptedDataHash_;
        if (!encryptedMatches) {
            return fail(sealedPath + " is damaged: its sealed data does not match its digest");
        }
        if (!originalMatches) {
            return fail(sealedPath +
                        " did not decrypt to its original content: the key is wrong "
                        "or the file was altered");
        }
    } catch (const CryptoPP::Exception&) {
        return fail("The sealing key was refused by the cipher");
    }
    return !output || publishOutput(*output);
}

std::string KorvalisEncryptedMediaFile::sealedFileNameFor(const std::string& mediaFileName) {
    const size_t slash = mediaFileName.rfind('/');
    const std::string name =
        slash == std::string::npos ? mediaFileName : mediaFileName.substr(slash + 1);
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0) {
        return {};
    }
    std::string extension = name.substr(dot + 1);
    for (char& c : extension) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    const std::string base = name.substr(0, dot + 1);
    if (extension == "mp3") {
        return base + kSealedAudioExtension;
    }
    if (extension == "kov") {
        return base + kSealedVideoExtension;
    }
    return {};
}
