#pragma once

#include <functional>
#include <string>

#include "base/result.h"

namespace swivio {

// Where an output lands: the destination with its symbolic links followed.
struct OutputTarget {
    std::string path;    // the file written: the destination itself, or where its links lead
    bool exists = false; // a regular file is there now and would be replaced
};

// Follows `destination`'s symbolic links (at most 40, relative ones from their own folder)
// to the file they lead to. Fails, naming the destination, when what is there is not a
// regular file (a folder, a device, a FIFO, a socket) or the links go round in a circle. A
// link that leads nowhere yet is fine: the file is created where it points.
Result<OutputTarget> resolveOutputTarget(const std::string& destination);

// True when both paths name one existing file (the same device and inode, links followed),
// however they are spelled.
bool isSameFile(const std::string& a, const std::string& b);

// One output file written beside its destination and renamed into place, so that a file
// that was there is only ever replaced by a complete output, and a device, a FIFO or a link
// is never replaced: a link's target file gets the output. The temporary file is created
// empty in the target's folder ("<name>.XXXXXX.part"), with the permissions of the file it
// will replace (new files get 0666 less the umask); the writer opens and fills it by
// path(), closes it, and commit() renames it over the target. Until then, and whatever
// happens, the destination stays as it was: the destructor removes an uncommitted
// temporary file. Move-only; one thread at a time.
class OutputFile {
public:
    // Prepares writing `destination`. Fails, with a message naming it, when
    // resolveOutputTarget refuses it or its folder cannot take a new file.
    static Result<OutputFile> create(const std::string& destination);

    OutputFile() = default;
    OutputFile(OutputFile&& other) noexcept;
    OutputFile& operator=(OutputFile&& other) noexcept;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile();

    // The temporary file to write; empty once committed or discarded.
    const std::string& path() const { return m_tempPath; }
    // The destination as given.
    const std::string& destination() const { return m_destination; }
    bool isPending() const { return !m_tempPath.empty(); }
    // `text` (a writer's message) with the temporary file's name replaced by the
    // destination's, so that the user reads the name they gave.
    std::string named(std::string text) const;

    // Flushes the written temporary file to the disk and renames it over the target. The
    // writer must have closed it. On failure the temporary file is removed and the
    // destination keeps what it had.
    Status commit();
    // Removes the temporary file; the destination keeps what it had.
    void discard();

private:
    std::string m_destination;
    std::string m_target;
    std::string m_tempPath;
};

// Writes `destination` through an OutputFile: `write` fills the temporary path it is given
// (failing with the reason when it cannot), then the file is renamed into place. Failures
// name the destination.
using OutputFileWrite = std::function<Status(const std::string& path)>;
Status writeOutputFile(const std::string& destination, const OutputFileWrite& write);

} // namespace swivio
