#include "render/public_folder.h"

#include <gtest/gtest.h>

#include "support/memory_output_tree.h"
#include "support/temp_dir.h"

namespace tarn {
namespace {

class PublicFolderTest : public ::testing::Test {
 protected:
  std::string Messages() const {
    std::string all;
    for (const std::string& m : messages_) all += m + "\n";
    return all;
  }

  MemoryOutputTree tree_;
  std::vector<std::string> messages_;
  PublicFolder out_{&tree_, [this](const std::string& m) { messages_.push_back(m); }};
};

// Every way into public/ refuses a path through a link, says which link,
// and fails the build; the other ways still work.
TEST_F(PublicFolderTest, NothingGoesThroughALink) {
  tree_.AddLink("tags");
  tree_.AddFile("tags/x/index.html", "");  // what the link leads to
  tree_.AddLink("articles");
  std::unique_ptr<OutputWriter> writer = out_.NewWriter();
  EXPECT_FALSE(out_.Write("tags/index.html", "list"));
  EXPECT_FALSE(out_.MakeFoldersFor("tags/y/index.html"));
  EXPECT_FALSE(out_.WriteLater(writer.get(), "articles/a.html", "a"));
  out_.RemoveStalePages("tags", {});
  out_.RemoveStaleFiles("articles", {}, "cannot remove");
  std::string error;
  EXPECT_FALSE(out_.Put("tags/z.html", "z", &error));
  EXPECT_EQ(error, "public/tags: is a symbolic link; nothing is written through it");
  EXPECT_EQ(out_.Flush(writer.get()), 0);
  EXPECT_TRUE(out_.failed());
  EXPECT_EQ(messages_.size(), 5u) << Messages();
  EXPECT_EQ(tree_.files(), (std::map<std::string, std::string>{{"tags/x/index.html", ""}}));
  EXPECT_FALSE(out_.MakeFolder("articles", "articles", "no article pages are written"));
  EXPECT_NE(Messages().find("public/articles: no article pages are written"), std::string::npos);

  EXPECT_TRUE(out_.Write("index.html", "home"));
  EXPECT_TRUE(out_.Put("img/a.png", "png", &error));
  EXPECT_EQ(tree_.files().at("img/a.png"), "png");
  // An earlier copy counts as made, unless it lies behind a link.
  TempDir sources("public-folder");
  EXPECT_TRUE(out_.HoldsCopyOf(sources.Write("a.png", "png"), "img/a.png"));
  EXPECT_FALSE(out_.HoldsCopyOf(sources.Write("empty", ""), "tags/x/index.html"));
  // Written or refused, the build's own files are noted; Put's are not.
  EXPECT_TRUE(out_.IsGenerated("tags/index.html"));
  EXPECT_TRUE(out_.IsGenerated("index.html"));
  EXPECT_FALSE(out_.IsGenerated("img/a.png"));
}

TEST_F(PublicFolderTest, StalePagesGoAndEverythingElseStays) {
  for (const char* file :
       {"articles/old.html", "articles/kept.html", "articles/notes.txt", "page/2/index.html",
        "page/3/index.html", "page/3/photo.jpg", "page/4/index.html"})
    tree_.AddFile(file, "x");
  tree_.AddLink("articles/linked.html");
  tree_.AddOther("articles/fifo.html");
  tree_.AddLink("page/9");
  out_.RemoveStaleFiles("articles", {"kept.html"}, "cannot remove");
  out_.RemoveStalePages("page", {"2"});
  std::map<std::string, std::string> files = tree_.files();
  EXPECT_EQ(files.count("articles/old.html"), 0u);
  EXPECT_EQ(files.count("page/4/index.html"), 0u);
  EXPECT_FALSE(tree_.HasFolder("page/4"));  // emptied, so gone
  EXPECT_EQ(files.count("page/3/index.html"), 0u);
  EXPECT_TRUE(tree_.HasFolder("page/3"));  // the blogger's photo keeps it
  for (const char* stays :
       {"articles/kept.html", "articles/notes.txt", "page/2/index.html", "page/3/photo.jpg"})
    EXPECT_EQ(files.count(stays), 1u) << stays;
  EXPECT_EQ(tree_.KindOf("articles/linked.html"), OutputTree::Kind::kLink);
  EXPECT_EQ(tree_.KindOf("articles/fifo.html"), OutputTree::Kind::kOther);
  EXPECT_EQ(tree_.KindOf("page/9"), OutputTree::Kind::kLink);
  EXPECT_FALSE(out_.failed()) << Messages();
}

// What an earlier build left where a file goes now makes way for it;
// nothing the blogger linked, nothing this build made, nothing of git's.
TEST_F(PublicFolderTest, LeftoversMakeWayAndNothingElseDoes) {
  struct Case {
    const char* what;
    std::vector<std::string> files;  // public/ before
    std::string target;              // where a file goes
    std::vector<std::string> after;  // public/ afterwards
  };
  const Case cases[] = {
      {"a file where a folder goes", {"feed"}, "feed/new.xml", {}},
      {"an old alias page where a file goes",
       {"robots.txt/index.html", "robots.txt/deep/x.css"},
       "robots.txt",
       {}},
      {"a linked folder", {"linked", "robots.txt/a.html"}, "robots.txt", {"robots.txt/a.html"}},
      {"a page of this build", {"index.html"}, "index.html/x", {"index.html"}},
      {"git's own file", {".git/config"}, ".git/config/index.html", {".git/config"}},
      {"a folder with a FIFO inside", {"fifo", "old/a.html"}, "old", {"old/a.html"}},
  };
  for (const Case& c : cases) {
    MemoryOutputTree tree;
    PublicFolder out(&tree, nullptr);
    for (const std::string& file : c.files) {
      if (file == "linked") {
        tree.AddLink("robots.txt/linked");
      } else if (file == "fifo") {
        tree.AddOther("old/fifo");
      } else {
        tree.AddFile(file, "x");
      }
    }
    out.Write("index.html", "home");
    out.ClearWayFor(c.target);
    std::vector<std::string> after;
    for (const auto& [file, contents] : tree.files())
      if (file != "index.html" || c.target == "index.html/x") after.push_back(file);
    EXPECT_EQ(after, c.after) << c.what;
  }
}

TEST_F(PublicFolderTest, WriteFailuresAreReportedInOrder) {
  tree_.MakeFolders("articles", nullptr);
  tree_.FailWrites("articles/b.html", "disk full");
  tree_.FailWrites("articles/d.html", "read-only");
  std::unique_ptr<OutputWriter> writer = out_.NewWriter();
  for (const char* page : {"a", "b", "c", "d"})
    out_.WriteLater(writer.get(), std::string("articles/") + page + ".html", page);
  EXPECT_EQ(out_.Flush(writer.get()), 2);
  EXPECT_EQ(Messages(), "public/articles/b.html: disk full\npublic/articles/d.html: read-only\n");
  EXPECT_TRUE(out_.failed());
  EXPECT_EQ(tree_.files().size(), 2u);
  // A file that already holds the bytes is left alone.
  int writes = tree_.writes();
  EXPECT_TRUE(out_.Write("articles/a.html", "a"));
  EXPECT_EQ(tree_.writes(), writes);
}

}  // namespace
}  // namespace tarn
