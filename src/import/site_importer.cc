#include "import/site_importer.h"

#include <algorithm>
#include <cstdio>
#include <system_error>

#include "content/front_matter.h"
#include "content/front_matter_editor.h"
#include "content/post_index.h"
#include "data/text_file.h"
#include "import/front_matter_line.h"
#include "import/import_text.h"
#include "import/imported_settings.h"
#include "import/page_address.h"
#include "import/post_links.h"
#include "import/site_files.h"
#include "import/source_date.h"
#include "workspace/bundled_skeleton.h"
#include "workspace/workspace_locator.h"

namespace tarn {

namespace fs = std::filesystem;

namespace {

// Posts larger than this are not read.
constexpr std::uintmax_t kMaxPostBytes = 16u << 20;

// A post's own files go to static/images/NAME/ (or NAME-2/, NAME-3/, ...
// where that holds other files); the article pages, in public/articles/,
// reach them as ../images/NAME/.
constexpr char kOwnFilesFolder[] = "images/";
constexpr int kOwnFolderTries = 100;

// Whether the static copy of root takes the file at relative under it.
bool Takes(const ImportSource::StaticRoot& root, const std::string& relative) {
  if (!root.skips_hidden_pages) return true;
  for (const fs::path& part : fs::path(relative)) {
    char first = part.string().empty() ? '\0' : part.string()[0];
    if (first == '_' || first == '.') return false;
  }
  return true;
}

// The k-th folder a post's own files may go to: "NAME/", then "NAME-2/", ...
std::string OwnFolder(const std::string& name, int k) {
  return name + (k == 1 ? "" : "-" + std::to_string(k)) + "/";
}

// Whether the file at to is missing or holds the same bytes as from.
bool FreeOrSame(const fs::path& from, const fs::path& to, bool* exists) {
  std::error_code ec;
  *exists = fs::exists(fs::symlink_status(to, ec));
  if (!*exists) return true;
  std::string old_bytes, new_bytes;
  return ReadTextFile(to.string(), &old_bytes) && ReadTextFile(from.string(), &new_bytes) &&
         old_bytes == new_bytes;
}

std::string DateText(const Permalink::Date& date) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", date.year, date.month, date.day);
  return buffer;
}

// An old address as links name it: "/a/b/", "/a/b" and "/a/b/index.html"
// are one page.
std::string AddressKey(std::string address) {
  constexpr std::string_view kIndex = "index.html";
  if (address.size() >= kIndex.size() &&
      address.compare(address.size() - kIndex.size(), kIndex.size(), kIndex) == 0) {
    address.resize(address.size() - kIndex.size());
  }
  while (address.size() > 1 && address.back() == '/') address.pop_back();
  return address;
}

// address without its "http://" or "https://".
std::string_view WithoutScheme(std::string_view address) {
  size_t scheme = address.find("://");
  return scheme == std::string_view::npos ? address : address.substr(scheme + 3);
}

// Why the post or page shown, named name, is skipped when no own folder
// is free for its files.
std::string NoOwnFolder(const std::string& shown, const std::string& name) {
  return shown + ": static/" + kOwnFilesFolder + name + "/ and the " +
         std::to_string(kOwnFolderTries - 1) +
         " folders after it all hold other files of the same names";
}

}  // namespace

SiteImporter::SiteImporter(fs::path source, fs::path workspace, ReportSink sink)
    : source_(std::move(source)),
      workspace_root_(std::move(workspace)),
      workspace_(workspace_root_.string()),
      report_(std::move(sink)),
      fresh_blog_(BundledSkeleton::Find(WorkspaceLocator::ExecutableFolder())) {}

