#include "render/responsive_images.h"

#include <glib.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <functional>
#include <sstream>
#include <thread>
#include <vector>

#include "content/post_index.h"
#include "data/regex_object.h"
#include "data/text_file.h"
#include "image/image_cache.h"
#include "image/module_image_processor.h"
#include "render/site_render.h"

namespace tarn {
namespace {

namespace fs = std::filesystem;
using Outcome = ImageResult::Outcome;

constexpr char kCacheFolder[] = "images";
constexpr char kPublishedFile[] = "images/published";
// The front matter key of a post whose photos keep their metadata.
constexpr char kKeepKey[] = "keepImageMetadata";
constexpr char kDefaultSizes[] = "(max-width: 736px) 100vw, 736px";

// One image of static/ and what became of it.
struct Job {
  std::string source;     // its path
  std::string relative;   // under static/, as under public/
  std::string extension;  // lower case
  std::string entry;      // its cache entry's folder
  ImageSettings settings;
  ImageResult result;
  bool decoded = false;  // processed by this build, not taken from the cache
};

std::string LowerExtension(const fs::path& path) {
  std::string extension = path.extension().string();
  if (!extension.empty()) extension.erase(0, 1);
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return extension;
}

bool Inside(const fs::path& path, const fs::path& folder) {
  auto [end, rest] = std::mismatch(folder.begin(), folder.end(), path.begin(), path.end());
  return end == folder.end();
}

// The raster images of static/: plain files, or links to files inside the
// workspace (the static copy reports the others); never in a .git folder.
std::vector<Job> FindImages(const Workspace& workspace) {
  std::vector<Job> jobs;
  std::error_code ec;
  const fs::path base = workspace.static_dir();
  const fs::path inside = fs::canonical(workspace.root(), ec);
  if (ec || !fs::is_directory(base, ec)) return jobs;
  for (fs::recursive_directory_iterator it(base, ec), end; !ec && it != end; it.increment(ec)) {
    const fs::path& path = it->path();
    if (path.filename() == ".git") {
      it.disable_recursion_pending();
      continue;
    }
    const std::string extension = LowerExtension(path);
    if (extension != "jpg" && extension != "jpeg" && extension != "png" && extension != "webp")
      continue;
    std::error_code type_ec;
    if (it->is_symlink(type_ec)) {
      fs::path target = fs::canonical(path, type_ec);
      if (type_ec || !Inside(target, inside)) continue;
    }
    if (!fs::is_regular_file(path, type_ec)) continue;
    std::string relative = path.lexically_relative(base).generic_string();
    if (relative.find('\n') != std::string::npos) continue;
    jobs.push_back({path.string(), relative, extension, "", {}, {}, false});
  }
  std::sort(jobs.begin(), jobs.end(),
            [](const Job& a, const Job& b) { return a.relative < b.relative; });
  return jobs;
}

// Runs each(i) for i in [0, count) on as many threads as there are
// processors.
void InParallel(std::size_t count, const std::function<void(std::size_t)>& each) {
  std::atomic<std::size_t> next{0};
  auto work = [&] {
    for (std::size_t i; (i = next++) < count;) each(i);
  };
  const unsigned threads =
      std::min<unsigned>(std::max(1u, std::thread::hardware_concurrency()),
                         static_cast<unsigned>(std::max<std::size_t>(1, count)));
  std::vector<std::thread> pool;
  for (unsigned t = 1; t < threads; ++t) pool.emplace_back(work);
  work();
  for (std::thread& thread : pool) thread.join();
}

// Takes job's result from the cache or processes its image into it.
void RunOne(Job* job, const std::string& key, ImageCache* cache, ImageProcessor* processor) {
  std::string error;
  if (cache->Lookup(key, &job->result)) return;
  std::string folder;
  if (!cache->Begin(key, &folder, &error)) {
    job->result.reason = error;
    return;
  }
  job->decoded = true;
  job->result = job->settings.strip_only
                    ? processor->StripMetadata(job->source, folder + "/original." + job->extension)
                    : processor->Process(job->source, job->extension, job->settings, folder);
  // Not the image's fault: tried again by the next build.
  if (job->result.outcome == Outcome::kUnavailable) return;
  if (!cache->Commit(key, job->result, &error))
    job->result = {Outcome::kUndecodable, 0, 0, {}, "", error};
}

// Every job run: keyed, then each key's image processed once (files with
// the same bytes and settings share an entry), on all processors.
void RunAll(std::vector<Job>* jobs, ImageCache* cache, ImageProcessor* processor) {
  std::vector<std::string> keys(jobs->size());
  InParallel(jobs->size(), [&](std::size_t i) {
    Job& job = (*jobs)[i];
    std::string error;
    if (cache->KeyOf(job.source, job.settings, &keys[i], &error))
      job.entry = cache->EntryFolder(keys[i]);
    else
      job.result.reason = "cannot be read";
  });
  std::map<std::string, std::size_t> first;  // each key's first job
  std::vector<std::size_t> leaders;
  for (std::size_t i = 0; i < jobs->size(); ++i)
    if (!keys[i].empty() && first.emplace(keys[i], i).second) leaders.push_back(i);
  InParallel(leaders.size(), [&](std::size_t n) {
    RunOne(&(*jobs)[leaders[n]], keys[leaders[n]], cache, processor);
  });
  for (std::size_t i = 0; i < jobs->size(); ++i) {
    if (keys[i].empty() || first[keys[i]] == i) continue;
    (*jobs)[i].result = (*jobs)[first[keys[i]]].result;
  }
}

// public/ paths, one a line, from the state file at path.
std::set<std::string> ReadPaths(const std::string& path) {
  std::set<std::string> paths;
  std::string text;
  if (!ReadTextFile(path, &text)) return paths;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);)
    if (!line.empty()) paths.insert(line);
  return paths;
}

