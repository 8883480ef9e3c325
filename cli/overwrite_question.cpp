#include "cli/overwrite_question.h"

#include <cstdio>

#include <unistd.h>

#include "encode/output_checks.h"

namespace swivio::cli {

Status allowOverwrite(const std::string& existing, OverwriteChoice choice) {
    switch (choice) {
    case OverwriteChoice::Always:
        return {};
    case OverwriteChoice::Never:
        return Status::failure(outputExistsMessage(existing));
    case OverwriteChoice::Ask:
        break;
    }
    if (!isatty(STDIN_FILENO))
        return Status::failure(outputExistsMessage(existing) +
                               " Use -y to overwrite it (nobody can answer the question "
                               "without a terminal).");
    std::fprintf(stderr, "File '%s' already exists. Overwrite? [y/N] ", existing.c_str());
    std::fflush(stderr);
    char answer[64] = {};
    const bool read = std::fgets(answer, sizeof answer, stdin) != nullptr;
    if (read && (answer[0] == 'y' || answer[0] == 'Y'))
        return {};
    if (!read)
        std::fputc('\n', stderr);
    return Status::failure("Not overwriting " + existing + ".");
}

} // namespace swivio::cli
