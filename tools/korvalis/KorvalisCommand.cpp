#include "KorvalisCommand.h"

#include <algorithm>

KorvalisCommandRegistry& KorvalisCommandRegistry::instance() {
    static KorvalisCommandRegistry registry;
    return registry;
}

void KorvalisCommandRegistry::add(KorvalisCommand command) {
    commands_.push_back(std::move(command));
}

const KorvalisCommand* KorvalisCommandRegistry::find(const std::string& name) const {
    for (const KorvalisCommand& command : commands_) {
        if (command.name == name) {
            return &command;
        }
    }
    return nullptr;
}

std::vector<const KorvalisCommand*> KorvalisCommandRegistry::all() const {
    std::vector<const KorvalisCommand*> sorted;
    for (const KorvalisCommand& command : commands_) {
        sorted.push_back(&command);
    }
    std::sort(sorted.begin(), sorted.end(),
              [](const KorvalisCommand* a, const KorvalisCommand* b) { return a->name < b->name; });
    return sorted;
}