// Removes what an earlier build published that this one did not, and
// notes what this one did.
void KeepBooks(SiteRender& site, const std::set<std::string>& published) {
  const std::string file = site.config().workspace().StatePath(kPublishedFile);
  const std::set<std::string> earlier = ReadPaths(file);
  for (const std::string& relative : earlier)
    if (!published.count(relative)) site.out().RemoveLeftover(relative);
  if (published == earlier) return;
  std::error_code ec;
  if (published.empty()) {
    fs::remove(file, ec);
    return;
  }
  std::string text;
  for (const std::string& relative : published) text += relative + "\n";
  fs::create_directories(fs::path(file).parent_path(), ec);
  std::string error;
  if (!WriteTextFile(file, text, &error)) site.Report(error);
}

// "a/b.jpg" -> "a/b"
std::string Stem(const std::string& relative) {
  std::size_t dot = relative.rfind('.');
  return dot == std::string::npos ? relative : relative.substr(0, dot);
}

// path with "." and ".." steps resolved; "" when it climbs above the root.
std::string Normalised(const std::string& path) {
  std::vector<std::string> steps;
  std::istringstream parts(path);
  for (std::string step; std::getline(parts, step, '/');) {
    if (step.empty() || step == ".") continue;
    if (step == "..") {
      if (steps.empty()) return "";
      steps.pop_back();
    } else {
      steps.push_back(step);
    }
  }
  std::string joined;
  for (const std::string& step : steps) joined += (joined.empty() ? "" : "/") + step;
  return joined;
}

