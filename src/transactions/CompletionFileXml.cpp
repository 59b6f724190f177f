#include "CompletionFileXml.h"

#include <tinyxml.h>

#include "FileSystem.h"
#include "XmlPacker.h"

namespace {
constexpr const char* kFileElement = "File";
constexpr const char* kSourceAttribute = "source";
constexpr const char* kDestinationAttribute = "destination";
}  // namespace

void CompletionFileXml::appendPathList(TiXmlElement& root, const char* name,
                                       const std::vector<std::string>& paths) {
    TiXmlElement list(name);
    for (const std::string& path : paths) {
        TiXmlElement file(kFileElement);
        file.InsertEndChild(TiXmlText(path));
        list.InsertEndChild(file);
    }
    root.InsertEndChild(list);
}

void CompletionFileXml::appendEntryList(TiXmlElement& root, const char* name,
                                        const std::vector<CompletionEntry>& entries) {
    TiXmlElement list(name);
    for (const CompletionEntry& entry : entries) {
        TiXmlElement file(kFileElement);
        file.SetAttribute(kSourceAttribute, entry.source);
        file.SetAttribute(kDestinationAttribute, entry.destination);
        list.InsertEndChild(file);
    }
    root.InsertEndChild(list);
}

bool CompletionFileXml::readPathList(const TiXmlElement& root, const char* name,
                                     std::vector<std::string>& paths) {
    paths.clear();
    const TiXmlElement* list = root.FirstChildElement(name);
    if (list == nullptr) {
        return false;
    }
    for (const TiXmlElement* file = list->FirstChildElement(kFileElement); file != nullptr;
         file = file->NextSiblingElement(kFileElement)) {
        const char* text = file->GetText();
        if (text != nullptr && *text != '\0') {
            paths.emplace_back(text);
        }
    }
    return true;
}

bool CompletionFileXml::readEntryList(const TiXmlElement& root, const char* name,
                                      std::vector<CompletionEntry>& entries) {
    entries.clear();
    const TiXmlElement* list = root.FirstChildElement(name);
    if (list == nullptr) {
        return false;
    }
    for (const TiXmlElement* file = list->FirstChildElement(kFileElement); file != nullptr;
         file = file->NextSiblingElement(kFileElement)) {
        const std::string* source = file->Attribute(std::string(kSourceAttribute));
        const std::string* destination = file->Attribute(std::string(kDestinationAttribute));
        if (source != nullptr && destination != nullptr && !source->empty() &&
            !destination->empty()) {
            entries.push_back({*source, *destination});
        }
    }
    return true;
}

std::string CompletionFileXml::print(const TiXmlElement& root) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n" + XmlPacker::printXml(root);
}

bool CompletionFileXml::write(FileSystem& fileSystem, const std::string& path,
                              std::string_view text, std::string& error) {
    if (!fileSystem.writeFileDurably(path, text)) {
        error = fileSystem.error();
        return false;
    }
    return true;
}

bool CompletionFileXml::read(FileSystem& fileSystem, const std::string& path, std::string& text,
                             std::string& error) {
    if (!fileSystem.readWholeFile(path, text, kMaximumFileBytes)) {
        error = fileSystem.error();
        return false;
    }
    return true;
}
