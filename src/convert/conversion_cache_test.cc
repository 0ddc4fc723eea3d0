#include "convert/conversion_cache.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "data/text_file.h"
#include "support/temp_dir.h"

namespace tarn {
namespace {

namespace fs = std::filesystem;
using Result = ConversionCache::LoadResult;

// Bytes an entry of html takes in the file: key, length, HTML, checksum.
std::size_t EntrySize(std::size_t html) { return 32 + 8 + html + 32; }

class ConversionCacheTest : public ::testing::Test {
 protected:
  void SetUp() override { path_ = (dir_ / ".tarn" / "markdown-cache.bin").string(); }

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

  // One build: loads, finds the `found` posts, puts the `put` ones (post ->
  // HTML) and saves.
  void Run(const std::vector<std::string>& found, const std::map<std::string, std::string>& put,
           const std::string& digest = "s") {
    ConversionCache cache(path_, digest);
    cache.Load(Sink());
    std::string_view html;
    for (const std::string& post : found) {
      EXPECT_TRUE(cache.Find(ConversionCache::KeyOf(post), &html)) << post;
    }
    for (const auto& [post, text] : put) cache.Put(ConversionCache::KeyOf(post), text);
    ASSERT_TRUE(cache.Save(Sink()));
  }

  // What a fresh load of the file finds for each of posts ("" for nothing).
  std::map<std::string, std::string> Contents(const std::vector<std::string>& posts,
                                              Result* result = nullptr,
                                              std::size_t* size = nullptr) {
    ConversionCache cache(path_, "s");
    Result r = cache.Load(Sink());
    if (result) *result = r;
    if (size) *size = cache.size();
    std::map<std::string, std::string> found;
    for (const std::string& post : posts) {
      std::string_view html;
      if (cache.Find(ConversionCache::KeyOf(post), &html)) found[post] = std::string(html);
    }
    return found;
  }

  std::string FileBytes() {
    std::string bytes;
    EXPECT_TRUE(ReadTextFile(path_, &bytes));
    return bytes;
  }

