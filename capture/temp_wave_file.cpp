#include "capture/temp_wave_file.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <unistd.h>
#include <vector>

namespace swivio {

Result<TempWaveFile> createTempWaveFile(const std::string& folder) {
    using R = Result<TempWaveFile>;
    std::string pattern = folder.empty() ? std::string(".") : folder;
    if (pattern.back() != '/')
        pattern += '/';
    pattern += "audXXXXXX.wav";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = mkstemps(name.data(), 4);
    if (fd < 0)
        return R::failure("cannot create a file in " + folder + ": " + std::strerror(errno));
    TempWaveFile wave;
    wave.path = name.data();
    wave.file = clib::File(fdopen(fd, "wb"));
    if (!wave.file) {
        const int error = errno;
        close(fd);
        unlink(wave.path.c_str());
        return R::failure("cannot open " + wave.path + ": " + std::strerror(error));
    }
    return R(std::move(wave));
}

} // namespace swivio
