#include "content/post_index.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <thread>
#include <unordered_map>

#include "content/front_matter.h"
#include "content/post_view.h"
#include "data/language_tag.h"
#include "data/text_file.h"

namespace tarn {
namespace {

// Folders with fewer posts are read on the calling thread alone.
constexpr std::size_t kPostsPerReader = 256;
// Threads reading a large folder: the files are small, so more threads than
// this only wait on each other in the kernel.
constexpr std::size_t kReaders = 2;

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool MatchesMdAt(std::string_view text, size_t i) {
  return i + 3 <= text.size() && text[i] == '.' && Lower(text[i + 1]) == 'm' &&
         Lower(text[i + 2]) == 'd';
}

// Length of the valid UTF-8 prefix of text.
size_t ValidUtf8Prefix(std::string_view text) {
  size_t i = 0;
  while (i < text.size()) {
    size_t start = i;
    if (DecodeUtf8(text, &i) < 0) return start;
  }
  return text.size();
}

std::string FormatTime(std::time_t time, const char* format) {
  std::tm tm{};
  localtime_r(&time, &tm);
  char buffer[64];
  if (format[0] == 'C') {
    std::snprintf(buffer, sizeof buffer, "%d-%d-%d %02d:%02d:%02d", tm.tm_year + 1900,
                  tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
  } else {
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", tm.tm_year + 1900,
                  tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
  }
  return buffer;
}

bool IsBadSlug(std::string_view slug) {
  if (slug.empty() || slug[0] == '.' || slug.find("..") != std::string_view::npos) return true;
  return std::any_of(slug.begin(), slug.end(), [](char c) {
    unsigned char u = static_cast<unsigned char>(c);
    return c == '/' || c == '\\' || u < 0x20 || u == 0x7F;
  });
}

// The post time (or update time) from the first of keys that is given.
// Returns false when none is; an unreadable date is noted and skipped.
bool ReadDate(const FrontMatter& front, const PostFile& post,
              std::initializer_list<std::string_view> keys, std::string* out,
              std::vector<std::string>* notes) {
  for (std::string_view key : keys) {
    std::time_t time = 0;
    switch (front.GetDate(key, &time)) {
      case FrontMatter::DateResult::kMissing:
        continue;
      case FrontMatter::DateResult::kRead:
        *out = PostIndex::FormatPostTime(time);
        return true;
      case FrontMatter::DateResult::kUnreadable:
        notes->push_back(post.path + ": " + std::string(key) + " \"" + front.GetText(key) +
                         "\" is not a date this program reads; the file time is used");
        return false;
    }
  }
  return false;
}

// When the post goes live (PostFile::publish_time): publishDate, else
// date, whichever is given and readable first.
std::optional<std::time_t> PublishTime(const FrontMatter& front) {
  for (std::string_view key : {"publishDate", "date"}) {
    std::time_t time = 0;
    if (front.GetDate(key, &time) == FrontMatter::DateResult::kRead) return time;
  }
  return std::nullopt;
}

// Takes over what the post's front matter says (see PostFile).
void ApplyFrontMatter(FrontMatter* read, PostFile* post, std::vector<std::string>* notes) {
  const FrontMatter& front = *read;
  post->has_front = true;
  post->body = front.body_offset();
  std::string title = front.GetText("title");
  if (!title.empty()) post->title = std::move(title);
  if (front.Has("slug")) {
    std::string slug = front.GetText("slug");
    if (IsBadSlug(slug)) {
      notes->push_back(post->path + ": slug \"" + slug +
                       "\" cannot be a file name (empty, a folder step, a control "
                       "character or a leading dot); the file name is used");
    } else {
      post->slug = PostIndex::ShortName(slug, slug, PostFile::kMaxSlugBytes);
    }
  }
  if (ReadDate(front, *post, {"date", "publishDate"}, &post->post_time, notes))
    post->update_time = post->post_time;  // so that a copy changes neither
  post->publish_time = PublishTime(front);
  ReadDate(front, *post, {"updated", "lastmod", "last_modified_at"}, &post->update_time, notes);

  bool flag = false;
  post->draft =
      (front.GetFlag("draft", &flag) && flag) || (front.GetFlag("published", &flag) && !flag);
  post->pin = std::strtod(front.GetText("sticky").c_str(), nullptr);
  if (post->pin <= 0) {
    if (front.GetFlag("top", &flag)) {
      post->pin = flag ? 1 : 0;
    } else {
      post->pin = std::strtod(front.GetText("top").c_str(), nullptr);
    }
  }
  post->tags = front.GetList("tags");
  post->categories = front.GetList("categories");
  post->aliases = front.GetList("aliases");
  post->description = front.GetText(front.Has("description") ? "description" : "excerpt");
  post->has_more = PostIndex::HasMoreLine(post->Markdown());
  post->front = read->TakeValues();
}

// The name with every byte outside printable ASCII written as \xHH, for a
// message about a name that is not text.
std::string Escaped(std::string_view name) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (char ch : name) {
    unsigned char c = static_cast<unsigned char>(ch);
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      out += ch;
    } else {
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

// The posts' names; names that are not valid UTF-8 go to *refused instead
// (when given): their title could not be written in a page or a link.
std::vector<std::string> PostNames(const std::string& posts_dir,
                                   std::vector<std::string>* refused = nullptr) {
  std::vector<std::string> names;
  std::error_code ec;
  std::filesystem::directory_iterator it(posts_dir, ec);
  if (ec) return names;
  for (const auto& entry : it) {
    std::string name = entry.path().filename().string();
    if (!PostIndex::IsPostName(name)) continue;
    std::error_code type_ec;
    if (!entry.is_regular_file(type_ec)) continue;
    if (!PostIndex::IsUtf8Name(name)) {
      if (refused) refused->push_back(std::move(name));
      continue;
    }
    names.push_back(std::move(name));
  }
  // Byte order of the UTF-8 names: the same on every file system.
  std::sort(names.begin(), names.end());
  return names;
}

// Reads the post at path as Scan does: its title and slug from the file
// name, its times, its text and what its front matter says. False when the
// file is gone (deleted since it was listed); what is wrong with it goes to
// *notes.
bool ReadOne(const std::string& path, PostFile* post, std::vector<std::string>* notes) {
  post->path = path;
  if (!PostIndex::GetPostTimes(post->path, &post->post_time, &post->update_time)) return false;
  std::string error;
  post->title = PostIndex::TitleOf(std::string_view(path).substr(path.rfind('/') + 1));
  post->slug = PostIndex::ShortName(post->title, post->title, PostFile::kMaxSlugBytes);
  if (!ReadTextFile(post->path, &post->content, &error)) {
    notes->push_back(error + " (the post is indexed with no content)");
    return true;
  }
  size_t valid = ValidUtf8Prefix(post->content);
  if (valid != post->content.size()) {
    std::string_view before = std::string_view(post->content).substr(0, valid);
    int line = 1 + static_cast<int>(std::count(before.begin(), before.end(), '\n'));
    notes->push_back(post->path + ":" + std::to_string(line) + ": not valid UTF-8 (byte " +
                     std::to_string(valid) + "); invalid bytes show as U+FFFD");
  }
  FrontMatter front;
  auto note = [notes](const std::string& message) { notes->push_back(message); };
  if (front.Read(post->content, post->path, note)) ApplyFrontMatter(&front, post, notes);
  return true;
}

// The length of the excerpt marker at text[at] ("<!--", "more", "-->" with
// any spaces or tabs between them, as Jekyll and Hugo bloggers write it);
// 0 when there is none.
std::size_t MoreMarkerAt(std::string_view text, std::size_t at) {
  auto skip_blanks = [&text](std::size_t pos) {
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
    return pos;
  };
  if (text.compare(at, 4, "<!--") != 0) return 0;
  std::size_t pos = skip_blanks(at + 4);
  if (text.compare(pos, 4, "more") != 0) return 0;
  pos = skip_blanks(pos + 4);
  if (text.compare(pos, 3, "-->") != 0) return 0;
  return pos + 3 - at;
}

}  // namespace

bool PostIndex::HasMoreLine(std::string_view markdown) {
  for (std::size_t at = markdown.find("<!--"); at != std::string_view::npos;
       at = markdown.find("<!--", at + 1)) {
    std::size_t length = MoreMarkerAt(markdown, at);
    if (length == 0) continue;
    std::size_t end = at + length;
    bool starts = at == 0 || markdown[at - 1] == '\n';
    bool ends =
        end == markdown.size() || markdown[end] == '\n' || markdown.compare(end, 2, "\r\n") == 0;
    if (starts && ends) return true;
  }
  return false;
}

std::string PostIndex::ExcerptOf(std::string_view html) {
  for (std::size_t at = html.find("<!--"); at != std::string_view::npos;
       at = html.find("<!--", at + 1)) {
    if (MoreMarkerAt(html, at) != 0) return std::string(html.substr(0, at));
  }
  return "";
}

void PostIndex::Arrange(std::vector<PostFile>* posts, const PostFilter& filter, bool newest_first) {
  posts->erase(std::remove_if(posts->begin(), posts->end(),
                              [&filter](const PostFile& post) { return !filter.Shows(post); }),
               posts->end());
  if (!newest_first) return;
  // Posts come in name order, which a stable sort keeps for ties.
  std::stable_sort(posts->begin(), posts->end(), [](const PostFile& a, const PostFile& b) {
    if (a.pin != b.pin) return a.pin > b.pin;
    return a.post_time > b.post_time;
  });
}

bool PostIndex::IsUtf8Name(std::string_view name) { return ValidUtf8Prefix(name) == name.size(); }

bool PostIndex::IsPostName(std::string_view file_name) {
  return file_name.size() >= 3 && MatchesMdAt(file_name, file_name.size() - 3);
}

std::string PostIndex::TitleOf(std::string_view file_name) {
  std::string title;
  title.reserve(file_name.size());
  for (size_t i = 0; i < file_name.size();) {
    if (MatchesMdAt(file_name, i)) {
      i += 3;
    } else {
      title += file_name[i++];
    }
  }
  return title;
}

std::string PostIndex::LinkName(std::string_view title) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string link;
  link.reserve(title.size());
  for (char ch : title) {
    unsigned char c = static_cast<unsigned char>(ch);
    bool encode = c < 0x20 || c == 0x7F || c == ' ' || c == '#' || c == '?' || c == '%' ||
                  c == '"' || c == '<' || c == '>' || c == '\\';
    if (encode) {
      link += '%';
      link += kHex[c >> 4];
      link += kHex[c & 15];
    } else {
      link += ch;
    }
  }
  return link;
}

std::string PostIndex::MonthKey(int year, int month) {
  static const char* const kMonths[] = {"一", "二", "三", "四",   "五",     "六",
                                        "七", "八", "九", "一十", "一十一", "一十二"};
  if (month < 1 || month > 12) return "";
  return std::string(kMonths[month - 1]) + "月," + std::to_string(year);
}

std::string PostIndex::MonthKeyOf(std::string_view post_time) {
  if (post_time.size() < 7 || post_time[4] != '-') return "";
  int year = 0;
  for (size_t i = 0; i < 4; ++i) {
    if (post_time[i] < '0' || post_time[i] > '9') return "";
    year = year * 10 + (post_time[i] - '0');
  }
  if (post_time[5] < '0' || post_time[5] > '9' || post_time[6] < '0' || post_time[6] > '9')
    return "";
  return MonthKey(year, (post_time[5] - '0') * 10 + (post_time[6] - '0'));
}

std::string PostIndex::FormatPostTime(std::time_t time) { return FormatTime(time, "P"); }

std::string PostIndex::FormatCreateTime(std::time_t time) { return FormatTime(time, "C"); }

bool PostIndex::GetPostTimes(const std::string& path, std::string* post_time,
                             std::string* update_time) {
  struct statx stx {};
  if (statx(AT_FDCWD, path.c_str(), 0, STATX_BTIME | STATX_MTIME, &stx) != 0) return false;
  std::time_t modified = static_cast<std::time_t>(stx.stx_mtime.tv_sec);
  std::time_t born =
      (stx.stx_mask & STATX_BTIME) ? static_cast<std::time_t>(stx.stx_btime.tv_sec) : modified;
  *post_time = FormatPostTime(born);
  *update_time = FormatPostTime(modified);
  return true;
}

std::string PostFile::Url(std::string_view url_prefix) const {
  return PostIndex::ArticleLink(url_prefix, slug);
}

std::string PostIndex::ShortName(std::string_view name, std::string_view whole,
                                 std::size_t max_bytes) {
  if (name.size() <= max_bytes) return std::string(name);
  std::size_t cut = std::min(kShortNameBytes, max_bytes);
  while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
  char hash[24];
  std::snprintf(hash, sizeof hash, "~%016zx", std::hash<std::string_view>{}(whole));
  return std::string(name.substr(0, cut)) + hash;
}

std::string PostIndex::ArticleLink(std::string_view url_prefix, std::string_view title) {
  std::string link(url_prefix);
  link += '/';
  link += PostFile::kArticleFolder;
  link += '/';
  link += LinkName(title);
  link += ".html";
  return link;
}

int PostIndex::Count(const std::string& posts_dir) {
  return static_cast<int>(PostNames(posts_dir).size());
}

std::vector<PostFile> PostIndex::Scan(const std::string& posts_dir, const DiagnosticSink& sink,
                                      int* skipped) {
  std::string dir = posts_dir;
  if (!dir.empty() && dir.back() != '/') dir += '/';
  std::vector<std::string> refused;
  std::vector<std::string> names = PostNames(posts_dir, &refused);
  std::sort(refused.begin(), refused.end());
  if (skipped) *skipped = static_cast<int>(refused.size());
  for (const std::string& name : refused) {
    if (sink) {
      sink(dir + Escaped(name) +
           ": the file name is not valid UTF-8, so the post has no title a page or link can "
           "hold; it is left out (rename it)");
    }
  }
  // Reading is mostly waiting on system calls, one file after another, so
  // large folders are read by a few threads; what they have to say is told
  // afterwards, in the posts' order.
  std::vector<PostFile> read(names.size());
  std::vector<bool> gone(names.size(), false);
  std::vector<std::vector<std::string>> notes(names.size());
  auto read_range = [&](std::size_t begin, std::size_t end) {
    for (std::size_t i = begin; i < end; ++i)
      gone[i] = !ReadOne(dir + names[i], &read[i], &notes[i]);
  };
  std::size_t threads = names.size() < kPostsPerReader ? 1 : kReaders;
  std::vector<std::thread> readers;
  for (std::size_t t = 1; t < threads; ++t) {
    readers.emplace_back(read_range, names.size() * t / threads, names.size() * (t + 1) / threads);
  }
  read_range(0, names.size() / threads);
  for (std::thread& reader : readers) reader.join();

  std::vector<PostFile> posts;
  posts.reserve(names.size());
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (gone[i]) continue;
    if (sink)
      for (const std::string& note : notes[i]) sink(note);
    read[i].name = std::move(names[i]);
    posts.push_back(std::move(read[i]));
  }
  return posts;
}

bool PostIndex::ReadPost(const std::string& path, PostFile* post, const DiagnosticSink& sink) {
  *post = PostFile();
  std::vector<std::string> notes;
  bool read = ReadOne(path, post, &notes);
  if (sink)
    for (const std::string& note : notes) sink(note);
  if (read) post->name = path.substr(path.rfind('/') + 1);
  return read;
}

bool PostIndex::ReadFront(PostFile* post, const DiagnosticSink& sink) {
  FrontMatter front;
  if (!front.Read(post->content, post->path, sink)) return false;
  std::vector<std::string> notes;
  ApplyFrontMatter(&front, post, &notes);
  for (const std::string& note : notes) sink(note);
  return true;
}

void PostIndex::Fill(JsonDocument* data, const std::vector<PostFile>& posts,
                     const std::string& url_prefix, std::time_t now) {
  if (!data->HasTree()) data->Create();
  data->SetText("create_time", FormatCreateTime(now));
  data->SetText("generation_tool", "TarnBlogEditor");
  // Built afresh: a post deleted since the last index leaves no trace, and a
  // base.json member of the same name gives way (keeping its place).
  data->SetObject("", "posts", JsonDocument::NewArray());
  data->SetObject("", "timeline", JsonDocument::NewArray());
  PostView view(url_prefix, data->GetText("system.url"), data->GetText("system.author"),
                LanguageTag::Checked(data->GetText("system.language")));

  std::unordered_map<std::string, int> groups;  // month key -> index in timeline
  for (const PostFile& post : posts) {
    JsonDocument record = view.Record(post, true);

    std::string key = MonthKeyOf(post.post_time);
    auto it = groups.find(key);
    if (it == groups.end()) {
      int index = static_cast<int>(groups.size());
      JsonDocument group = JsonDocument::NewObject();
      group.SetText("date", key);
      if (!view.language().empty())
        group.SetText("month", PostView::MonthText(view.language(), post.post_time));
      group.SetEmptyArray("posts");
      data->Append("timeline", group);
      it = groups.emplace(key, index).first;
    }
    data->Append("timeline[" + std::to_string(it->second) + "].posts", record);
    data->Append("posts", std::move(record));
  }
}

}  // namespace tarn
