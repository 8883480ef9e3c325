#include "swf/movie.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <system_error>

#include "clib/c_handle.h"
#include "swf/format/movie_imports.h"

namespace swivio::swf {

namespace {

// The path, relative to the first movie's folder, of what a movie in folder `dir` imports
// from url; nothing when url is not a plain relative file name that stays inside.
std::optional<std::string> importPath(const std::string& dir, const std::string& url) {
    // A scheme (http:, file:) or a drive letter has a colon; Windows separators and
    // absolute paths could leave the folder.
    if (url.empty() || url.front() == '/' || url.find_first_of(":\\") != std::string::npos)
        return std::nullopt;
    std::string path = dir;
    std::size_t start = 0;
    while (start <= url.size()) {
        std::size_t end = url.find('/', start);
        if (end == std::string::npos)
            end = url.size();
        const std::string part = url.substr(start, end - start);
        start = end + 1;
        if (part.empty() || part == ".")
            continue;
        if (part == "..")
            return std::nullopt;
        if (!path.empty())
            path += '/';
        path += part;
    }
    if (path.size() == dir.size())
        return std::nullopt; // names only the folder
    return path;
}

std::string folderOf(const std::string& relativePath) {
    const std::size_t slash = relativePath.rfind('/');
    return slash == std::string::npos ? std::string() : relativePath.substr(0, slash);
}

class ImportLoader {
public:
    explicit ImportLoader(const ImportReader& read) : m_read(read) {}

    // The movie with its imports linked; movie itself when it imports nothing.
    std::shared_ptr<const MovieDefinition> link(std::shared_ptr<const MovieDefinition> movie,
                                                const std::string& dir, int depth) {
        if (movie->imports.empty())
            return movie;
        auto linked = std::make_shared<MovieDefinition>(*movie);
        std::vector<std::shared_ptr<const MovieDefinition>> sources;
        for (const ImportAssets& import : linked->imports)
            sources.push_back(source(import.url, dir, depth, linked->warnings));
        linkImports(*linked, sources);
        return linked;
    }

private:
    static void warn(std::vector<std::string>& warnings, const std::string& text) {
        if (warnings.size() < 100)
            warnings.push_back("ImportAssets from \"" + text);
    }

    std::shared_ptr<const MovieDefinition> source(const std::string& url, const std::string& dir,
                                                  int depth, std::vector<std::string>& warnings) {
        const std::optional<std::string> path = importPath(dir, url);
        if (!path) {
            warn(warnings, url + "\" refused: only files beside the movie or below it are read");
            return nullptr;
        }
        if (auto done = m_done.find(*path); done != m_done.end())
            return done->second;
        if (depth >= kMaxImportDepth || m_open.count(*path)) {
            warn(warnings, url + "\" skipped: imports nested too deep or in a circle");
            return nullptr;
        }
        if (m_files >= kMaxImportFiles || m_bytes >= kMaxImportBytes) {
            warn(warnings, url + "\" skipped: the movie imports too much");
            return nullptr;
        }
        ++m_files;
        std::shared_ptr<const MovieDefinition> movie = read(url, *path, warnings);
        if (movie) {
            m_open.insert(*path);
            movie = link(movie, folderOf(*path), depth + 1);
            m_open.erase(*path);
        }
        m_done[*path] = movie;
        return movie;
    }

    std::shared_ptr<const MovieDefinition> read(const std::string& url, const std::string& path,
                                                std::vector<std::string>& warnings) {
        auto bytes = m_read(path);
        if (!bytes) {
            warn(warnings, url + "\" failed: " + bytes.message());
            return nullptr;
        }
        m_bytes += bytes->size();
        auto movie = readMovieDefinition(*bytes);
        if (!movie) {
            warn(warnings, url + "\" failed: " + movie.message());
            return nullptr;
        }
        m_bytes += (*movie)->file.body->size();
        if (m_bytes > kMaxImportBytes) {
            warn(warnings, url + "\" skipped: the movie imports too much");
            return nullptr;
        }
        return *movie;
    }

