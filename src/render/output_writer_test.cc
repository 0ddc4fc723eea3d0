#include "render/output_writer.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace tarn {
namespace {

namespace fs = std::filesystem;

std::string Slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

class OutputWriterTest : public ::testing::Test {
 protected:
  TempDir temp_{"writer"};
  fs::path dir_ = temp_.path();
};

TEST_F(OutputWriterTest, WritesEveryPageInOrderAndReportsFailuresInOrder) {
  // A queue far smaller than the pages: Write has to wait for the writer,
  // and a page larger than the whole queue must still go through.
  OutputWriter writer(nullptr, 64);
  std::string big(1000, 'x');
  for (int i = 0; i < 200; ++i) {
    writer.Write((dir_ / ("p" + std::to_string(i % 50) + ".html")).string(),
                 "<p>" + std::to_string(i) + "</p>");
  }
  writer.Write((dir_ / "missing" / "a.html").string(), "a");
  writer.Write((dir_ / "big.html").string(), big);
  writer.Write((dir_ / "missing" / "b.html").string(), "b");
  std::vector<std::string> errors = writer.Wait();
  ASSERT_EQ(errors.size(), 2u);
  EXPECT_NE(errors[0].find("missing/a.html"), std::string::npos) << errors[0];
  EXPECT_NE(errors[1].find("missing/b.html"), std::string::npos) << errors[1];
  // The last of four writes to the same page wins: the order is kept.
  EXPECT_EQ(Slurp(dir_ / "p7.html"), "<p>157</p>");
  EXPECT_EQ(Slurp(dir_ / "big.html"), big);
  EXPECT_TRUE(writer.Wait().empty());  // errors are handed over once

  // Usable again after a Wait, and an unchanged page is left alone.
  auto before = fs::last_write_time(dir_ / "big.html");
  writer.Write((dir_ / "big.html").string(), big);
  writer.Write((dir_ / "new.html").string(), "new");
  EXPECT_TRUE(writer.Wait().empty());
  EXPECT_EQ(fs::last_write_time(dir_ / "big.html"), before);
  EXPECT_EQ(Slurp(dir_ / "new.html"), "new");
}

TEST_F(OutputWriterTest, DestroyingWritesWhatIsQueued) {
  {
    OutputWriter writer;
    for (int i = 0; i < 100; ++i)
      writer.Write((dir_ / ("q" + std::to_string(i))).string(), std::to_string(i));
  }
  for (int i = 0; i < 100; ++i)
    EXPECT_EQ(Slurp(dir_ / ("q" + std::to_string(i))), std::to_string(i));
}

}  // namespace
}  // namespace tarn
