#include "site/conversion_cache.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "data/text_file.h"

namespace tarn {
namespace {

namespace fs = std::filesystem;

class ConversionCacheTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("tarn-cache-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    path_ = (dir_ / ".tarn" / "markdown-cache.bin").string();
  }
  void TearDown() override { fs::remove_all(dir_); }

  DiagnosticSink Sink() {
    return [this](const std::string& m) { messages_.push_back(m); };
  }

  // A cache file holding "# a" and "# b" (and an empty HTML) under digest.
  void MakeFile(const std::string& digest) {
    ConversionCache cache(path_, digest);
    cache.Load(Sink());
    cache.Put(ConversionCache::KeyOf("# a"), "<h1>a</h1>\n");
    cache.Put(ConversionCache::KeyOf("# b"), std::string("<h1>\0b</h1>\n", 12));
    cache.Put(ConversionCache::KeyOf(""), "");
    ASSERT_TRUE(cache.Save(Sink()));
  }

  std::string FileBytes() {
    std::string bytes;
    EXPECT_TRUE(ReadTextFile(path_, &bytes));
    return bytes;
  }

  fs::path dir_;
  std::string path_;
  std::vector<std::string> messages_;
};

TEST_F(ConversionCacheTest, KeepsHtmlBetweenRunsExactly) {
  MakeFile("scripts-1");
  ConversionCache cache(path_, "scripts-1");
  EXPECT_EQ(cache.Load(Sink()), ConversionCache::LoadResult::kLoaded);
  std::string_view html;
  ASSERT_TRUE(cache.Find(ConversionCache::KeyOf("# a"), &html));
  EXPECT_EQ(html, "<h1>a</h1>\n");
  ASSERT_TRUE(cache.Find(ConversionCache::KeyOf("# b"), &html));
  EXPECT_EQ(html, std::string_view("<h1>\0b</h1>\n", 12));
  ASSERT_TRUE(cache.Find(ConversionCache::KeyOf(""), &html));
  EXPECT_EQ(html, "");
  EXPECT_FALSE(cache.Find(ConversionCache::KeyOf("# c"), &html));
  EXPECT_TRUE(messages_.empty());

  // Nothing changed: the file is not written again.
  fs::remove(path_);
  EXPECT_TRUE(cache.Save(Sink()));
  EXPECT_FALSE(fs::exists(path_));
}

TEST_F(ConversionCacheTest, FirstRunAndOtherScriptsStartEmpty) {
  ConversionCache first(path_, "scripts-1");
  EXPECT_EQ(first.Load(Sink()), ConversionCache::LoadResult::kMissing);

  MakeFile("scripts-1");
  ConversionCache other(path_, "scripts-2");
  EXPECT_EQ(other.Load(Sink()), ConversionCache::LoadResult::kStale);
  std::string_view html;
  EXPECT_FALSE(other.Find(ConversionCache::KeyOf("# a"), &html));
  EXPECT_TRUE(messages_.empty()) << "new scripts are no fault: " << messages_[0];

  // Its save replaces the old scripts' entries.
  other.Put(ConversionCache::KeyOf("# a"), "<h1 id=a>a</h1>");
  ASSERT_TRUE(other.Save(Sink()));
  ConversionCache again(path_, "scripts-2");
  ASSERT_EQ(again.Load(Sink()), ConversionCache::LoadResult::kLoaded);
  EXPECT_EQ(again.size(), 1u);
  ASSERT_TRUE(again.Find(ConversionCache::KeyOf("# a"), &html));
  EXPECT_EQ(html, "<h1 id=a>a</h1>");
}

TEST_F(ConversionCacheTest, DropsEntriesTheRunDidNotUse) {
  MakeFile("s");
  {
    ConversionCache cache(path_, "s");
    ASSERT_EQ(cache.Load(Sink()), ConversionCache::LoadResult::kLoaded);
    std::string_view html;
    ASSERT_TRUE(cache.Find(ConversionCache::KeyOf("# b"), &html));
    cache.Put(ConversionCache::KeyOf("# new"), "<h1>new</h1>");
    ASSERT_TRUE(cache.Save(Sink()));
  }
  ConversionCache cache(path_, "s");
  ASSERT_EQ(cache.Load(Sink()), ConversionCache::LoadResult::kLoaded);
  EXPECT_EQ(cache.size(), 2u);
  std::string_view html;
  EXPECT_FALSE(cache.Find(ConversionCache::KeyOf("# a"), &html));
  EXPECT_TRUE(cache.Find(ConversionCache::KeyOf("# b"), &html));
  EXPECT_TRUE(cache.Find(ConversionCache::KeyOf("# new"), &html));
}

// Whatever a damaged file holds, nothing of it is believed, nothing crashes,
// and the blogger hears about it once.
TEST_F(ConversionCacheTest, IgnoresEveryTruncationAndCorruption) {
  MakeFile("s");
  const std::string good = FileBytes();

  auto expect_unused = [&](const std::string& bytes, const std::string& what) {
    ASSERT_TRUE(WriteTextFile(path_, bytes));
    messages_.clear();
    ConversionCache cache(path_, "s");
    ConversionCache::LoadResult result = cache.Load(Sink());
    EXPECT_NE(result, ConversionCache::LoadResult::kLoaded) << what;
    std::string_view html;
    EXPECT_FALSE(cache.Find(ConversionCache::KeyOf("# a"), &html)) << what;
    EXPECT_EQ(cache.size(), 0u) << what;
    if (result == ConversionCache::LoadResult::kDamaged) {
      ASSERT_EQ(messages_.size(), 1u) << what;
      EXPECT_NE(messages_[0].find(path_), std::string::npos) << messages_[0];
    }
    // The next save writes a good file again.
    cache.Put(ConversionCache::KeyOf("# a"), "<h1>a</h1>\n");
    ASSERT_TRUE(cache.Save(Sink())) << what;
    ConversionCache reread(path_, "s");
    EXPECT_EQ(reread.Load(Sink()), ConversionCache::LoadResult::kLoaded) << what;
  };

  for (std::size_t n = 0; n < good.size(); ++n) {
    expect_unused(good.substr(0, n), "truncated to " + std::to_string(n));
  }
  for (std::size_t i = 0; i < good.size(); ++i) {
    std::string bad = good;
    bad[i] = static_cast<char>(bad[i] ^ 0x20);
    expect_unused(bad, "byte " + std::to_string(i) + " changed");
  }
  expect_unused(good + "x", "a byte appended");
  expect_unused("<h1>not a cache</h1>", "another file");
}

// A file whose checksum is right but whose lengths are absurd (made by hand,
// or by a faulty program) is refused before anything is allocated for it.
TEST_F(ConversionCacheTest, RefusesLengthsBeyondTheFile) {
  auto forged = [](std::uint64_t count, std::uint64_t html_size) {
    std::string out("TARNMDC\n", 8);
    auto u32 = [&](std::uint32_t v) {
      for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>(v >> (8 * i)));
    };
    auto u64 = [&](std::uint64_t v) {
      for (int i = 0; i < 8; ++i) out.push_back(static_cast<char>(v >> (8 * i)));
    };
    u32(1);
    u32(1);
    out += "s";
    u64(count);
    ConversionCache::Key key = ConversionCache::KeyOf("# a");
    out.append(reinterpret_cast<const char*>(key.data()), key.size());
    u64(html_size);
    out += "<h1>a</h1>";
    ConversionCache::Key sum = ConversionCache::KeyOf(out);
    out.append(reinterpret_cast<const char*>(sum.data()), sum.size());
    return out;
  };
  fs::create_directories(fs::path(path_).parent_path());
  // The forger gets the format right: this one loads.
  ASSERT_TRUE(WriteTextFile(path_, forged(1, 10)));
  {
    ConversionCache cache(path_, "s");
    ASSERT_EQ(cache.Load(Sink()), ConversionCache::LoadResult::kLoaded);
  }
  for (auto [count, size] : {std::pair<std::uint64_t, std::uint64_t>{1ull << 60, 10},
                             {1, 1ull << 62}, {1, ~0ull}, {2, 10}, {1, 11}, {1, 9}}) {
    ASSERT_TRUE(WriteTextFile(path_, forged(count, size)));
    ConversionCache cache(path_, "s");
    EXPECT_EQ(cache.Load(Sink()), ConversionCache::LoadResult::kDamaged) << count << " " << size;
    EXPECT_EQ(cache.size(), 0u);
  }
}

TEST_F(ConversionCacheTest, UnwritableFolderIsReportedNotFatal) {
  ASSERT_TRUE(WriteTextFile((dir_ / "blocker").string(), "a file where the folder should be"));
  ConversionCache cache((dir_ / "blocker" / "markdown-cache.bin").string(), "s");
  EXPECT_EQ(cache.Load(Sink()), ConversionCache::LoadResult::kMissing);
  cache.Put(ConversionCache::KeyOf("x"), "<p>x</p>");
  EXPECT_FALSE(cache.Save(Sink()));
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_NE(messages_[0].find("blocker"), std::string::npos) << messages_[0];
  std::string_view html;
  EXPECT_TRUE(cache.Find(ConversionCache::KeyOf("x"), &html));
}

}  // namespace
}  // namespace tarn