int SiteImporter::Run() {
  std::error_code ec;
  if (!fs::is_directory(source_, ec)) {
    report_.Error(source_.string() + ": no such folder");
    return -1;
  }
  if (!fs::is_directory(workspace_root_, ec)) {
    report_.Error(workspace_root_.string() + ": no such workspace folder");
    return -1;
  }
  source_ = fs::canonical(source_, ec);
  workspace_root_ = fs::canonical(workspace_root_, ec);
  workspace_ = Workspace(workspace_root_.string());
  report_.set_site(source_);
  site_ = ImportSource::Detect(source_, &report_);
  if (!site_) {
    report_.Error(source_.string() +
                  ": not a Hexo, Hugo or Jekyll site (no source/_posts, no content/ beside a "
                  "hugo or config file, no _posts)");
    return -1;
  }
  report_.Note("importing the " + std::string(site_->generator()) + " site " + source_.string());
  site_->ChooseSections(chosen_);
  site_->ReadSettings();
  std::vector<Post> posts = site_->Posts();
  static_roots_ = site_->StaticRoots();
  MapOldAddresses(posts);
  int count = 0;
  if (!posts.empty()) fs::create_directories(workspace_.posts_dir(), ec);
  for (const Post& post : posts) count += ImportPost(post);
  std::vector<Post> pages = site_->Pages();
  // A workspace inside the old site holds no page of it.
  pages.erase(std::remove_if(pages.begin(), pages.end(),
                             [this](const Post& page) {
                               return !SiteFiles::Inside(page.file, workspace_root_).empty();
                             }),
              pages.end());
  if (!pages.empty()) fs::create_directories(workspace_.pages_dir(), ec);
  for (const Post& page : pages) {
    page_files_.insert(page.file);
    count += ImportPage(page);
  }
  for (const StaticRoot& root : static_roots_) count += CopyStatic(root);
  for (const fs::path& file : site_->LooseFiles()) {
    if (fs::is_regular_file(fs::symlink_status(file, ec))) {
      count += CopyFile(file, workspace_.StaticPath(file.filename().string()));
    }
  }
  if (posts_ > 0) TakeOverFreshBlog();
  if (posts_ == 0) {
    const std::vector<std::string>& left = report_.left_behind();
    report_.Error(source_.string() + ": no post imported; " +
                  (left.empty() ? "the site has no posts"
                                : "content left behind: " + ImportText::Joined(left, ", ")));
  }
  return count;
}

void SiteImporter::TakeOverFreshBlog() const {
  if (fresh_blog_.empty()) return;
  const Workspace fresh(fresh_blog_.string());
  std::vector<std::string> written;
  std::string error;
  // A blog tarn init made in another language started from that demo's
  // settings, with its own tag.
  std::string language;
  const std::string settings =
      BundledSkeleton::FreshSettings(fresh.root(), workspace_.root(), &language);
  if (!ImportedSettings::Apply(site_->site_values(), workspace_, settings, &written, &error,
                               language)) {
    report_.Note(error + "; the old site's settings are not taken over");
  } else if (!written.empty()) {
    report_.Copied("the old site's settings -> " + std::string(Workspace::kBaseConfig) + " (" +
                   ImportText::Joined(written, ", ") + ")");
  }
  std::vector<std::string> kept;
  for (const std::string& name :
       ImportedSettings::RemoveWelcomePosts(workspace_, fresh.posts_dir(), &kept)) {
    report_.Note(Workspace::Path(Workspace::kPostsDir, name) +
                 ": tarn init's welcome post, unchanged, removed");
  }
  for (const std::string& name : kept) {
    report_.Note(Workspace::Path(Workspace::kPostsDir, name) +
                 ": tarn init's welcome post, edited since, kept");
  }
}

int SiteImporter::ImportPost(const Post& post) {
  const std::string shown = report_.Shown(post.file);
  const std::string target_name = Workspace::Path(Workspace::kPostsDir, post.name + ".md");
  const fs::path target = workspace_.PostPath(post.name + ".md");
  std::error_code ec;
  // A post whose name is no text has no title a page or link can hold.
  if (!PostIndex::IsUtf8Name(post.name)) {
    report_.Skipped(shown + ": its name is not UTF-8 text; rename it and import it again");
    return 0;
  }
  if (fs::exists(fs::symlink_status(target, ec))) {
    report_.Skipped(shown + ": " + target_name + " exists");
    return CompleteOwnFiles(post, target);
  }
  std::string text;
  std::string error;
  if (!ReadOld(post, shown, &text)) return 0;
  Copies copies;
  std::string details;
  if (!Convert(post, report_, &text, &copies, &details)) return 0;
  if (!CreateTextFile(target.string(), text, &error)) {
    report_.Add(fs::exists(target, ec) ? Entry::Kind::kSkipped : Entry::Kind::kError, error);
    return 0;
  }
  report_.Copied(shown + " -> " + target_name + (details.empty() ? "" : " (" + details + ")"));
  ++posts_;
  return 1 + CopyOwnFiles(copies);
}

