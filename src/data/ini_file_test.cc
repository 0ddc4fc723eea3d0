#include "data/ini_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "data/text_file.h"

namespace tarn {
namespace {

TEST(IniFile, ReadsTheClassicProfileRules) {
  std::string path =
      std::filesystem::temp_directory_path() / ("tarn-ini-" + std::to_string(::getpid()) + ".ini");
  ASSERT_TRUE(WriteTextFile(path,
                            "\xEF\xBB\xBF; settings\r\n"
                            "[other]\r\nShowDOS=1\r\n"
                            "[Base]\r\n"
                            "  showdos = 1 \r\n"
                            "Mini=true\r\n"
                            "AbsoluteUrl=\" 1\"\r\n"
                            "Empty=\r\n"));
  IniFile ini(path);
  EXPECT_TRUE(ini.loaded());
  EXPECT_EQ(ini.GetString("base", "ShowDOS"), "1");  // names ignore case, values trimmed
  EXPECT_EQ(ini.GetString("base", "Mini"), "true");
  EXPECT_EQ(ini.GetString("base", "AbsoluteUrl", "0"), " 1");  // quotes keep the space
  EXPECT_EQ(ini.GetString("base", "Empty", "d"), "");
  EXPECT_EQ(ini.GetString("base", "Missing", "0"), "0");
  EXPECT_EQ(ini.GetString("nosection", "ShowDOS", "x"), "x");
  std::filesystem::remove(path);

  IniFile missing(path);
  EXPECT_FALSE(missing.loaded());
  EXPECT_EQ(missing.GetString("base", "AbsoluteUrl", "0"), "0");
}

TEST(IniFile, SetStringKeepsEveryOtherLineAndReadsBack) {
  std::string path = std::filesystem::temp_directory_path() /
                     ("tarn-ini-set-" + std::to_string(::getpid()) + ".ini");
  std::filesystem::remove(path);
  // A missing file gets the section; a value keeps its spaces and quotes.
  ASSERT_TRUE(IniFile::SetString(path, "workspace", "last", " /a \"b\" ", nullptr));
  EXPECT_EQ(IniFile(path).GetString("workspace", "last"), " /a \"b\" ");

  ASSERT_TRUE(
      WriteTextFile(path, "; mine\n[Workspace]\nLAST=/old\nother=1\n\n[next]\nlast=/keep\n"));
  ASSERT_TRUE(IniFile::SetString(path, "workspace", "last", "/new", nullptr));
  ASSERT_TRUE(IniFile::SetString(path, "workspace", "added", "2", nullptr));
  ASSERT_TRUE(IniFile::SetString(path, "third", "k", "v", nullptr));
  std::string text;
  ASSERT_TRUE(ReadTextFile(path, &text));
  EXPECT_EQ(text,
            "; mine\n[Workspace]\nlast=\"/new\"\nother=1\nadded=\"2\"\n\n[next]\nlast=/keep\n"
            "\n[third]\nk=\"v\"\n");

  std::string error;
  EXPECT_FALSE(IniFile::SetString(path, "workspace", "last", "/a\nb", &error));
  EXPECT_NE(error.find("line break"), std::string::npos);
  std::filesystem::remove(path);
}

}  // namespace
}  // namespace tarn
