#include "deploy/due_posts.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "data/text_file.h"
#include "workspace/workspace.h"

namespace tarn {
namespace {

constexpr char kRecord[] = "publish-due";

bool Published(const std::vector<std::string>& sorted, const std::string& name) {
  return std::binary_search(sorted.begin(), sorted.end(), name);
}

}  // namespace

DuePosts::DuePosts(const Workspace& workspace)
    : path_(Workspace::Path(workspace.state_dir(), kRecord)) {
  std::string text;
  if (!ReadTextFile(path_, &text)) return;
  std::istringstream lines(text);
  std::string line;
  if (!std::getline(lines, line) || line.empty() ||
      line.find_first_not_of("0123456789") != std::string::npos)
    return;  // damaged: never published
  last_ = static_cast<std::time_t>(std::strtoll(line.c_str(), nullptr, 10));
  while (std::getline(lines, line))
    if (!line.empty()) published_.push_back(line);
  std::sort(published_.begin(), published_.end());
}

std::vector<PostFile> DuePosts::Read(const Workspace& workspace) {
  std::vector<PostFile> posts = PostIndex::Scan(workspace.posts_dir(), [](const std::string&) {});
  PostIndex::Arrange(&posts, PostFilter{.future = true}, false);
  return posts;
}

std::vector<std::string> DuePosts::Due(const std::vector<PostFile>& posts, std::time_t now) const {
  std::vector<std::string> due;
  for (const PostFile& post : posts) {
    if (!post.publish_time || *post.publish_time > now) continue;
    if (last_ && (*post.publish_time <= *last_ || Published(published_, post.name))) continue;
    due.push_back(post.name);
  }
  return due;
}

const PostFile* DuePosts::Next(const std::vector<PostFile>& posts, std::time_t now) {
  const PostFile* next = nullptr;
  for (const PostFile& post : posts) {
    if (post.ScheduledAfter(now) && (!next || *post.publish_time < *next->publish_time))
      next = &post;
  }
  return next;
}

bool DuePosts::Record(const std::vector<PostFile>& posts, std::time_t now,
                      std::string* error) const {
  std::string text = std::to_string(static_cast<long long>(now)) + "\n";
  for (const std::string& name : Due(posts, now)) text += name + "\n";
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(path_).parent_path(), ec);
  return WriteTextFile(path_, text, error);
}

}  // namespace tarn