int SiteImporter::ImportPage(const Post& page) {
  const std::string shown = report_.Shown(page.file);
  const std::string target_name = Workspace::Path(Workspace::kPagesDir, page.name + ".md");
  const fs::path target = Workspace::Path(workspace_.pages_dir(), page.name + ".md");
  std::error_code ec;
  std::string text;
  std::string error;
  if (fs::exists(fs::symlink_status(target, ec))) {
    report_.Skipped(shown + ": " + target_name + " exists");
    return 0;
  }
  if (!ReadOld(page, shown, &text)) return 0;
  std::vector<std::string> changes;
  const auto [tags, links] = TranslateTags(page, report_, &text);
  if (tags) changes.push_back(std::to_string(tags) + " template tag(s) translated");
  Copies copies;
  std::string own;
  int rewritten = PlaceOwnFiles(page, report_, &text, &copies, &own);
  if (rewritten < 0) return 0;
  rewritten += links;
  if (rewritten) changes.push_back(std::to_string(rewritten) + " link(s) rewritten");
  if (int linked = LinkToArticles(&text))
    changes.push_back(std::to_string(linked) + " link(s) to imported posts");
  std::string note;
  for (std::string& change : PageAddress::Keep(page.name, site_->PageAddress(page), &text, &note))
    changes.push_back(std::move(change));
  if (!note.empty()) report_.Note(shown + ": " + note);
  if (!CreateTextFile(target.string(), text, &error)) {
    report_.Add(fs::exists(target, ec) ? Entry::Kind::kSkipped : Entry::Kind::kError, error);
    return 0;
  }
  report_.Copied(shown + " -> " + target_name +
                 (changes.empty() ? "" : " (" + ImportText::Joined(changes, ", ") + ")"));
  return 1 + CopyOwnFiles(copies);
}

bool SiteImporter::ReadOld(const Post& post, const std::string& shown, std::string* text) const {
  std::error_code ec;
  if (!PostIndex::IsUtf8Name(post.name)) {
    report_.Skipped(shown + ": its name is not UTF-8 text; rename it and import it again");
    return false;
  }
  if (fs::file_size(post.file, ec) > kMaxPostBytes) {
    report_.Skipped(shown + ": larger than 16 MB");
    return false;
  }
  std::string error;
  if (ReadTextFile(post.file.string(), text, &error)) return true;
  report_.Error(error);
  return false;
}

int SiteImporter::CompleteOwnFiles(const Post& post, const fs::path& target) {
  // The post in the workspace is an earlier import's when converting the
  // old one again gives exactly its text; that import may have stopped
  // before all the post's files were in. Its notes were given then.
  std::error_code ec;
  std::string text, there;
  if (fs::file_size(post.file, ec) > kMaxPostBytes || !ReadTextFile(post.file.string(), &text) ||
      !ReadTextFile(target.string(), &there)) {
    return 0;
  }
  ImportReport quiet(nullptr);
  quiet.set_site(source_);
  Copies copies;
  std::string details;
  if (!Convert(post, quiet, &text, &copies, &details) || text != there) return 0;
  ++posts_;
  return CopyOwnFiles(copies);
}

int SiteImporter::CopyOwnFiles(const Copies& copies) {
  int count = 0;
  for (const auto& [from, where] : copies) count += CopyFile(from, workspace_.StaticPath(where));
  return count;
}

