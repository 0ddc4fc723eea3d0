// TempDir: a fresh, empty folder for one test, under the system's temporary
// folder and named after the process and the running test, so that tests
// running at once (ctest -j) never share one. The folder and everything in
// it is removed when the object goes.
//
// Fails the running test (ADD_FAILURE) when the folder cannot be made.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace tarn {

class TempDir {
 public:
  // tag goes into the folder's name ("tarn-<tag>-<pid>-<test>-XXXXXX").
  explicit TempDir(std::string_view tag = "test");
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::string str() const { return path_.string(); }
  // path() / relative.
  std::filesystem::path operator/(const std::string& relative) const { return path_ / relative; }

  // Writes text to the file at relative (folders made as needed); fails the
  // test when it cannot. Returns the file's full path.
  std::string Write(const std::string& relative, std::string_view text) const;
  // The text of the file at relative, "" when it cannot be read.
  std::string Read(const std::string& relative) const;

 private:
  std::filesystem::path path_;
};

}  // namespace tarn
