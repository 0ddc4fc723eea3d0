// tarn build with photos in static/ and a theme that asks for responsive
// images ("images": {"responsive": true}): the copies it publishes, read
// back with exiftool and libvips; the <picture> markup; the cache; files
// that must pass through untouched; and the site as it was without the key.
// The real binary, the real converter page and real photos every time.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "data/text_file.h"
#include "deploy/command_runner.h"
#include "support/expect_text.h"
#include "support/test_photo.h"
#include "support/workspace_test.h"

namespace tarn {
namespace {

namespace fs = std::filesystem;

constexpr char kProcessed[] = " images processed";

int Occurrences(const std::string& text, const std::string& part) {
  int n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

class BuildImagesTest : public WorkspaceTest {
 protected:
  void SetUp() override {
    WorkspaceTest::SetUp();
    if (!UseShippedTemplate()) GTEST_SKIP() << "the build has no template/vendor";
  }
  // The plain theme with or without the key.
  void Responsive(bool on, const std::string& more = "") {
    Put("themes/plain/_conf.json",
        std::string("{\"name\": \"plain\"") +
            (on ? ", \"images\": {\"responsive\": true" + more + "}" : "") + "}");
  }
  void Post(const std::string& name, const std::string& body) {
    Put("_posts/" + name + ".md",
        "---\ntitle: " + name + "\ndate: 2026-01-02 10:00:00\n---\n\n" + body + "\n");
  }
  TarnOutcome Build() {
    TarnOutcome built = RunTarn(ws_, "build");
    EXPECT_EQ(built.status, 0) << built.err;
    return built;
  }
  std::string Path(const std::string& relative) { return ws_ + "/" + relative; }
  // Every file under public/ (but the deploy repository) with its bytes.
  std::map<std::string, std::string> Tree(const std::string& folder = "public") {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(Path(folder))) {
      if (!entry.is_regular_file()) continue;
      std::string bytes;
      EXPECT_TRUE(ReadTextFile(entry.path().string(), &bytes));
      files[entry.path().lexically_relative(Path(folder)).generic_string()] = bytes;
    }
    return files;
  }
};

TEST_F(BuildImagesTest, PhotosArePublishedInWidthsAndFormatsWithoutWhereTheyWereTaken) {
  Responsive(true);
  TestPhoto::MakeCameraJpeg(Path("static/images/lake.jpg"), 4000, 3000);
  TestPhoto::Make(Path("static/images/small.png"), 300, 200);
  Post("Photos", "![The lake at dawn](../images/lake.jpg)\n\n![](../images/small.png)");
  TarnOutcome built = Build();
  EXPECT_CONTAINS(built.err, "static/: 2 images processed");
  EXPECT_CONTAINS(built.err, "_posts/Photos.md: the image ../images/small.png has no alt text");

  // Orientation 6: a 4000x3000 photo is shown 3000 wide, 4000 high.
  const struct {
    const char* file;
    const char* size;
    bool profile;
  } published[] = {
      {"images/lake.jpg", "1600x2133", true},       {"images/lake.480.avif", "480x640", true},
      {"images/lake.480.webp", "480x640", true},    {"images/lake.960.avif", "960x1280", true},
      {"images/lake.960.webp", "960x1280", true},   {"images/lake.1600.avif", "1600x2133", true},
      {"images/lake.1600.webp", "1600x2133", true}, {"images/small.png", "300x200", false},
      {"images/small.300.avif", "300x200", false},  {"images/small.300.webp", "300x200", false},
  };
  for (const auto& file : published) {
    const std::string path = Path("public/") + file.file;
    EXPECT_EQ(TestPhoto::Size(path), file.size) << file.file;
    std::map<std::string, std::string> tags = TestPhoto::Metadata(path);
    for (const char* tag : {"GPSLatitude", "GPSLongitude", "GPSPosition", "SerialNumber"})
      EXPECT_EQ(tags.count(tag), 0u) << file.file << " keeps " << tag;
    if (file.profile) {
      EXPECT_EQ(tags["ProfileDescription"], "sRGB") << file.file;
    }
    if (tags.count("Orientation")) {
      EXPECT_EQ(tags["Orientation"], "Horizontal (normal)") << file.file;
    }
  }
  EXPECT_FALSE(Exists("public/images/lake.3000.webp"));
  EXPECT_FALSE(Exists("public/images/small.480.webp"));

  const std::string page = Read("public/articles/Photos.html");
  EXPECT_CONTAINS(page,
                  "<picture><source type=\"image/avif\" srcset=\"../images/lake.480.avif 480w, "
                  "../images/lake.960.avif 960w, ../images/lake.1600.avif 1600w\" "
                  "sizes=\"(max-width: 736px) 100vw, 736px\"><source type=\"image/webp\" "
                  "srcset=\"../images/lake.480.webp 480w, ../images/lake.960.webp 960w, "
                  "../images/lake.1600.webp 1600w\" sizes=\"(max-width: 736px) 100vw, 736px\">"
                  "<img src=\"../images/lake.jpg\" alt=\"The lake at dawn\" width=\"1600\" "
                  "height=\"2133\" fetchpriority=\"high\" decoding=\"async\"></picture>");
  EXPECT_CONTAINS(page,
                  "<img src=\"../images/small.png\" alt=\"\" width=\"300\" height=\"200\" "
                  "loading=\"lazy\" decoding=\"async\"></picture>");

  // Nothing changed: nothing is decoded, and the site is the same.
  const std::map<std::string, std::string> first = Tree();
  built = Build();
  EXPECT_LACKS(built.err, kProcessed);
  EXPECT_EQ(Tree().count("images/lake.960.avif"), 1u);
  EXPECT_EQ(Tree()["images/lake.960.avif"], first.at("images/lake.960.avif"));

  // An image removed takes its copies along; one changed is made again.
  fs::remove(Path("static/images/small.png"));
  TestPhoto::Make(Path("static/images/lake.jpg"), 1200, 800);
  built = Build();
  EXPECT_CONTAINS(built.err, "static/: 1 images processed");
  for (const char* gone : {"images/small.png", "images/small.300.avif", "images/small.300.webp",
                           "images/lake.1600.avif", "images/lake.1600.webp"})
    EXPECT_FALSE(Exists(std::string("public/") + gone)) << gone;
  EXPECT_EQ(TestPhoto::Size(Path("public/images/lake.1200.webp")), "1200x800");
  EXPECT_EQ(TestPhoto::Size(Path("public/images/lake.jpg")), "1200x800");
}

TEST_F(BuildImagesTest, FilesThatAreNoPhotoToVaryPassThroughUntouched) {
  Responsive(true);
  const std::string outside = tmp_ + "/outside.jpg";
  TestPhoto::MakeCameraJpeg(outside, 600, 400);
  TestPhoto::Make(Path("static/images/good.jpg"), 600, 400);
  std::string good;
  ASSERT_TRUE(ReadTextFile(Path("static/images/good.jpg"), &good));
  Put("static/images/cut.jpg", good.substr(0, good.size() / 2));
  Put("static/images/unnamed.jpg", good.substr(0, good.size() / 2));
  TestPhoto::MakePngHeader(Path("static/images/bomb.png"), 30000, 30000);
  TestPhoto::Make(Path("static/images/png.png"), 50, 50);
  fs::rename(Path("static/images/png.png"), Path("static/images/png.jpg"));
  for (const char* animated : {"anim.gif", "anim.webp"}) {
    CommandResult made =
        CommandRunner::RunProgram({"convert", "-delay", "10", "-size", "20x20", "xc:red", "xc:blue",
                                   "-loop", "0", Path(std::string("static/images/") + animated)},
                                  {});
    ASSERT_EQ(made.exit_status, 0) << made.output;
  }
  Put("static/images/logo.svg", "<svg xmlns=\"http://www.w3.org/2000/svg\"/>");
  fs::create_symlink(outside, Path("static/images/away.jpg"));

  const struct {
    const char* file;
    const char* message;  // "" for none
  } cases[] = {
      {"cut.jpg", "cannot be decoded"},
      {"bomb.png",
       "has 30000x30000 pixels, more than the 100 megapixels the build decodes; published as it "
       "is"},
      {"png.jpg", "holds another format than its name says"},
      {"anim.gif", ""},
      {"anim.webp", ""},
      {"logo.svg", ""},
  };
  std::string body;
  for (const auto& c : cases) body += std::string("![x](../images/") + c.file + ")\n\n";
  Post("Odd", body + "![x](../images/away.jpg)");
  TarnOutcome built = RunTarn(ws_, "build");
  EXPECT_CONTAINS(built.err, "static/images/away.jpg: a symbolic link that leads outside");
  const std::string page = Read("public/articles/Odd.html");
  for (const auto& c : cases) {
    const std::string file = std::string("images/") + c.file;
    std::string source;
    ASSERT_TRUE(ReadTextFile(Path("static/" + file), &source));
    EXPECT_EQ(Read("public/" + file), source) << file << " is not the file as written";
    // Reported once, naming the post that shows it and the file.
    if (*c.message) {
      EXPECT_CONTAINS(built.err, "_posts/Odd.md: " + ws_ + "/static/" + file + ": " + c.message);
      EXPECT_EQ(Occurrences(built.err, file + ": "), 1) << file;
    }
    EXPECT_CONTAINS(page, "<img src=\"../" + file + "\" alt=\"x\">");
  }
  // One no post shows is reported alone.
  EXPECT_CONTAINS(built.err, "\n" + ws_ + "/static/images/unnamed.jpg: cannot be decoded");
  EXPECT_LACKS(built.err, "anim.");
  EXPECT_LACKS(built.err, "logo.svg");
  EXPECT_FALSE(Exists("public/images/away.jpg"));
  EXPECT_FALSE(Exists("public/images/away.600.webp"));
  // Only the good photo has copies.
  std::vector<std::string> copies;
  for (const auto& [path, bytes] : Tree())
    if (path.find(".webp") != std::string::npos && path != "images/anim.webp")
      copies.push_back(path);
  EXPECT_EQ(copies, (std::vector<std::string>{"images/good.480.webp", "images/good.600.webp"}));
}

TEST_F(BuildImagesTest, WithoutTheKeyTheSiteIsAsWithoutTheStep) {
  TestPhoto::Make(Path("static/images/lake.jpg"), 1000, 800);
  Post("Photos", "![The lake](../images/lake.jpg)");
  Responsive(false);
  TarnOutcome built = Build();
  EXPECT_LACKS(built.err, kProcessed);
  std::map<std::string, std::string> plain = Tree();
  std::string photo;
  ASSERT_TRUE(ReadTextFile(Path("static/images/lake.jpg"), &photo));
  EXPECT_EQ(plain["images/lake.jpg"], photo);  // no metadata: byte for byte
  EXPECT_CONTAINS(plain["articles/Photos.html"],
                  "<img src=\"../images/lake.jpg\" alt=\"The lake\">");
  EXPECT_FALSE(Exists("public/images/lake.480.webp"));

  // On, then off again: the copies go and the site is as it was, the feed
  // (which says when it was built) aside.
  Responsive(true);
  Build();
  ASSERT_TRUE(Exists("public/images/lake.480.webp"));
  Responsive(false);
  Build();
  std::map<std::string, std::string> again = Tree();
  for (auto* tree : {&plain, &again}) {
    tree->erase("atom.xml");
    std::string& index = (*tree)["database.json"];
    const std::size_t at = index.find("\"create_time\"");
    if (at != std::string::npos) index.erase(at, index.find("\",", at + 15) - at);
  }
  for (const auto& [path, bytes] : plain) EXPECT_TRUE(again[path] == bytes) << path;
  EXPECT_EQ(again.size(), plain.size());
}

TEST_F(BuildImagesTest, WithoutTheKeyPhotosGoOutWithoutTheirMetadataAndPixelsUntouched) {
  Responsive(false);
  TestPhoto::MakeCameraJpeg(Path("static/images/lake.jpg"), 600, 400);
  for (const char* name : {"shot.png", "shot.webp", "plain.jpg"})
    TestPhoto::Make(Path("static/images/") + name, 300, 200);
  TestPhoto::AddCameraTags(Path("static/images/shot.png"), false);
  TestPhoto::AddCameraTags(Path("static/images/shot.webp"), true);
  Put("static/images/broken.jpg", "no photo at all");
  Post("Photos", "![The lake](../images/lake.jpg)");
  TarnOutcome built = Build();
  EXPECT_CONTAINS(built.err, "static/: 5 images read for metadata to remove");
  EXPECT_CONTAINS(built.err, "static/images/broken.jpg: ");
  EXPECT_CONTAINS(built.err, "; published as it is, with its metadata");
  EXPECT_CONTAINS(Read("public/articles/Photos.html"),
                  "<img src=\"../images/lake.jpg\" alt=\"The lake\">");

  const struct {
    const char* file;
    bool stripped;            // else byte for byte the source
    const char* orientation;  // as exiftool reads it; "" for none
    const char* profile;
  } published[] = {
      {"lake.jpg", true, "Rotate 90 CW", "sRGB"},
      {"shot.png", true, "", ""},
      {"shot.webp", true, "Rotate 90 CW", ""},
      {"plain.jpg", false, "", ""},
      {"broken.jpg", false, "", ""},
  };
  for (const auto& file : published) {
    const std::string source = Path("static/images/") + file.file;
    const std::string copy = Path("public/images/") + file.file;
    EXPECT_EQ(Read(std::string("public/images/") + file.file) ==
                  Read(std::string("static/images/") + file.file),
              !file.stripped)
        << file.file;
    if (!file.stripped) continue;
    EXPECT_TRUE(TestPhoto::SamePixels(source, copy)) << file.file;
    std::map<std::string, std::string> tags = TestPhoto::Metadata(copy);
    for (const char* tag : {"GPSLatitude", "GPSPosition", "SerialNumber", "Title"})
      EXPECT_EQ(tags.count(tag), 0u) << file.file << " keeps " << tag;
    EXPECT_EQ(tags["Orientation"], file.orientation) << file.file;
    EXPECT_EQ(tags["ProfileDescription"], file.profile) << file.file;
  }

  // Nothing changed: nothing is read again, and the copies stay.
  const std::map<std::string, std::string> first = Tree("public/images");
  built = Build();
  EXPECT_LACKS(built.err, "images read");
  EXPECT_CONTAINS(built.err, "static/images/broken.jpg: ");
  EXPECT_TRUE(Tree("public/images") == first);
}

TEST_F(BuildImagesTest, WithoutTheKeyKeepMetadataKeepsTheCamerasTags) {
  const struct {
    const char* theme;
    const char* front;
    bool kept;  // the post's photo
  } cases[] = {
      {"{\"name\": \"plain\", \"images\": {\"keepMetadata\": true}}", "", true},
      {"{\"name\": \"plain\"}", "keepImageMetadata: true\n", true},
      {"{\"name\": \"plain\"}", "", false},
  };
  for (const auto& c : cases) {
    Put("themes/plain/_conf.json", c.theme);
    TestPhoto::MakeCameraJpeg(Path("static/images/lake.jpg"), 600, 400);
    Put("_posts/Kept.md",
        std::string("---\ntitle: Kept\n") + c.front + "---\n\n![The lake](../images/lake.jpg)\n");
    Build();
    std::map<std::string, std::string> tags = TestPhoto::Metadata(Path("public/images/lake.jpg"));
    EXPECT_EQ(tags["SerialNumber"], c.kept ? "CAM-0042-SERIAL" : "") << c.theme << c.front;
    EXPECT_EQ(tags.count("GPSLatitude"), c.kept ? 1u : 0u) << c.theme << c.front;
  }
}

TEST_F(BuildImagesTest, ExcerptsAndFullFeedsGetTheMarkupWithTheirAddresses) {
  Put("themes/plain/_conf.json",
      "{\"name\": \"plain\", \"images\": {\"responsive\": true}, \"feed\": {\"content\": "
      "\"full\"}, \"feeds\": [\"rss\", \"json\"]}");
  TestPhoto::Make(Path("static/images/lake.jpg"), 1000, 800);
  Post("Photos", "![The lake](../images/lake.jpg)\n\n<!-- more -->\n\nMore.");
  Build();
  // The excerpt as list pages show it (database.json holds it escaped).
  EXPECT_CONTAINS(Read("public/database.json"),
                  "srcset=\\\"..\\/images\\/lake.480.avif 480w, ..\\/images\\/lake.960.avif 960w, "
                  "..\\/images\\/lake.1000.avif 1000w\\\"");
  // Feeds: every address absolute from system.url (JSON escapes "/").
  EXPECT_CONTAINS(Read("public/atom.xml"),
                  "srcset=\"https://blog.example.org/images/lake.480.webp 480w, "
                  "https://blog.example.org/images/lake.960.webp 960w");
  EXPECT_CONTAINS(Read("public/feed.json"),
                  "srcset=\\\"https:\\/\\/blog.example.org\\/images\\/lake.480.webp 480w");
}

TEST_F(BuildImagesTest, KeepMetadataKeepsTheCamerasTags) {
  // The theme for every photo, or a post for the photos it shows. The two
  // photos have the same bytes: where their settings agree they share one
  // cache entry, made once.
  const struct {
    const char* theme;
    const char* front;
    bool kept;   // the post's photo
    bool other;  // a photo another post shows
  } cases[] = {
      {", \"keepMetadata\": true", "", true, true},
      {"", "keepImageMetadata: true\n", true, false},
      {"", "keepImageMetadata: false\n", false, false},
  };
  for (const auto& c : cases) {
    Responsive(true, c.theme);
    TestPhoto::MakeCameraJpeg(Path("static/images/lake.jpg"), 1000, 800);
    TestPhoto::MakeCameraJpeg(Path("static/images/other.jpg"), 1000, 800);
    Put("_posts/Kept.md", std::string("---\ntitle: Kept\n") + c.front +
                              "---\n\n<img src=\"../images/lake.jpg\" alt=\"The lake\">\n");
    Post("Other", "![Other](../images/other.jpg)");
    Build();
    for (const char* file : {"lake.jpg", "lake.480.webp", "other.jpg", "other.480.webp"}) {
      const bool kept = file[0] == 'l' ? c.kept : c.other;
      std::map<std::string, std::string> tags = TestPhoto::Metadata(Path("public/images/") + file);
      EXPECT_EQ(tags["SerialNumber"], kept ? "CAM-0042-SERIAL" : "") << c.theme << c.front << file;
      EXPECT_EQ(tags.count("GPSLatitude"), kept ? 1u : 0u) << c.theme << c.front << file;
    }
    // Turned upright all the same.
    EXPECT_EQ(TestPhoto::Size(Path("public/images/lake.jpg")), "800x1000");
  }
}

}  // namespace
}  // namespace tarn
