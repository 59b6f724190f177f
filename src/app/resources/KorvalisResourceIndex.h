#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "KorvalisResource.h"

// The parsed index of a resource archive: the entries in index order, each with the absolute
// offset of its bytes in the archive file. The index XML is a root element (name and "Version"
// not checked) holding empty "Resource" elements with the attributes "name", "offset" and
// "length" (decimal); a missing attribute gives an empty name or 0.
//
// Offsets and lengths that no file can hold (negative, not a number, beyond 32 bits for a
// length or 63 bits for an offset) mark the entry unusable: it is listed, but never read.
class KorvalisResourceIndex {
public:
    struct Entry {
        std::unique_ptr<KorvalisResource> resource;
        int64_t offset = 0;
        bool usable = true;
    };

    KorvalisResourceIndex();
    virtual ~KorvalisResourceIndex();
    KorvalisResourceIndex(const KorvalisResourceIndex&) = delete;
    KorvalisResourceIndex& operator=(const KorvalisResourceIndex&) = delete;

    // Deletes every entry, then parses `text`. True when the text is well-formed XML (entries are
    // read only then); false, and no entries, otherwise.
    bool parse(std::string_view text);
    void clear();

    // The entry named exactly `name` (case-sensitive, whole name), or null.
    const Entry* findEntry(const std::string& name) const;
    // The resource named exactly `name` and its offset, or null.
    KorvalisResource* findResource(const std::string& name, int64_t& offset) const;

    size_t size() const { return entries_.size(); }
    const Entry& entry(size_t index) const { return entries_[index]; }

private:
    std::vector<Entry> entries_;
};
