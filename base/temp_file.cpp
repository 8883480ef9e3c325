#include "base/temp_file.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <unistd.h>

namespace swivio {

Result<std::string> createTempFile(const std::string& folder, const std::string& prefix) {
    static constexpr char kSuffix[] = ".tmp";
    const std::string where = folder.empty() ? std::string(".") : folder;
    std::string pattern = where;
    if (pattern.back() != '/')
        pattern += '/';
    pattern += prefix;
    pattern += "XXXXXX";
    pattern += kSuffix;

    // mkstemps replaces the Xs in place and opens with O_CREAT | O_EXCL, mode 0600.
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = mkstemps(name.data(), int(sizeof(kSuffix) - 1));
    if (fd < 0) {
        const int error = errno;
        return Result<std::string>::failure("Cannot create a temporary file in \"" + where +
                                            "\": " + std::strerror(error));
    }
    close(fd);
    return std::string(name.data());
}

} // namespace swivio
