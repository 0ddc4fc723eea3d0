#include "import/imported_settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "workspace/workspace.h"

namespace tarn {
namespace {

TEST(ImportedSettingsTest, OnlyValuesStillAsTheNewBlogsAreReplaced) {
  TempDir dir("settings");
  const std::string fresh = dir.Write(
      "fresh/config/base.json",
      R"({"system": {"title": "New", "author": "Tarn", "url": "https://example.github.io", )"
      R"("description": "Demo", "theme": "lake"}})");
  // The blogger changed the title and made the description a list.
  dir.Write("ws/config/base.json",
            R"({"system": {"title": "Mine", "author": "Tarn", "url": "https://example.github.io", )"
            R"("description": ["Demo"], "theme": "lake"}})");
  ImportedSettings::Values values{"Old", "Old words", "Ann", "en-US", "https://old.org", ""};
  std::vector<std::string> written;
  std::string error;
  ASSERT_TRUE(
      ImportedSettings::Apply(values, Workspace((dir / "ws").string()), fresh, &written, &error))
      << error;
  EXPECT_EQ(written, (std::vector<std::string>{"system.author", "system.language", "system.url"}));
  EXPECT_EQ(dir.Read("ws/config/base.json"),
            "{\n  \"system\": {\n    \"title\": \"Mine\",\n    \"author\": \"Ann\",\n"
            "    \"url\": \"https://old.org\",\n    \"description\": [\n      \"Demo\"\n    ],\n"
            "    \"theme\": \"lake\",\n    \"language\": \"en-US\"\n  }\n}\n");

  // Nothing left to take: the file is not written again.
  const auto stamp = std::filesystem::last_write_time(dir / "ws/config/base.json");
  written.clear();
  ASSERT_TRUE(
      ImportedSettings::Apply(values, Workspace((dir / "ws").string()), fresh, &written, &error));
  EXPECT_TRUE(written.empty());
  EXPECT_EQ(std::filesystem::last_write_time(dir / "ws/config/base.json"), stamp);

  dir.Write("ws/config/base.json", "{\"system\": ");
  EXPECT_FALSE(
      ImportedSettings::Apply(values, Workspace((dir / "ws").string()), fresh, &written, &error));
  EXPECT_NE(error.find("base.json:1: not JSON that reads"), std::string::npos) << error;
}

}  // namespace
}  // namespace tarn