  TempDir temp_{"cache"};
  fs::path dir_ = temp_.path();
  std::string path_;
  std::vector<std::string> messages_;
};

TEST_F(ConversionCacheTest, KeepsHtmlBetweenRunsExactly) {
  MakeFile("scripts-1");
  ConversionCache cache(path_, "scripts-1");
  EXPECT_EQ(cache.Load(Sink()), Result::kLoaded);
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

// A build that changed one post adds one entry at the end of the file and
// leaves every byte before it alone; several such builds in a row load back
// exactly, the later entry of a post winning.
TEST_F(ConversionCacheTest, AppendsWhatEachRunAddedAndLoadsItBack) {
  Run({}, {{"# a", "<h1>a</h1>"}, {"# b", "<h1>b</h1>"}});
  std::string first = FileBytes();

  Run({"# a", "# b"}, {{"# c", "<h1>c</h1>"}});
  std::string second = FileBytes();
  ASSERT_EQ(second.size(), first.size() + EntrySize(10));
  EXPECT_EQ(second.substr(0, first.size()), first);

  // b edited into c2, a gone for now, and the same memory putting a key
  // twice: the later HTML is the one kept.
  {
    ConversionCache cache(path_, "s");
    ASSERT_EQ(cache.Load(Sink()), Result::kLoaded);
    std::string_view html;
    ASSERT_TRUE(cache.Find(ConversionCache::KeyOf("# c"), &html));
    ASSERT_TRUE(cache.Find(ConversionCache::KeyOf("# b"), &html));
    cache.Put(ConversionCache::KeyOf("# b"), "<h1>b, again</h1>");
    cache.Put(ConversionCache::KeyOf("# d"), std::string("<p>\0</p>", 8));
    ASSERT_TRUE(cache.Save(Sink()));
    // A second save of the same cache has nothing new to write.
    std::string saved = FileBytes();
    EXPECT_TRUE(cache.Save(Sink()));
    EXPECT_EQ(FileBytes(), saved);
    // ...and appends again once something is added.
    cache.Put(ConversionCache::KeyOf("# e"), "<h1>e</h1>");
    ASSERT_TRUE(cache.Save(Sink()));
    EXPECT_EQ(FileBytes().size(), saved.size() + EntrySize(10));
  }
  EXPECT_EQ(FileBytes().substr(0, second.size()), second);

  Result result;
  auto found = Contents({"# a", "# b", "# c", "# d", "# e"}, &result);
  EXPECT_EQ(result, Result::kLoaded);
  EXPECT_EQ(found, (std::map<std::string, std::string>{{"# a", "<h1>a</h1>"},
                                                       {"# b", "<h1>b, again</h1>"},
                                                       {"# c", "<h1>c</h1>"},
                                                       {"# d", std::string("<p>\0</p>", 8)},
                                                       {"# e", "<h1>e</h1>"}}));
  EXPECT_TRUE(messages_.empty()) << messages_[0];
}

TEST_F(ConversionCacheTest, RewritesTheSamePostsIntoTheSameFile) {
  Run({}, {{"# a", "<h1>a</h1>"}, {"# b", "<h1>b</h1>"}, {"# c", "<h1>c</h1>"}});
  std::string once = FileBytes();
  fs::remove(path_);
  {
    ConversionCache cache(path_, "s");
    cache.Load(Sink());
    cache.Put(ConversionCache::KeyOf("# c"), "<h1>c</h1>");
    cache.Put(ConversionCache::KeyOf("# a"), "<h1>a</h1>");
    cache.Put(ConversionCache::KeyOf("# b"), "<h1>b</h1>");
    ASSERT_TRUE(cache.Save(Sink()));
  }
  EXPECT_EQ(FileBytes(), once);
}

TEST_F(ConversionCacheTest, FirstRunAndOtherScriptsStartEmpty) {
  ConversionCache first(path_, "scripts-1");
  EXPECT_EQ(first.Load(Sink()), Result::kMissing);

  MakeFile("scripts-1");
  ConversionCache other(path_, "scripts-2");
  EXPECT_EQ(other.Load(Sink()), Result::kStale);
  std::string_view html;
  EXPECT_FALSE(other.Find(ConversionCache::KeyOf("# a"), &html));
  EXPECT_TRUE(messages_.empty()) << "new scripts are no fault: " << messages_[0];

  // Its save replaces the old scripts' entries, even with nothing to add.
  ASSERT_TRUE(other.Save(Sink()));
  other.Put(ConversionCache::KeyOf("# a"), "<h1 id=a>a</h1>");
  ASSERT_TRUE(other.Save(Sink()));
  ConversionCache again(path_, "scripts-2");
  ASSERT_EQ(again.Load(Sink()), Result::kLoaded);
  EXPECT_EQ(again.size(), 1u);
  ASSERT_TRUE(again.Find(ConversionCache::KeyOf("# a"), &html));
  EXPECT_EQ(html, "<h1 id=a>a</h1>");
}

// A file of the earlier one-block format, checksum and all, is stale: not
// read, not reported, replaced by the next save.
TEST_F(ConversionCacheTest, OldFormatIsStaleAndReplaced) {
  std::string old("TARNMDC\n", 8);
  auto u32 = [&](std::uint32_t v) {
    for (int i = 0; i < 4; ++i) old.push_back(static_cast<char>(v >> (8 * i)));
  };
  auto u64 = [&](std::uint64_t v) {
    for (int i = 0; i < 8; ++i) old.push_back(static_cast<char>(v >> (8 * i)));
  };
  u32(1);
  u32(1);
  old += "s";
  u64(1);
  ConversionCache::Key key = ConversionCache::KeyOf("# a");
  old.append(reinterpret_cast<const char*>(key.data()), key.size());
  u64(10);
  old += "<h1>a</h1>";
  ConversionCache::Key sum = ConversionCache::KeyOf(old);
  old.append(reinterpret_cast<const char*>(sum.data()), sum.size());
  fs::create_directories(fs::path(path_).parent_path());
  ASSERT_TRUE(WriteTextFile(path_, old));

  Result result;
  EXPECT_TRUE(Contents({"# a"}, &result).empty());
  EXPECT_EQ(result, Result::kStale);
  EXPECT_TRUE(messages_.empty()) << messages_[0];
  Run({}, {{"# b", "<h1>b</h1>"}});
  EXPECT_EQ(Contents({"# a", "# b"}, &result).size(), 1u);
  EXPECT_EQ(result, Result::kLoaded);
}

// Old entries stay in the file while they weigh no more than the ones in
// use; once they outweigh them, the file is rewritten with the used ones.
TEST_F(ConversionCacheTest, CompactsOnceUnusedBytesExceedUsedOnes) {
  const std::string big(1000, 'x');
  Run({}, {{"# a", big}, {"# b", big}, {"# c", big}, {"# d", "<p>d</p>"}});
  const std::string four = FileBytes();

  // a and b used, c and d not: 1080 + 80 stale against 2160 used. Nothing
  // new, so nothing is written at all.
  Run({"# a", "# b"}, {});
  EXPECT_EQ(FileBytes(), four);

  // Now only a is used: 2160 + 80 stale against 1080 used.
  Run({"# a"}, {{"# e", "<p>e</p>"}});
  std::size_t size = 0;
  auto found = Contents({"# a", "# b", "# c", "# d", "# e"}, nullptr, &size);
  EXPECT_EQ(size, 2u);
  EXPECT_EQ(found, (std::map<std::string, std::string>{{"# a", big}, {"# e", "<p>e</p>"}}));
  EXPECT_EQ(FileBytes().size(), four.size() - 2 * EntrySize(1000));

  // Without additions too: the compaction alone is worth a write.
  Run({"# e"}, {});
  found = Contents({"# a", "# e"}, nullptr, &size);
  EXPECT_EQ(size, 1u);
  EXPECT_EQ(found.count("# e"), 1u);
  EXPECT_TRUE(messages_.empty()) << messages_[0];
}

// A crash during an append leaves a torn last entry: the entries before it
// are used, the blogger hears of it once, and the next save writes a clean
// file even when it has nothing to add.
TEST_F(ConversionCacheTest, TornTailKeepsTheEntriesBeforeIt) {
  Run({}, {{"# a", "<h1>a</h1>"}, {"# b", "<h1>b</h1>"}});
  Run({"# a", "# b"}, {{"# c", "<h1>c</h1>"}});
  std::string whole = FileBytes();
  ASSERT_TRUE(WriteTextFile(path_, whole.substr(0, whole.size() - EntrySize(10) / 2)));

  {
    ConversionCache cache(path_, "s");
    EXPECT_EQ(cache.Load(Sink()), Result::kLoaded);
    EXPECT_EQ(cache.size(), 2u);
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_NE(messages_[0].find(path_), std::string::npos) << messages_[0];
    std::string_view html;
    EXPECT_TRUE(cache.Find(ConversionCache::KeyOf("# a"), &html));
    EXPECT_TRUE(cache.Find(ConversionCache::KeyOf("# b"), &html));
    EXPECT_FALSE(cache.Find(ConversionCache::KeyOf("# c"), &html));
    ASSERT_TRUE(cache.Save(Sink()));
  }
  messages_.clear();
  Result result;
  std::size_t size = 0;
  Contents({}, &result, &size);
  EXPECT_EQ(result, Result::kLoaded);
  EXPECT_EQ(size, 2u);
  EXPECT_TRUE(messages_.empty()) << messages_[0];
  EXPECT_EQ(FileBytes(), whole.substr(0, whole.size() - EntrySize(10)));
}

// The file NeverBelievesDamagedBytes damages: MakeFile's posts and "# c",
// appended by a second build.
class ConversionCacheDamageTest : public ConversionCacheTest {
 protected:
  static constexpr std::size_t kHeaderBytes = 8 + 4 + 4 + 1 + 32;

  // Where entries end in the good file: the header, the three written first
  // (sorted by key), then the appended one.
  static std::vector<std::size_t> EntryEnds() {
    std::vector<std::pair<ConversionCache::Key, std::size_t>> written = {
        {ConversionCache::KeyOf("# a"), 11},
        {ConversionCache::KeyOf("# b"), 12},
        {ConversionCache::KeyOf(""), 0}};
    std::sort(written.begin(), written.end());
    std::vector<std::size_t> ends = {kHeaderBytes};
    for (const auto& entry : written) ends.push_back(ends.back() + EntrySize(entry.second));
    ends.push_back(ends.back() + EntrySize(10));
    return ends;
  }

  // Loads `bytes` as the cache file and expects nothing but the HTML put to
  // come back, the damage to be reported unless `quiet` (a file cut exactly
  // between entries, or made by other scripts or another version, looks
  // whole), and the next save to write a file that loads cleanly.
  void ExpectNeverBelieved(const std::string& bytes, const std::string& what, bool quiet) {
    static const std::map<std::string, std::string> kPut = {
        {"# a", "<h1>a</h1>\n"},
        {"# b", std::string("<h1>\0b</h1>\n", 12)},
        {"", ""},
        {"# c", "<h1>c</h1>"}};
    ASSERT_TRUE(WriteTextFile(path_, bytes));
    messages_.clear();
    ConversionCache cache(path_, "s");
    Result result = cache.Load(Sink());
    std::string_view html;
    for (const auto& [post, text] : kPut) {
      if (cache.Find(ConversionCache::KeyOf(post), &html)) {
        EXPECT_EQ(html, text) << what;
      }
    }
    if (bytes.size() < kHeaderBytes) {
      EXPECT_NE(result, Result::kLoaded) << what;
    }
    if (result != Result::kLoaded) {
      EXPECT_EQ(cache.size(), 0u) << what;
    }
    if (!quiet) {
      ASSERT_EQ(messages_.size(), 1u) << what;
      EXPECT_NE(messages_[0].find(path_), std::string::npos) << messages_[0];
    }
    cache.Put(ConversionCache::KeyOf("# z"), "<h1>z</h1>\n");
    ASSERT_TRUE(cache.Save(Sink())) << what;
    messages_.clear();
    ConversionCache reread(path_, "s");
    EXPECT_EQ(reread.Load(Sink()), Result::kLoaded) << what;
    EXPECT_TRUE(messages_.empty()) << what;
    EXPECT_TRUE(reread.Find(ConversionCache::KeyOf("# z"), &html)) << what;
  }
};

// Whatever a damaged file holds, no HTML but the HTML put is ever handed
// back, nothing crashes, the damage is reported, and the next save writes a
// file that loads cleanly.
TEST_F(ConversionCacheDamageTest, NeverBelievesDamagedBytes) {
  MakeFile("s");
  Run({"# a", "# b", ""}, {{"# c", "<h1>c</h1>"}});
  const std::string good = FileBytes();
  const std::vector<std::size_t> ends = EntryEnds();
  ASSERT_EQ(ends.back(), good.size());
  for (std::size_t n = 0; n < good.size(); ++n) {
    bool at_entry = std::find(ends.begin(), ends.end(), n) != ends.end();
    ExpectNeverBelieved(good.substr(0, n), "truncated to " + std::to_string(n), at_entry);
  }
  for (std::size_t i = 0; i < good.size(); ++i) {
    std::string bad = good;
    bad[i] = static_cast<char>(bad[i] ^ 0x20);
    bool version = i >= 8 && i < 12;  // another format version: stale, silent
    bool digest = i == 16;            // another digest: stale, silent
    ExpectNeverBelieved(bad, "byte " + std::to_string(i) + " changed", version || digest);
  }
  ExpectNeverBelieved(good + "x", "a byte appended", false);
  ExpectNeverBelieved("<h1>not a cache</h1>", "another file", false);
}

// An entry whose checksum is right but whose length runs past the end of
// the file (made by hand, or by a faulty program) is refused before anything
// is allocated for it.
TEST_F(ConversionCacheTest, RefusesLengthsBeyondTheFile) {
  auto forged = [](std::uint32_t digest_size, std::uint64_t html_size) {
    std::string out("TARNMDC\n", 8);
    auto u32 = [&](std::uint32_t v) {
      for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>(v >> (8 * i)));
    };
    auto u64 = [&](std::uint64_t v) {
      for (int i = 0; i < 8; ++i) out.push_back(static_cast<char>(v >> (8 * i)));
    };
    auto sum_from = [&](std::size_t from) {
      ConversionCache::Key sum = ConversionCache::KeyOf(std::string_view(out).substr(from));
      out.append(reinterpret_cast<const char*>(sum.data()), sum.size());
    };
    u32(2);
    u32(digest_size);
    out += "s";
    sum_from(0);
    std::size_t entry = out.size();
    ConversionCache::Key key = ConversionCache::KeyOf("# a");
    out.append(reinterpret_cast<const char*>(key.data()), key.size());
    u64(html_size);
    out += "<h1>a</h1>";
    sum_from(entry);
    return out;
  };
  fs::create_directories(fs::path(path_).parent_path());
  // The forger gets the format right: this one loads.
  ASSERT_TRUE(WriteTextFile(path_, forged(1, 10)));
  {
    ConversionCache cache(path_, "s");
    ASSERT_EQ(cache.Load(Sink()), Result::kLoaded);
    EXPECT_EQ(cache.size(), 1u);
  }
  for (std::uint64_t size : {1ull << 62, ~0ull, ~0ull - 31, 11ull, 9ull, 0ull}) {
    ASSERT_TRUE(WriteTextFile(path_, forged(1, size)));
    ConversionCache cache(path_, "s");
    EXPECT_EQ(cache.Load(Sink()), Result::kLoaded) << size;
    EXPECT_EQ(cache.size(), 0u) << size;
  }
  for (std::uint32_t digest_size : {0xffffffffu, 0x10000u, 2u, 0u}) {
    ASSERT_TRUE(WriteTextFile(path_, forged(digest_size, 10)));
    ConversionCache cache(path_, "s");
    EXPECT_EQ(cache.Load(Sink()), Result::kDamaged) << digest_size;
    EXPECT_EQ(cache.size(), 0u);
  }
}

// Another build may replace the file (other scripts), append to it or delete
// it between this build's Load and Save: the save then writes a whole file
// of its own instead of appending to one it does not know.
TEST_F(ConversionCacheTest, DoesNotAppendToAFileChangedSinceLoad) {
  auto other_build = [&](const std::string& what) {
    if (what == "replaced") {
      Run({}, {{"# x", "<h1>x</h1>"}}, "other scripts");
    } else if (what == "appended") {
      Run({"# a"}, {{"# y", "<h1>y</h1>"}});
    } else if (what == "replaced, same size") {
      // Same scripts and length as before, another inode and other entries.
      ConversionCache other(path_, "s");
      other.Put(ConversionCache::KeyOf("# q"), "<h1>a</h1>");
      ASSERT_TRUE(other.Save(Sink()));
    } else {
      fs::remove(path_);
    }
  };
  for (std::string what : {"replaced", "appended", "replaced, same size", "deleted"}) {
    fs::remove_all(fs::path(path_).parent_path());
    Run({}, {{"# a", "<h1>a</h1>"}});
    ConversionCache cache(path_, "s");
    ASSERT_EQ(cache.Load(Sink()), Result::kLoaded);
    std::string_view html;
    ASSERT_TRUE(cache.Find(ConversionCache::KeyOf("# a"), &html));
    cache.Put(ConversionCache::KeyOf("# b"), "<h1>b</h1>");
    other_build(what);
    ASSERT_TRUE(cache.Save(Sink())) << what;

    Result result;
    std::size_t size = 0;
    auto found = Contents({"# a", "# b", "# q", "# x", "# y"}, &result, &size);
    EXPECT_EQ(result, Result::kLoaded) << what;
    EXPECT_EQ(found,
              (std::map<std::string, std::string>{{"# a", "<h1>a</h1>"}, {"# b", "<h1>b</h1>"}}))
        << what;
    EXPECT_EQ(size, 2u) << what;
    EXPECT_TRUE(messages_.empty()) << what << ": " << messages_[0];
  }
}

TEST_F(ConversionCacheTest, UnwritableFolderIsReportedNotFatal) {
  ASSERT_TRUE(WriteTextFile((dir_ / "blocker").string(), "a file where the folder should be"));
  ConversionCache cache((dir_ / "blocker" / "markdown-cache.bin").string(), "s");
  EXPECT_EQ(cache.Load(Sink()), Result::kMissing);
  cache.Put(ConversionCache::KeyOf("x"), "<p>x</p>");
  EXPECT_FALSE(cache.Save(Sink()));
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_NE(messages_[0].find("blocker"), std::string::npos) << messages_[0];
  std::string_view html;
  EXPECT_TRUE(cache.Find(ConversionCache::KeyOf("x"), &html));
}

}  // namespace
}  // namespace tarn
