#include "cli/batch_plan.h"

#include <strings.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "cli/convert_options.h"
#include "settings/video_file_rules.h"

namespace swivio::cli {

namespace {

namespace fs = std::filesystem;

bool isMovieName(const fs::path& path) {
    const std::string ext = path.extension().string();
    return strcasecmp(ext.c_str(), ".swf") == 0 || strcasecmp(ext.c_str(), ".flv") == 0;
}

// The movies under `folder`, as paths relative to it, sorted.
Status listFolder(const fs::path& folder, bool recursive, std::vector<fs::path>& found) {
    std::error_code ec;
    const auto options = fs::directory_options::skip_permission_denied;
    auto add = [&](const fs::directory_entry& entry) {
        std::error_code fileEc;
        if (entry.is_regular_file(fileEc) && isMovieName(entry.path()))
            found.push_back(entry.path().lexically_relative(folder));
    };
    if (recursive) {
        fs::recursive_directory_iterator it(folder, options, ec), end;
        for (; !ec && it != end; it.increment(ec))
            add(*it);
    } else {
        fs::directory_iterator it(folder, options, ec), end;
        for (; !ec && it != end; it.increment(ec))
            add(*it);
    }
    if (ec)
        return Status::failure("Cannot read the folder " + folder.string() + ": " + ec.message() +
                               ".");
    std::sort(found.begin(), found.end());
    return {};
}

} // namespace

std::string batchOutputExtension(const ConvertOptions& o) {
    switch (o.type.value_or(OutputType::Avi)) {
    case OutputType::Avi:
        return ".avi";
    case OutputType::Mpeg:
        return ".mpg";
    case OutputType::VideoFile:
        return std::string(".") +
               videoFileExtension(o.container.value_or(ConversionSettings{}.videoContainer));
    case OutputType::ImageSeries:
        return o.imageType == ImageType::AnimatedGif ? ".gif" : "";
    }
    return ".avi";
}

Result<std::vector<BatchMovie>> planBatch(const ConvertOptions& o) {
    using R = Result<std::vector<BatchMovie>>;
    const fs::path dir = o.outputDir.value_or(".");
    const std::string extension = batchOutputExtension(o);
    std::vector<BatchMovie> movies;
    auto add = [&](const fs::path& input, const fs::path& relative) {
        fs::path output = dir / relative.parent_path() / relative.stem();
        output += extension;
        movies.push_back({input.string(), output.string(), extension.empty()});
    };
    bool folderGiven = false;
    for (const std::string& given : o.movies) {
        std::error_code ec;
        if (!fs::is_directory(given, ec)) {
            // A file, or a name that is not there: its conversion says what is wrong.
            add(given, fs::path(given).filename());
            continue;
        }
        folderGiven = true;
        std::vector<fs::path> found;
        if (Status listed = listFolder(given, o.recursive, found); !listed)
            return R::failure(listed.message());
        for (const fs::path& relative : found)
            add(fs::path(given) / relative, relative);
    }
    if (movies.empty())
        return R::failure(folderGiven ? "No .swf or .flv file in the folders given."
                                      : "No movie given (see swivio-cli convert --help).");

    // Outputs are compared as absolute, normalised paths, so "out/a.avi" and "./out/a.avi"
    // are seen to be one file.
    std::map<std::string, std::size_t> seen;
    std::string clashes;
    for (std::size_t i = 0; i < movies.size(); ++i) {
        std::error_code ec;
        const std::string key = fs::absolute(movies[i].output, ec).lexically_normal().string();
        const auto [it, inserted] = seen.emplace(key, i);
        if (!inserted)
            clashes += (clashes.empty() ? "" : "\n") + movies[it->second].input + " and " +
                       movies[i].input + " would both be converted into " + movies[i].output + ".";
    }
    if (!clashes.empty())
        return R::failure(clashes + "\nNothing was converted; convert them into different "
                                    "folders.");
    return movies;
}

} // namespace swivio::cli
