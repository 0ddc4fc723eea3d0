#include "content/post_catalog.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "content/front_matter.h"
#include "content/post_index.h"
#include "data/json_document.h"

namespace tarn {
namespace {

// Front matter sits at the top of a post: this much of the file is read
// first, and the rest only when a block opens and is not closed within it.
constexpr std::size_t kHeadBytes = 16 * 1024;

// The first bytes of path, enough to hold its front matter block ("" when
// the file cannot be read; the list then shows it by its name).
std::string ReadHead(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string head(kHeadBytes, '\0');
  in.read(head.data(), static_cast<std::streamsize>(head.size()));
  head.resize(static_cast<std::size_t>(in.gcount()));
  FrontMatter::Block block = FrontMatter::Find(head);
  if (block.format != FrontMatter::Format::kNone && !block.closed && head.size() == kHeadBytes) {
    std::string more(FrontMatter::kMaxBytes + 1024 - kHeadBytes, '\0');
    in.read(more.data(), static_cast<std::streamsize>(more.size()));
    more.resize(static_cast<std::size_t>(in.gcount()));
    head += more;
  }
  return head;
}

}  // namespace

std::vector<PostSummary> PostCatalog::Read(const std::string& posts_dir, std::time_t now) {
  std::vector<PostSummary> posts;
  std::error_code ec;
  std::filesystem::directory_iterator it(posts_dir, ec);
  if (ec) return posts;
  for (const auto& entry : it) {
    PostSummary post;
    post.name = entry.path().filename().string();
    std::error_code type_ec;
    if (!PostIndex::IsPostName(post.name) || !entry.is_regular_file(type_ec)) continue;
    if (!PostIndex::GetPostTimes(entry.path().string(), &post.post_time, &post.update_time)) {
      continue;
    }
    post.title = PostIndex::TitleOf(post.name);
    PostFile file;
    file.name = post.name;
    file.path = entry.path().string();
    file.title = post.title;
    file.post_time = post.post_time;
    file.update_time = post.update_time;
    file.content = ReadHead(file.path);
    // The build reports what is wrong with a front matter; the list only
    // shows what can be read.
    if (PostIndex::ReadFront(&file, [](const std::string&) {})) {
      post.title = std::move(file.title);
      post.post_time = std::move(file.post_time);
      post.update_time = std::move(file.update_time);
      post.draft = file.draft;
      if (file.ScheduledAfter(now)) post.scheduled = PostIndex::FormatPostTime(*file.publish_time);
      post.tags = std::move(file.tags);
    }
    posts.push_back(std::move(post));
  }
  std::sort(posts.begin(), posts.end(), [](const PostSummary& a, const PostSummary& b) {
    return a.post_time != b.post_time ? a.post_time > b.post_time : a.name < b.name;
  });
  return posts;
}

std::string PostCatalog::ToJson(const std::vector<PostSummary>& posts) {
  JsonDocument list = JsonDocument::NewArray();
  for (const PostSummary& post : posts) {
    JsonDocument record = JsonDocument::NewObject();
    record.SetText("name", post.name);
    record.SetText("title", post.title);
    record.SetText("post_time", post.post_time);
    record.SetText("update_time", post.update_time);
    record.SetBool("draft", post.draft);
    record.SetText("scheduled", post.scheduled);
    record.SetEmptyArray("tags");
    for (const std::string& tag : post.tags) record.Append("tags", JsonDocument::NewText(tag));
    list.Append("", std::move(record));
  }
  return list.ToText();
}

}  // namespace tarn