bool SiteImporter::Convert(const Post& post, const ImportReport& report, std::string* text,
                           Copies* copies, std::string* details) const {
  const std::string shown = report.Shown(post.file);
  FrontMatter front;
  front.Read(*text, shown, [&report](const std::string& message) { report.Note(message); });
  const auto [tags, links] = TranslateTags(post, report, text);
  std::string own;
  int rewritten = PlaceOwnFiles(post, report, text, copies, &own);
  if (rewritten < 0) return false;
  rewritten += links;  // the links and paths the tags gave
  ImportSource::Address old = site_->OldAddress(post, front);
  std::vector<std::string> changes;
  if (post.draft) changes.push_back("a draft");
  if (tags) changes.push_back(std::to_string(tags) + " template tag(s) translated");
  if (int linked = LinkToArticles(text)) {
    changes.push_back(std::to_string(linked) + " link(s) to imported posts");
  }
  RereadAsTheSiteDid(front, text, &changes);
  FrontMatterEditor editor(*text);
  if (post.draft) editor.AddScalarIfMissing("draft", "true");
  std::string date;
  if (old.implied_date) {
    date = WrittenDate(*old.implied_date, old.date_key.empty() ? "" : front.GetText(old.date_key));
    editor.AddScalarIfMissing("date", date);
  }
  std::vector<std::string> categories = front.GetList("categories");
  if (!post.category.empty() &&
      std::find(categories.begin(), categories.end(), post.category) == categories.end()) {
    editor.AddToList("categories", {post.category});
    changes.push_back("category " + post.category);
  }
  if (!old.address.empty()) editor.AddToList("aliases", {old.address});
  std::string out;
  std::string error;
  if (!editor.Apply(&out, &error)) {
    if (post.draft) {
      report.Skipped(shown + ": cannot be marked as a draft: " + error);
      return false;
    }
    report.Note(shown + ": " + error + "; imported without old address or date");
    out = *text;
    old.address.clear();
    date.clear();
  } else if (old.address.empty() && !old.draft) {
    report.Note(shown + ": old address unknown: " + old.why);
  }
  *text = std::move(out);
  if (!date.empty()) {
    changes.push_back("dated " + date + " by its " +
                      (old.date_key.empty() ? std::string("name") : old.date_key));
  }
  if (!old.address.empty()) changes.push_back("old address " + old.address);
  if (rewritten) changes.push_back(std::to_string(rewritten) + " link(s) rewritten");
  if (own != OwnFolder(post.name, 1))
    changes.push_back("its files in static/" + std::string(kOwnFilesFolder) + own);
  *details = ImportText::Joined(changes, ", ");
  return true;
}

ImportSource::Translated SiteImporter::TranslateTags(const Post& post, const ImportReport& report,
                                                     std::string* text) const {
  return site_->TranslateTags(post, article_files_, report, text);
}

void SiteImporter::MapOldAddresses(const std::vector<Post>& posts) {
  for (const Post& post : posts) {
    std::error_code ec;
    std::string text;
    if (post.draft || fs::file_size(post.file, ec) > kMaxPostBytes ||
        !ReadTextFile(post.file.string(), &text)) {
      continue;
    }
    FrontMatter front;
    front.Read(text, "", [](const std::string&) {});
    std::string slug = front.GetText("slug");
    if (slug.empty()) slug = PostIndex::TitleOf(post.name + ".md");
    std::string article = PostIndex::ArticleLink("..", slug);
    article_files_.emplace(post.file, article);
    std::vector<std::string> addresses = front.GetList("aliases");
    addresses.push_back(site_->OldAddress(post, front).address);
    for (const std::string& address : addresses) {
      if (!address.empty()) article_links_.emplace(AddressKey(address), article);
    }
  }
}

int SiteImporter::LinkToArticles(std::string* text) const {
  // Links name the old site's pages by path, with or without the path the
  // site lived under, or by full address.
  const std::string& base = site_->base_url();
  const std::string_view site = WithoutScheme(base);
  const size_t slash = site.find('/');
  const std::string base_path(slash == std::string_view::npos ? "" : site.substr(slash));
  int linked = LinkToArticles(PostLinks::FindSitePaths(*text), base_path, false, text);
  if (!base.empty()) {
    linked += LinkToArticles(PostLinks::FindWebAddresses(*text), std::string(site), true, text);
  }
  return linked;
}

