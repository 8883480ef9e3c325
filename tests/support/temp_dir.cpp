#include "tests/support/temp_dir.h"

#include <cstdlib>
#include <stdexcept>

namespace swivio::testkit {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "swivio-test-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("cannot create a temporary folder");
    m_path = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

} // namespace swivio::testkit
