#include "ResourceImage.h"

#include <vector>

#include "KorvalisResourceArchive.h"
#include "KorvalisResourceArchiveSingleton.h"

QImage ResourceImage::load(const std::string& name) {
    return load(KorvalisResourceArchiveSingleton::getInstance(), name);
}

QImage ResourceImage::load(KorvalisResourceArchive& archive, const std::string& name) {
    std::vector<uint8_t> bytes;
    if (!archive.loadResource(name, bytes) || bytes.empty()) {
        return QImage();
    }
    QImage image;
    if (!image.loadFromData(bytes.data(), static_cast<int>(bytes.size()))) {
        return QImage();
    }
    return image;
}
