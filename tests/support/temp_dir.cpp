// POSIX only: uses mkdtemp under /tmp.
#include "support/temp_dir.h"

#include <stdlib.h>

#include <filesystem>
#include <stdexcept>
#include <vector>

namespace pellora::testing {

TempDir::TempDir(const std::string& prefix) {
  std::string pattern = "/tmp/" + prefix + "-XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (mkdtemp(buffer.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = buffer.data();
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::File(const std::string& name) const { return path_ + "/" + name; }

}  // namespace pellora::testing
