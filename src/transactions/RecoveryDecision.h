#pragma once

#include <string>
#include <vector>

class FileSystem;

// What recovery offers for an archive's recordings directory, decided from what lies on disk
// alone: the work directory "SealingWorkInProgress" and the completion files in it. The session
// recovery window and `korvalis recover` show the same lines and offer the same action.
enum class RecoveryAction {
    kNone,                 // nothing to recover, or nothing that may be done automatically
    kRecoverSealing,       // complete the committed sealing transaction
    kRecoverUnsealing,     // complete the committed unsealing transaction
    kRemoveWorkDirectory,  // remove the work directory recursively
};

struct RecoveryDecision {
    // The lines to show, in order, starting with "Recovering any sessions found in ...".
    std::vector<std::string> lines;
    RecoveryAction action = RecoveryAction::kNone;
    // True when a work directory was found: with action kNone, recovery is then not possible.
    bool workDirectoryFound = false;
    // Why a completion file counts as corrupt, for logs; "" otherwise.
    std::string detail;

    // Decides for `recordingsPath` (ROOT/Recordings; empty when none is configured). A
    // completion file counts as valid only when it reads back and every path in it lies inside
    // the recordings directory (archived copies: see TransactionScope); one that parses wrongly,
    // is no regular file or is far too large counts as corrupt. When the work directory or the
    // completion file cannot be read at the moment (an I/O error, no permission), nothing is
    // offered and a line says so: such a file may hold a committed transaction, which removing
    // the work directory would lose.
    static RecoveryDecision decide(const std::string& recordingsPath, FileSystem& fileSystem);

    // The line that reports the outcome of carrying out `action` ("" for kNone).
    static std::string resultLine(RecoveryAction action, bool succeeded);
    // A name for `action`, for logs and the command line ("recover sealing").
    static const char* actionName(RecoveryAction action);
};
