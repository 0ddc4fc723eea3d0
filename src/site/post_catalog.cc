#include "site/post_catalog.h"

#include <algorithm>
#include <filesystem>

#include "data/json_document.h"
#include "site/post_index.h"

namespace tarn {

std::vector<PostSummary> PostCatalog::Read(const std::string& posts_dir) {
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
    record.SetEmptyArray("tags");
    for (const std::string& tag : post.tags) record.Append("tags", JsonDocument::NewText(tag));
    list.Append("", std::move(record));
  }
  return list.ToText();
}

}  // namespace tarn
