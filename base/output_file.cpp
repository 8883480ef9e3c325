#include "base/output_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace swivio {

namespace {

constexpr int kMaxLinks = 40;
constexpr int kNameAttempts = 100;
// Room for ".XXXXXX.part" within the 255 bytes a file name may have.
constexpr std::size_t kMaxKeptName = 200;

std::string systemError(int error) {
    return std::strerror(error);
}

// What a file that is not a regular one is, in words.
const char* kindOf(mode_t mode) {
    if (S_ISDIR(mode))
        return "a folder";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "a device";
    if (S_ISFIFO(mode))
        return "a FIFO";
    if (S_ISSOCK(mode))
        return "a socket";
    return "not a regular file";
}

std::string randomLetters() {
    static constexpr char kLetters[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937_64 generator{std::random_device{}()};
    std::uniform_int_distribution<std::size_t> pick(0, sizeof(kLetters) - 2);
    std::string out(6, 'A');
    for (char& c : out)
        c = kLetters[pick(generator)];
    return out;
}

// Closes a descriptor when it goes out of scope.
class Descriptor {
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return m_fd; }
    // Closes now; false (errno set) when the close fails.
    bool close() {
        const int fd = std::exchange(m_fd, -1);
        return fd < 0 || ::close(fd) == 0;
    }

private:
    int m_fd;
};

} // namespace

Result<OutputTarget> resolveOutputTarget(const std::string& destination) {
    using R = Result<OutputTarget>;
    if (destination.empty())
        return R::failure("The output file name is empty.");
    std::filesystem::path current = destination;
    for (int links = 0;; ++links) {
        struct stat st = {};
        if (::lstat(current.c_str(), &st) != 0) {
            const int error = errno;
            // Nothing there yet (also a link that leads nowhere yet): the file is created.
            if (error == ENOENT)
                return OutputTarget{current.string(), false};
            return R::failure("Cannot write " + destination + ": " + systemError(error));
        }
        if (S_ISREG(st.st_mode))
            return OutputTarget{current.string(), true};
        if (!S_ISLNK(st.st_mode)) {
            std::string where =
                current.string() == destination ? std::string() : " (" + current.string() + ")";
            return R::failure("Refusing to write " + destination + where + ": it is " +
                              kindOf(st.st_mode) + ", not a regular file.");
        }
        if (links >= kMaxLinks)
            return R::failure("Cannot write " + destination +
                              ": its symbolic links go round in a circle.");
        std::error_code ec;
        const std::filesystem::path next = std::filesystem::read_symlink(current, ec);
        if (ec)
            return R::failure("Cannot write " + destination + ": " + ec.message());
        current = next.is_absolute() ? next : current.parent_path() / next;
    }
}

bool isSameFile(const std::string& a, const std::string& b) {
    struct stat sa = {}, sb = {};
    if (a.empty() || b.empty() || ::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0)
        return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

Result<OutputFile> OutputFile::create(const std::string& destination) {
    using R = Result<OutputFile>;
    Result<OutputTarget> target = resolveOutputTarget(destination);
    if (!target)
        return R::failure(target.message());

    const std::size_t slash = target->path.rfind('/');
    const std::string folder =
        slash == std::string::npos ? std::string() : target->path.substr(0, slash + 1);
    std::string name = slash == std::string::npos ? target->path : target->path.substr(slash + 1);
    if (name.size() > kMaxKeptName)
        name.resize(kMaxKeptName);

    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        std::string temp = folder + name + "." + randomLetters() + ".part";
        Descriptor fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (fd.get() < 0) {
            const int error = errno;
            if (error == EEXIST)
                continue;
            return R::failure("Cannot write " + destination + ": cannot create a file in " +
                              (folder.empty() ? std::string(".") : folder) + ": " +
                              systemError(error));
        }
        OutputFile file;
        file.m_destination = destination;
        file.m_target = target->path;
        file.m_tempPath = std::move(temp);
        return file;
    }
    return R::failure("Cannot write " + destination + ": no free temporary name beside it.");
}

OutputFile::OutputFile(OutputFile&& other) noexcept
    : m_destination(std::move(other.m_destination)), m_target(std::move(other.m_target)),
      m_tempPath(std::exchange(other.m_tempPath, std::string())) {}

OutputFile& OutputFile::operator=(OutputFile&& other) noexcept {
    if (this != &other) {
        discard();
        m_destination = std::move(other.m_destination);
        m_target = std::move(other.m_target);
        m_tempPath = std::exchange(other.m_tempPath, std::string());
    }
    return *this;
}

OutputFile::~OutputFile() {
    discard();
}

std::string OutputFile::named(std::string text) const {
    if (m_tempPath.empty())
        return text;
    for (std::size_t at = text.find(m_tempPath); at != std::string::npos;
         at = text.find(m_tempPath, at + m_destination.size()))
        text.replace(at, m_tempPath.size(), m_destination);
    return text;
}

void OutputFile::discard() {
    if (!m_tempPath.empty())
        ::unlink(m_tempPath.c_str());
    m_tempPath.clear();
}

Status OutputFile::commit() {
    if (m_tempPath.empty())
        return Status::failure("The output " + m_destination + " was not written.");
    auto failed = [this](const std::string& what, int error) {
        discard();
        return Status::failure("Cannot " + what + " " + m_destination + ": " + systemError(error));
    };
    struct stat old = {};
    const bool replacing = ::stat(m_target.c_str(), &old) == 0 && S_ISREG(old.st_mode);
    if (replacing) {
        // The data reaches the disk before the name does, so that a crash never leaves an
        // empty file where the old one was. A new name has nothing to lose, and a picture
        // series of thousands of new files would pay for a flush each.
        Descriptor fd(::open(m_tempPath.c_str(), O_RDONLY | O_CLOEXEC));
        if (fd.get() < 0 || ::fsync(fd.get()) != 0)
            return failed("write", errno);
        if (!fd.close())
            return failed("write", errno);
        // The file replaced passes its permissions on; a read-only one could not have been
        // written through the temporary file had they been set when it was created.
        if (::chmod(m_tempPath.c_str(), old.st_mode & 07777) != 0)
            return failed("write", errno);
    }
    if (::rename(m_tempPath.c_str(), m_target.c_str()) != 0)
        return failed("put in place", errno);
    m_tempPath.clear();
    return {};
}

Status writeOutputFile(const std::string& destination, const OutputFileWrite& write) {
    Result<OutputFile> file = OutputFile::create(destination);
    if (!file)
        return Status::failure(file.message());
    if (Status written = write(file->path()); !written)
        return Status::failure(written.message().empty() ? "Cannot write " + destination + "."
                                                         : file->named(written.message()));
    return file->commit();
}

} // namespace swivio
