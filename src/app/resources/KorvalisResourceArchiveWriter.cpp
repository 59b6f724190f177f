#include "KorvalisResourceArchiveWriter.h"

#include <filesystem>
#include <fstream>

#include "KorvalisResourceArchive.h"

namespace {

void setError(std::string* error, const std::string& text) {
    if (error != nullptr) {
        *error = text;
    }
}

// Names go into an attribute value verbatim: no markup characters, no controls.
bool nameFitsIndex(const std::string& name) {
    if (name.empty()) {
        return false;
    }
    for (unsigned char c : name) {
        if (c < 0x20 || c == 0x7F || c == '<' || c == '>' || c == '&' || c == '"') {
            return false;
        }
    }
    return true;
}

}  // namespace

std::string KorvalisResourceArchiveWriter::indexText(const std::vector<Body>& bodies,
                                                     uint64_t firstOffset) {
    std::string text = "<ResourceIndex Version=\"1.0\">";
    uint64_t offset = firstOffset;
    for (const Body& body : bodies) {
        text += "<Resource name=\"" + body.name + "\" offset=\"" + std::to_string(offset) +
                "\" length=\"" + std::to_string(body.bytes.size()) + "\" />";
        offset += body.bytes.size();
    }
    text += "</ResourceIndex>";
    return text;
}

bool KorvalisResourceArchiveWriter::lengthWithoutArchive(const std::string& path, uint64_t& length,
                                                         std::string* error) {
    std::error_code code;
    const uint64_t size = std::filesystem::file_size(path, code);
    if (code) {
        setError(error, "cannot read " + path + ": " + code.message());
        return false;
    }
    length = size;
    KorvalisResourceArchive archive;
    if (!archive.open(path) || archive.index().size() == 0) {
        return true;
    }
    const KorvalisResourceIndex& index = archive.index();
    const int64_t first = index.entry(0).offset;
    int64_t expected = first;
    for (size_t i = 0; i < index.size(); ++i) {
        const KorvalisResourceIndex::Entry& entry = index.entry(i);
        if (!entry.usable || entry.offset != expected) {
            return true;  // not an archive of ours: leave the file as it is
        }
        expected += entry.resource->length();
    }
    // The zero byte follows the last body, and the index runs from there to the end.
    std::ifstream in(path, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(expected));
    char separator = 1;
    if (first < 0 || expected >= static_cast<int64_t>(size) || !in.get(separator) ||
        separator != '\0') {
        return true;
    }
    length = static_cast<uint64_t>(first);
    return true;
}

bool KorvalisResourceArchiveWriter::append(const std::string& path, const std::vector<Body>& bodies,
                                           std::string* error) {
    for (const Body& body : bodies) {
        if (!nameFitsIndex(body.name)) {
            setError(error, "the resource name \"" + body.name + "\" cannot be stored");
            return false;
        }
    }
    uint64_t length = 0;
    if (!lengthWithoutArchive(path, length, error)) {
        return false;
    }
    const std::string index = indexText(bodies, length);
    if (index.size() > KorvalisResourceArchive::kMaximumIndexLength) {
        setError(error, "the resource index is " + std::to_string(index.size()) +
                            " bytes long; at most " +
                            std::to_string(KorvalisResourceArchive::kMaximumIndexLength) + " fit");
        return false;
    }
    std::error_code code;
    std::filesystem::resize_file(path, length, code);
    if (code) {
        setError(error, "cannot write " + path + ": " + code.message());
        return false;
    }
    std::ofstream out(path, std::ios::binary | std::ios::app);
    for (const Body& body : bodies) {
        out.write(reinterpret_cast<const char*>(body.bytes.data()),
                  static_cast<std::streamsize>(body.bytes.size()));
    }
    out.put('\0');
    out.write(index.data(), static_cast<std::streamsize>(index.size()));
    out.flush();
    if (!out) {
        setError(error, "cannot write " + path);
        return false;
    }
    return true;
}