int SiteImporter::LinkToArticles(const std::vector<PostLinks::Link>& links,
                                 const std::string& prefix, bool web, std::string* text) const {
  std::vector<std::string> destinations(links.size());
  int linked = 0;
  for (size_t i = 0; i < links.size(); ++i) {
    std::string_view path = links[i].path;
    if (web) path = WithoutScheme(path);
    bool under = !prefix.empty() && path.substr(0, prefix.size()) == prefix &&
                 (path.size() == prefix.size() || path[prefix.size()] == '/');
    if (under) {
      path.remove_prefix(prefix.size());
    } else if (web) {
      continue;
    }
    auto found = article_links_.find(AddressKey(std::string(path)));
    if (found == article_links_.end()) continue;
    size_t fragment = links[i].suffix.find('#');
    destinations[i] =
        found->second + (fragment == std::string::npos ? "" : links[i].suffix.substr(fragment));
    ++linked;
  }
  *text = PostLinks::Rewrite(*text, links, destinations);
  return linked;
}

std::string SiteImporter::WrittenDate(const Permalink::Date& date, const std::string& text) const {
  if (!text.empty() && SourceDate::HasOffset(text)) return text;
  if (!site_->time_zone().empty()) return SourceDate::Stamp(date, site_->time_zone());
  return text.empty() ? DateText(date) : text;
}

void SiteImporter::RereadAsTheSiteDid(const FrontMatter& front, std::string* text,
                                      std::vector<std::string>* changes) const {
  std::string written = front.GetText("date");
  Permalink::Date date;
  if (!site_->time_zone().empty() && !SourceDate::HasOffset(written) &&
      Permalink::ParseDate(written, &date)) {
    std::string stamp = SourceDate::Stamp(date, site_->time_zone());
    if (FrontMatterLine::Replace(text, "date", stamp)) {
      changes->push_back("date " + stamp + " in " + site_->time_zone());
    }
  }
  for (const auto& [key, values] : site_->ListsAsRead(front)) {
    std::vector<std::string> quoted;
    for (const std::string& value : values) quoted.push_back(ImportText::Quoted(value));
    if (FrontMatterLine::Replace(text, key, "[" + ImportText::Joined(quoted, ", ") + "]")) {
      changes->push_back(key + " as " + std::string(site_->generator()) + " reads them");
    }
  }
}

int SiteImporter::PlaceOwnFiles(const Post& post, const ImportReport& report, std::string* text,
                                Copies* copies, std::string* own) const {
  std::vector<fs::path> resources;
  if (!post.resources.empty()) {
    auto enter = [](const fs::path&) { return true; };
    auto on_link = [&report](const fs::path& link) { report.SymbolicLink(link); };
    resources = SiteFiles::FilesUnder(post.resources, enter, on_link);
  }
  // The first folder where each file is new or already there with the
  // same bytes: links never lead to another file of the same name, and an
  // import run again picks the folder it picked before.
  for (int k = 1; k <= kOwnFolderTries; ++k) {
    std::string moved = *text;
    Copies planned;
    int rewritten = MoveOwnFiles(post, resources, OwnFolder(post.name, k), &moved, &planned);
    bool fits = std::all_of(planned.begin(), planned.end(), [this](const auto& copy) {
      bool exists = false;
      return FreeOrSame(copy.first, workspace_.StaticPath(copy.second), &exists);
    });
    if (!fits) continue;
    *text = std::move(moved);
    *copies = std::move(planned);
    *own = OwnFolder(post.name, k);
    return rewritten;
  }
  report.Skipped(NoOwnFolder(report.Shown(post.file), post.name));
  return -1;
}

int SiteImporter::MoveOwnFiles(const Post& post, const std::vector<fs::path>& resources,
                               const std::string& folder, std::string* text, Copies* copies) const {
  // The post's own files go to static/images/FOLDER, and its relative links
  // are pointed at them (or at the file's place among the static files).
  const std::string own = kOwnFilesFolder + folder;
  const std::string own_link = "../" + std::string(kOwnFilesFolder) +
                               PostLinks::Encode(folder.substr(0, folder.size() - 1)) + "/";
  for (const fs::path& file : resources) {
    if (file != post.file) (*copies)[file] = own + SiteFiles::Inside(file, post.resources);
  }
  int rewritten = site_->ReplaceOwnTags(post, own_link, text);
  std::vector<PostLinks::Link> links = PostLinks::FindRelative(*text);
  std::vector<std::string> destinations(links.size());
  const fs::path base = post.resources.empty() ? post.file.parent_path() : post.resources;
  for (size_t i = 0; i < links.size(); ++i) {
    fs::path file = Resolve(post, links[i].path);
    if (file.empty()) continue;
    std::string where;
    if (auto known = copies->find(file); known != copies->end()) where = known->second;
    if (where.empty()) where = StaticPath(file);
    if (where.empty()) {
      std::string inside = SiteFiles::Inside(file, base);
      where = (*copies)[file] = own + (inside.empty() ? file.filename().string() : inside);
    }
    destinations[i] = "../" + PostLinks::Encode(where) + links[i].suffix;
    if (text->compare(links[i].begin, links[i].end - links[i].begin, destinations[i]) == 0) {
      destinations[i].clear();  // already right
    } else {
      ++rewritten;
    }
  }
  *text = PostLinks::Rewrite(*text, links, destinations);
  return rewritten;
}

