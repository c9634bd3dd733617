// POSIX only: its implementation uses mkdtemp under /tmp.
// A fresh directory under /tmp for files a test makes (certificates, proxy
// configuration). Removed with its contents when the object goes.
#pragma once

#include <string>

namespace pellora::testing {

class TempDir {
 public:
  explicit TempDir(const std::string& prefix = "pellora");
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  [[nodiscard]] const std::string& Path() const { return path_; }
  // Path() + "/" + name.
  [[nodiscard]] std::string File(const std::string& name) const;

 private:
  std::string path_;
};

}  // namespace pellora::testing
