#pragma once

#include <functional>
#include <string>
#include <vector>

// Exit codes of every korvalis command.
enum KorvalisExitCode {
    kExitSuccess = 0,  // done
    kExitFailure = 1,  // the operation failed (message on stderr)
    kExitUsage = 2,    // the command line was wrong (usage on stderr)
};

// One subcommand of the korvalis tool. Data goes to stdout, errors to stderr.
struct KorvalisCommand {
    std::string name;     // "kov"
    std::string summary;  // one line for the overview
    std::string usage;    // the full usage text, printed for --help and on wrong usage
    // Runs with the arguments after the command name; returns a KorvalisExitCode.
    std::function<int(const std::vector<std::string>& arguments)> run;
};

// The commands known to the tool. Each command's source file registers it with a static
// KorvalisCommandRegistration, so adding a command touches no other file.
class KorvalisCommandRegistry {
public:
    static KorvalisCommandRegistry& instance();

    void add(KorvalisCommand command);
    const KorvalisCommand* find(const std::string& name) const;
    // All commands, sorted by name.
    std::vector<const KorvalisCommand*> all() const;

private:
    std::vector<KorvalisCommand> commands_;
};

struct KorvalisCommandRegistration {
    explicit KorvalisCommandRegistration(KorvalisCommand command) {
        KorvalisCommandRegistry::instance().add(std::move(command));
    }
};