fs::path SiteImporter::Resolve(const Post& post, const std::string& link) const {
  std::vector<fs::path> bases;
  if (!post.resources.empty()) bases.push_back(post.resources);
  bases.push_back(post.file.parent_path());
  for (const fs::path& base : bases) {
    fs::path candidate = (base / link).lexically_normal();
    std::error_code ec;
    if (SiteFiles::Inside(candidate, source_).empty() ||
        !fs::is_regular_file(fs::symlink_status(candidate, ec))) {
      continue;
    }
    // No symbolic link on the way either.
    if (fs::canonical(candidate, ec) == candidate && !ec) return candidate;
  }
  return {};
}

std::string SiteImporter::StaticPath(const fs::path& file) const {
  for (const StaticRoot& root : static_roots_) {
    std::string inside = SiteFiles::Inside(file, root.folder);
    if (!inside.empty() && Takes(root, inside)) return root.prefix + inside;
  }
  return "";
}

int SiteImporter::CopyStatic(const StaticRoot& root) {
  std::error_code ec;
  if (!fs::is_directory(root.folder, ec)) return 0;
  auto enter = [this, &root](const fs::path& folder) {
    std::error_code equivalent_ec;
    if (fs::equivalent(folder, workspace_root_, equivalent_ec)) return false;
    return Takes(root, SiteFiles::Inside(folder, root.folder));
  };
  auto on_link = [this](const fs::path& link) { report_.SymbolicLink(link); };
  int count = 0;
  for (const fs::path& file : SiteFiles::FilesUnder(root.folder, enter, on_link)) {
    std::string relative = SiteFiles::Inside(file, root.folder);
    if (!Takes(root, relative)) continue;
    if (page_files_.count(file)) continue;
    if (root.skips_hidden_pages && SiteFiles::IsMarkdown(file)) {
      report_.ContentSkipped(report_.Shown(file),
                             "a page in Markdown (pages come from the theme's templates)");
      continue;
    }
    count += CopyFile(file, workspace_.StaticPath(root.prefix + relative));
  }
  return count;
}

bool SiteImporter::CopyFile(const fs::path& from, const fs::path& to) {
  const std::string shown = report_.Shown(from);
  const std::string target_name = SiteFiles::Inside(to, workspace_root_);
  std::error_code ec;
  bool exists = false;
  bool same = FreeOrSame(from, to, &exists);
  if (exists) {
    report_.Skipped(shown + ": " + target_name + " exists" +
                    (same ? " (with the same content)" : ""));
    return false;
  }
  // A folder of the workspace that is a link to elsewhere is not written
  // through, nor created in.
  fs::path folder = fs::weakly_canonical(to.parent_path(), ec);
  if (ec || SiteFiles::Inside(folder, workspace_root_).empty()) {
    report_.Skipped(shown + ": " + target_name + " would be outside the workspace");
    return false;
  }
  fs::create_directories(folder, ec);
  std::string bytes;
  std::string error;
  if (!ReadTextFile(from.string(), &bytes, &error) || !CreateTextFile(to.string(), bytes, &error)) {
    report_.Add(fs::exists(to, ec) ? Entry::Kind::kSkipped : Entry::Kind::kError, error);
    return false;
  }
  report_.Copied(shown + " -> " + target_name);
  return true;
}

}  // namespace tarn