// The public/ paths of the images that posts keeping their photos'
// metadata (front matter keepImageMetadata: true) show, read from their
// Markdown: ![...](SRC) and <img src="SRC">, SRC as the article sees it.
std::set<std::string> KeptByPosts(const std::vector<PostFile>& posts) {
  std::set<std::string> kept;
  for (const PostFile& post : posts) {
    if (post.front.GetType(kKeepKey) != JsonDocument::kBool || !post.front.GetBool(kKeepKey))
      continue;
    RegexObject images;
    images.Execute(R"(!\[[^\]]*\]\(\s*<?([^)\s>]+)|<img\s[^>]*src=["']([^"']+))", post.content);
    for (int i = 1; i <= images.GetMatchCount(); ++i) {
      std::string src = images.GetSubMatch(i, 1);
      if (src.empty()) src = images.GetSubMatch(i, 2);
      const std::string path = ResponsiveImages::PublicPath(src, "");
      if (!path.empty()) kept.insert(path);
    }
  }
  return kept;
}

}  // namespace

bool ResponsiveImages::Write(SiteRender& site) {
  ResponsiveImages& self = site.images();
  const ThemeFeatures& features = site.features();
  const Workspace& workspace = site.config().workspace();
  const bool responsive = features.responsive_images;
  if (responsive) {
    self.sizes_ = site.config().theme().GetText("images.sizes");
    if (self.sizes_.empty()) self.sizes_ = kDefaultSizes;
  }
  std::vector<Job> jobs;
  // Without the key an image is published as it is but for its metadata,
  // which a theme or a post may keep.
  if (responsive || !features.keep_image_metadata) jobs = FindImages(workspace);
  const std::set<std::string> kept = KeptByPosts(site.posts());
  if (!responsive)
    std::erase_if(jobs, [&kept](const Job& job) { return kept.count(job.relative) > 0; });
  if (jobs.empty()) {
    KeepBooks(site, {});
    return true;
  }
  // libvips and exiv2 are loaded only when an image is not in the cache.
  ModuleImageProcessor processor;
  ImageSettings settings;
  settings.keep_metadata = features.keep_image_metadata;
  settings.strip_only = !responsive;
  ImageCache cache(workspace.StatePath(kCacheFolder));
  cache.Load();
  for (Job& job : jobs) {
    job.settings = settings;
    job.settings.keep_metadata = settings.keep_metadata || kept.count(job.relative) > 0;
  }
  RunAll(&jobs, &cache, &processor);
  int decoded = 0;
  for (const Job& job : jobs) decoded += job.decoded ? 1 : 0;
  std::string error;
  if (decoded > 0 && !processor.ready(&error))
    site.Report(error + "; images are published as they are");
  else if (responsive && decoded > 0 && !processor.CanWriteAvif())
    site.Report(
        "libvips cannot write AVIF here (libheif has no AV1 encoder); images get WebP "
        "copies only");
  for (const Job& job : jobs) {
    if (responsive)
      self.Publish(site, job.relative, job.entry, job.result);
    else
      self.PublishStripped(site, job.relative, job.entry, job.result);
  }
  if (!cache.Finish(&error)) site.Report(error);
  KeepBooks(site, self.published_);
  if (responsive && decoded > 0)
    site.Report(std::string(Workspace::kStaticDir) + "/: " + std::to_string(decoded) +
                " images processed, " + std::to_string(jobs.size() - decoded) +
                " taken unchanged from .tarn/images");
  else if (decoded > 0)
    site.Report(std::string(Workspace::kStaticDir) + "/: " + std::to_string(decoded) +
                " images read for metadata to remove, " + std::to_string(jobs.size() - decoded) +
                " taken unchanged from .tarn/images");
  return true;
}

void ResponsiveImages::Publish(SiteRender& site, const std::string& relative,
                               const std::string& entry, const ImageResult& result) {
  const std::string shown = site.config().workspace().StaticPath(relative);
  if (result.outcome == Outcome::kUndecodable || result.outcome == Outcome::kRefused) {
    unprocessed_[relative].reason =
        shown + ": " + result.reason +
        "; published as it is, without smaller copies or metadata removed";
    return;
  }
  if (result.outcome != Outcome::kProcessed) return;
  PictureMarkup::Image image;
  for (const ImageVariant& variant : result.variants) {
    const bool original = variant.file == result.original;
    const std::string target =
        original ? relative
                 : Stem(relative) + "." + std::to_string(variant.width) + "." + variant.format;
    if (!PutCopy(site, entry + "/" + variant.file, target, shown)) continue;
    if (original) {
      image.width = variant.width;
      image.height = variant.height;
    } else {
      image.variants.push_back(variant);
    }
  }
  if (published_.count(relative)) images_.emplace(relative, std::move(image));
}

