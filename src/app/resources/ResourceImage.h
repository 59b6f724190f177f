#pragma once

#include <QImage>
#include <string>

class KorvalisResourceArchive;

// Images of the user interface from the resource archive.
class ResourceImage {
public:
    // The image stored under `name` in the program's own archive; null when the archive lacks
    // it or its bytes are no image.
    static QImage load(const std::string& name);
    static QImage load(KorvalisResourceArchive& archive, const std::string& name);
};
