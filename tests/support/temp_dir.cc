#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <vector>

namespace tarn {

namespace fs = std::filesystem;

TempDir::TempDir(std::string_view tag) {
  std::string test = "none";
  if (const auto* info = ::testing::UnitTest::GetInstance()->current_test_info())
    test = info->name();
  for (char& c : test) {
    if (c == '/') c = '_';  // parameterised tests: "Name/0"
  }
  std::string pattern =
      (fs::temp_directory_path() /
       ("tarn-" + std::string(tag) + "-" + std::to_string(::getpid()) + "-" + test + "-XXXXXX"))
          .string();
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  if (!::mkdtemp(name.data())) {
    ADD_FAILURE() << "cannot make a temporary folder " << pattern;
    return;
  }
  path_ = name.data();
}

TempDir::~TempDir() {
  std::error_code ec;
  if (!path_.empty()) fs::remove_all(path_, ec);
}

std::string TempDir::Write(const std::string& relative, std::string_view text) const {
  fs::path file = path_ / relative;
  std::error_code ec;
  fs::create_directories(file.parent_path(), ec);
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  out.close();
  if (!out) ADD_FAILURE() << "cannot write " << file;
  return file.string();
}

std::string TempDir::Read(const std::string& relative) const {
  std::ifstream in(path_ / relative, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace tarn