void ResponsiveImages::PublishStripped(SiteRender& site, const std::string& relative,
                                       const std::string& entry, const ImageResult& result) {
  const std::string shown = site.config().workspace().StaticPath(relative);
  if (result.outcome == Outcome::kUndecodable) {
    site.Report(shown + ": " + result.reason + "; published as it is, with its metadata");
    return;
  }
  // Nothing to remove (or no processor): the static copy publishes it.
  if (result.outcome != Outcome::kProcessed || result.variants.empty()) return;
  PutCopy(site, entry + "/" + result.original, relative, shown);
}

bool ResponsiveImages::PutCopy(SiteRender& site, const std::string& file, const std::string& target,
                               const std::string& shown) {
  std::string error;
  if (site.out().HoldsCopyOf(file, target)) {
    published_.insert(target);
    return true;
  }
  site.out().ClearWayFor(target);
  if (!site.out().PutCopy(file, target, &error)) {
    site.Fail(error + " (" + shown + ")");
    return false;
  }
  published_.insert(target);
  return true;
}

std::string ResponsiveImages::PublicPath(std::string_view src, std::string_view site_url) {
  std::string path;
  if (!site_url.empty() && src.size() > site_url.size() &&
      src.substr(0, site_url.size()) == site_url && src[site_url.size()] == '/') {
    path = src.substr(site_url.size() + 1);
  } else if (src.substr(0, 2) == "//" || src.find(':') < src.find('/')) {
    return "";
  } else if (!src.empty() && src[0] == '/') {
    path = src.substr(1);
  } else {
    path = std::string(PostFile::kArticleFolder) + "/" + std::string(src);
  }
  if (path.find_first_of("?#") != std::string::npos) return "";
  // The HTML's "&amp;" is the file name's "&".
  for (std::size_t at = path.find("&amp;"); at != std::string::npos;
       at = path.find("&amp;", at + 1))
    path.erase(at + 1, 4);
  gchar* decoded = g_uri_unescape_string(path.c_str(), nullptr);
  if (!decoded) return "";
  path = Normalised(decoded);
  g_free(decoded);
  return path;
}

void ResponsiveImages::ReportUnnamed(SiteRender& site) const {
  for (const auto& [path, unprocessed] : unprocessed_)
    if (!unprocessed.named) site.Report(unprocessed.reason);
}

std::string ResponsiveImages::Markup(SiteRender& site, const PostFile& post, std::string_view html,
                                     Place place) const {
  if (!Marks()) return std::string(html);
  std::string site_url = place == Place::kFeed ? site.config().Setting("system.url") : "";
  while (!site_url.empty() && site_url.back() == '/') site_url.pop_back();
  const bool article = place == Place::kArticle;
  PictureMarkup::Finder find = [&](std::string_view src) -> const PictureMarkup::Image* {
    const std::string path = PublicPath(src, site_url);
    auto image = images_.find(path);
    if (image != images_.end()) return &image->second;
    auto unprocessed = unprocessed_.find(path);
    if (article && unprocessed != unprocessed_.end()) {
      site.Report(post.path + ": " + unprocessed->second.reason);
      unprocessed->second.named = true;
    }
    return nullptr;
  };
  std::vector<std::string> missing_alt;
  std::string marked =
      PictureMarkup::Rewrite(html, find, {sizes_, article}, article ? &missing_alt : nullptr);
  for (const std::string& src : missing_alt)
    site.Report(post.path + ": the image " + src +
                " has no alt text; write what it shows in ![...] for readers who cannot see it");
  return marked;
}

}  // namespace tarn