    const ImportReader& m_read;
    std::size_t m_bytes = 0;
    int m_files = 0;
    std::map<std::string, std::shared_ptr<const MovieDefinition>> m_done; // null: failed
    std::set<std::string> m_open; // being linked, so a circle ends
};

} // namespace

ImportReader importsFromFolder(const std::filesystem::path& folder) {
    return [folder](const std::string& relativePath) -> Result<std::vector<uint8_t>> {
        namespace fs = std::filesystem;
        using R = Result<std::vector<uint8_t>>;
        std::error_code error;
        const fs::path root = fs::weakly_canonical(folder.empty() ? fs::path(".") : folder, error);
        const fs::path file = fs::weakly_canonical(root / relativePath, error);
        if (error)
            return R::failure(relativePath + ": " + error.message());
        // Links may point anywhere: what is read must still lie inside the folder.
        const fs::path inside = file.lexically_relative(root);
        if (inside.empty() || *inside.begin() == "..")
            return R::failure(relativePath + " leads outside the movie's folder");
        return readMovieBytes(file.string());
    };
}

Movie::Movie(std::shared_ptr<const MovieDefinition> definition)
    : m_definition(std::move(definition)),
      m_bitmaps(std::make_unique<BitmapLibrary>(m_definition)) {}

int Movie::width() const {
    return (stage().xMax - stage().xMin) / 20;
}
int Movie::height() const {
    return (stage().yMax - stage().yMin) / 20;
}

Result<std::shared_ptr<const Movie>> Movie::load(std::span<const uint8_t> bytes,
                                                 const ImportReader& imports) {
    auto definition = readMovieDefinition(bytes);
    if (!definition)
        return Result<std::shared_ptr<const Movie>>::failure(definition.message());
    std::shared_ptr<const MovieDefinition> movie = std::move(*definition);
    if (imports)
        movie = ImportLoader(imports).link(std::move(movie), std::string(), 0);
    return std::shared_ptr<const Movie>(std::make_shared<Movie>(std::move(movie)));
}

Result<std::vector<uint8_t>> readMovieBytes(const std::string& path) {
    using R = Result<std::vector<uint8_t>>;
    // Only a regular file is a movie: opening a pipe would wait for a writer forever.
    std::error_code error;
    if (!std::filesystem::is_regular_file(std::filesystem::path(path), error))
        return R::failure(std::filesystem::exists(std::filesystem::path(path), error)
                              ? path + " is not a regular file"
                              : path + " does not exist");
    clib::File file = clib::openFile(path.c_str(), "rb");
    if (!file)
        return R::failure("cannot open " + path + ": " + std::strerror(errno));
    // A compressed body is never larger than what it holds by much, so the file itself is
    // bounded like the uncompressed movie.
    std::vector<uint8_t> bytes;
    uint8_t buffer[65536];
    while (true) {
        const std::size_t n = std::fread(buffer, 1, sizeof buffer, file.get());
        bytes.insert(bytes.end(), buffer, buffer + n);
        if (bytes.size() > kMaxMovieBytes + 8)
            return R::failure(path + ": the file is too large for a movie");
        if (n < sizeof buffer)
            break;
    }
    if (std::ferror(file.get()))
        return R::failure("cannot read " + path);
    return bytes;
}

Result<std::shared_ptr<const Movie>> Movie::loadFile(const std::string& path) {
    using R = Result<std::shared_ptr<const Movie>>;
    auto bytes = readMovieBytes(path);
    if (!bytes)
        return R::failure(bytes.message());
    R movie = load(*bytes, importsFromFolder(std::filesystem::path(path).parent_path()));
    if (!movie)
        return R::failure(path + ": " + movie.message());
    return movie;
}

} // namespace swivio::swf
