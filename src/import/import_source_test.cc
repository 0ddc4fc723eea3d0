#include "import/import_source.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "content/front_matter.h"
#include "support/temp_dir.h"

namespace tarn {
namespace {

using Files = std::vector<std::pair<std::string, std::string>>;

// An old site made of files, its source and what it reported.
class MadeSite {
 public:
  explicit MadeSite(const Files& files) {
    for (const auto& [relative, text] : files) dir_.Write(relative, text);
    report_.set_site(root_);
    source_ = ImportSource::Detect(root_, &report_);
    if (source_) source_->ReadSettings();
  }

  const ImportSource* source() const { return source_.get(); }
  const std::filesystem::path& path() const { return root_; }
  const std::vector<std::string>& lines() const { return lines_; }

  // The old address of the post in the file at relative.
  ImportSource::Address AddressOf(const std::string& relative) const {
    for (const ImportSource::Post& post : source_->Posts()) {
      if (post.file != root_ / relative) continue;
      FrontMatter front;
      front.Read(dir_.Read(relative), relative, nullptr);
      return source_->OldAddress(post, front);
    }
    ADD_FAILURE() << relative << " is not a post";
    return {};
  }

 private:
  TempDir dir_{"import"};
  const std::filesystem::path root_ = std::filesystem::canonical(dir_.path());
  std::vector<std::string> lines_;
  ImportReport report_{[this](const ImportReport::Entry& entry) { lines_.push_back(entry.text); }};
  std::unique_ptr<ImportSource> source_;
};

TEST(ImportSourceTest, DetectTellsTheGeneratorByTheLayout) {
  struct Case {
    Files files;
    std::string generator;  // "" for none
  } cases[] = {
      {{{"source/_posts/a.md", ""}}, "Hexo"},
      {{{"_config.yml", ""}, {"source/_drafts/a.md", ""}}, "Hexo"},
      {{{"source/_posts/a.md", ""}, {"_posts/b.md", ""}}, "Hexo"},
      {{{"hugo.toml", ""}}, "Hugo"},
      {{{"config.yaml", ""}, {"content/a.md", ""}}, "Hugo"},
      {{{"config/_default/params.toml", ""}, {"content/a.md", ""}}, "Hugo"},
      {{{"hugo.json", ""}, {"_posts/b.md", ""}}, "Hugo"},
      {{{"_posts/2014-07-13-old-post.md", ""}}, "Jekyll"},
      {{{"_config.yml", ""}, {"_drafts/idea.md", ""}}, "Jekyll"},
      {{{"config.toml", ""}}, ""},  // no content/ beside it
      {{{"_config.yml", ""}}, ""},
      {{{"index.html", ""}}, ""},
  };
  for (const Case& c : cases) {
    MadeSite site(c.files);
    std::string found = site.source() ? std::string(site.source()->generator()) : "";
    EXPECT_EQ(found, c.generator) << c.files[0].first;
  }
}

struct AddressCase {
  Files files;
  std::string post;
  std::string address;
  std::string why;  // when address is ""
};

void ExpectAddresses(const std::vector<AddressCase>& cases) {
  for (const AddressCase& c : cases) {
    MadeSite site(c.files);
    ASSERT_NE(site.source(), nullptr) << c.post;
    ImportSource::Address address = site.AddressOf(c.post);
    EXPECT_EQ(address.address, c.address) << c.post << " of " << c.files[0].second;
    EXPECT_EQ(address.why, c.why) << c.post << " of " << c.files[0].second;
  }
}

TEST(ImportSourceTest, JekyllAddressesFollowTheStyleAndThePostsName) {
  const std::string post = "_posts/2014-07-13-old-post.md";
  ExpectAddresses({
      {{{"_config.yml", ""}, {post, "---\ntitle: T\n---\n"}}, post, "/2014/07/13/old-post.html"},
      {{{"_config.yml", "permalink: pretty\n"}, {post, "---\ncategories: [Web Dev, web]\n---\n"}},
       post,
       "/web/dev/2014/07/13/old-post/"},
      {{{"_config.yml", "permalink: /:categories/:title\n"},
        {post, "---\ncategory: Notes\nslug: Better Name\n---\n"}},
       post,
       "/notes/Better-Name"},
      // The front matter's date wins over the name's; its own permalink
      // over the site's.
      {{{"_config.yml", ""}, {post, "---\ndate: 2015-01-02 10:00:00 +0800\n---\n"}},
       post,
       "/2015/01/02/old-post.html"},
      {{{"_config.yml", ""}, {post, "---\npermalink: /x/:title/\n---\n"}}, post, "/x/old-post/"},
      {{{"_config.yml", ""}, {"_posts/old-post.md", "x\n"}},
       "_posts/old-post.md",
       "",
       "its name does not start with a date, so Jekyll did not publish it"},
      {{{"_config.yml", ""}, {post, "---\npublished: false\n---\n"}}, post, "", "a draft"},
      {{{"_config.yml", ""}, {"_drafts/2014-07-13-idea.md", ""}},
       "_drafts/2014-07-13-idea.md",
       "",
       "a draft"},
      {{{"_config.yml", "permalink: [\n"}, {post, ""}},
       post,
       "",
       "the site's configuration cannot be read"},
  });
}

TEST(ImportSourceTest, HexoAddressesFollowTheSettingsAndTheFileName) {
  const std::string post = "source/_posts/hello.md";
  const std::string dated = "---\ntitle: Hello There\ndate: 2019/3/5 8:04:09\n---\n";
  ExpectAddresses({
      {{{post, dated}}, post, "/2019/03/05/hello/"},
      {{{"_config.yml", "permalink: :year/:post_title.html\n"}, {post, dated}},
       post,
       "/2019/hello-there.html"},
      {{{"source/_posts/2020/nested.md", dated}},
       "source/_posts/2020/nested.md",
       "/2019/03/05/2020/nested/"},
      // new_post_name gives the date and the title.
      {{{"_config.yml", "permalink: :year/:title/\nnew_post_name: :year-:month-:day-:title.md\n"},
        {"source/_posts/2018-01-02-hi.md", "---\ntitle: T\n---\n"}},
       "source/_posts/2018-01-02-hi.md",
       "/2018/hi/"},
      // :category: the last category with its parents, else the default;
      // permalink_defaults fill what the post lacks.
      {{{"_config.yml", "permalink: :category/:lang/:title\npermalink_defaults:\n  lang: en\n"},
        {post, "---\ncategories:\n- Old\n- [Tech, C++ Tips]\n---\n"}},
       post,
       "/Tech/C-Tips/en/hello"},
      {{{"_config.yml", "permalink: :category/:title\ndefault_category: misc\n"}, {post, ""}},
       post,
       "/misc/hello"},
      {{{post, "---\npermalink: /custom/place/\n---\n"}}, post, "/custom/place/"},
      {{{post, "---\ntitle: T\n---\n"}},
       post,
       "",
       "no value for :year (the post has no date the old site's address was made from)"},
      {{{"_config.yml", "permalink: p/:id/\n"}, {post, dated}}, post, "", "no value for :id"},
      // :hash: SHA-1 of :title and the post's moment, which needs a zone.
      {{{"_config.yml", "permalink: p/:hash/\n"},
        {"source/_posts/2019/hello.md", "---\ndate: 2019-03-05T08:04:09+01:00\n---\n"}},
       "source/_posts/2019/hello.md",
       "/p/8541a4d95611/"},
      {{{"_config.yml", "permalink: p/:hash/\ntimezone: Asia/Shanghai\n"},
        {"source/_posts/plain.md", "---\ndate: 2019-03-05\n---\n"}},
       "source/_posts/plain.md",
       "/p/2bc276d5fe89/"},
      {{{"_config.yml", "permalink: p/:hash/\n"}, {post, dated}},
       post,
       "",
       "no value for :hash (the post's date has no time zone, and the site's settings name none)"},
      {{{"source/_drafts/d.md", dated}}, "source/_drafts/d.md", "", "a draft"},
  });
}

TEST(ImportSourceTest, HugoAddressesFollowEachSectionsPermalinks) {
  const std::string post = "content/posts/First Post.md";
  const std::string dated = "---\ntitle: Hello There\ndate: 2021-06-07T10:00:00+02:00\n---\n";
  ExpectAddresses({
      {{{"hugo.toml", ""}, {post, dated}}, post, "/posts/first-post/"},
      {{{"hugo.toml", ""}, {"content/posts/2021/deep.md", dated}},
       "content/posts/2021/deep.md",
       "/posts/2021/deep/"},
      {{{"hugo.toml", "[permalinks]\nPosts = \"/:year/:month/:title/\"\n"}, {post, dated}},
       post,
       "/2021/06/hello-there/"},
      {{{"hugo.yaml",
         "uglyURLs: true\ndisablePathToLower: true\n"
         "permalinks:\n  page:\n    posts: /:section/:slugorfilename/\n"},
        {post, dated}},
       post,
       "/posts/First-Post.html"},
      // config/_default/permalinks.* wins over the main settings file.
      {{{"config/_default/hugo.toml", "[permalinks]\nposts = \"/a/:slug/\"\n"},
        {"config/_default/permalinks.yaml", "posts: /b/:slug/\n"},
        {"content/posts/x.md", "---\nslug: the-x\n---\n"}},
       "content/posts/x.md",
       "/b/the-x/"},
      {{{"hugo.toml", "[permalinks]\nposts = \"/:year/:filename/\"\n"},
        {post, "---\npublishDate: 2020-01-02\n---\n"}},
       post,
       "/2020/first-post/"},
      // uglyURLs per section; a date from the file name leaves its slug.
      {{{"hugo.toml", "[uglyURLs]\nposts = true\nother = false\n"}, {post, dated}},
       post,
       "/posts/first-post.html"},
      {{{"hugo.toml",
         "[frontmatter]\ndate = [':filename']\n[permalinks]\nposts = '/:year/:slug/'\n"},
        {"content/posts/2019-02-03-named.md", "---\ntitle: T\n---\n"}},
       "content/posts/2019-02-03-named.md",
       "/2019/named/"},
      {{{"hugo.toml", ""}, {"content/post/b/index.md", "---\nslug: bundled\n---\n"}},
       "content/post/b/index.md",
       "/post/bundled/"},
      {{{"hugo.toml", ""}, {post, "---\nurl: /somewhere/else/\n---\n"}}, post, "/somewhere/else/"},
      {{{"hugo.toml", ""}, {post, "---\ndraft: true\n---\n"}}, post, "", "a draft"},
      {{{"hugo.toml", "[permalinks\n"}, {post, dated}},
       post,
       "",
       "the site's configuration cannot be read"},
  });
}

TEST(ImportSourceTest, ABrokenSettingsFileIsReportedWithItsFileAndLine) {
  struct Case {
    Files files;
    std::string file;
    int line;
  } cases[] = {
      {{{"_config.yml", "title: x\npermalink: [a\nfoo: bar\n"}, {"_posts/a.md", ""}},
       "_config.yml",
       3},
      {{{"hugo.toml", "baseURL = \"x\"\n[params\nfoo = 1\n"}}, "hugo.toml", 2},
      {{{"hugo.toml", ""}, {"config/_default/permalinks.json", "{\n\"posts\": \n"}},
       "config/_default/permalinks.json",
       3},
  };
  for (const Case& c : cases) {
    MadeSite site(c.files);
    ASSERT_EQ(site.lines().size(), 1u) << c.file;
    const std::string& line = site.lines()[0];
    std::string where = (site.path() / c.file).string() + ":" + std::to_string(c.line) + ": ";
    EXPECT_EQ(line.rfind(where, 0), 0u) << line;
    EXPECT_TRUE(line.ends_with("; old addresses cannot be told")) << line;
  }
}

TEST(ImportSourceTest, TheSettingsSayWhatOldAddressesFollow) {
  struct Case {
    Files files;
    std::vector<std::string> lines;
  } cases[] = {
      {{{"_posts/a.md", ""}}, {"no permalink setting: old addresses follow the default date"}},
      {{{"_config.yml", "permalink: pretty\n"}, {"_posts/a.md", ""}},
       {"old addresses follow the permalink setting pretty"}},
      {{{"source/_posts/a.md", ""}},
       {"no permalink setting: old addresses follow the default :year/:month/:day/:title/"}},
      {{{"hugo.toml", ""}},
       {"no permalinks setting: old addresses follow Hugo's default /SECTION/NAME/"}},
      {{{"hugo.toml", "[permalinks]\nPost = \"/p/:slug/\"\nposts = \"/:title/\"\n"}},
       {"old addresses in post follow /p/:slug/", "old addresses in posts follow /:title/"}},
  };
  for (const Case& c : cases) EXPECT_EQ(MadeSite(c.files).lines(), c.lines) << c.files[0].first;
}

}  // namespace
}  // namespace tarn
