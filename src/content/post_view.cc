#include "content/post_view.h"

#include <algorithm>
#include <utility>

#include "content/taxonomy.h"

namespace tarn {
namespace {

JsonDocument TextArray(const std::vector<std::string>& texts) {
  JsonDocument array = JsonDocument::NewArray();
  for (const std::string& text : texts) array.Append("", JsonDocument::NewText(text));
  return array;
}

constexpr const char* kFrontMembers[] = {"tags", "categories", "description", "excerpt", "front"};

// Sets the members a post's front matter gives its record, in their order.
void AddFrontMembers(const PostFile& post, JsonDocument* record) {
  record->SetObject("", "tags", TextArray(post.tags));
  record->SetObject("", "categories", TextArray(post.categories));
  record->SetText("description", post.description);
  record->SetText("excerpt", post.excerpt);
  record->SetObject("", "front", post.front);
}

}  // namespace

PostView::PostView(std::string url_prefix, std::string site_url, std::string author)
    : url_prefix_(std::move(url_prefix)),
      site_url_(std::move(site_url)),
      author_(std::move(author)) {}

JsonDocument PostView::Record(const PostFile& post, bool with_content) const {
  JsonDocument record = JsonDocument::NewObject();
  record.SetText("title", post.title);
  record.SetText("url", post.Url(url_prefix_));
  record.SetText("absolute_url", post.Url(site_url_));
  if (with_content) record.SetText("content", post.content);
  record.SetText("author", author_);
  record.SetText("post_time", post.post_time);
  record.SetText("update_time", post.update_time);
  if (post.has_front) AddFrontMembers(post, &record);
  return record;
}

void PostView::SetHead(const PostFile& post, JsonDocument* page) const {
  if (!page->HasTree()) page->Create();
  page->SetText("post.title", post.title);
  page->SetText("post.url", post.Url(url_prefix_));
  page->SetText("post.absolute_url", post.Url(site_url_));
}

void PostView::SetBody(const PostFile& post, std::string_view html, JsonDocument* page) const {
  page->SetText("post.content", html);
  page->SetText("post.post_time", post.post_time);
  page->SetText("post.update_time", post.update_time);
  if (post.has_front) {
    page->SetObject("post", "tags", TextArray(post.tags));
    page->SetObject("post", "categories", TextArray(post.categories));
    page->SetText("post.description", post.description);
    page->SetText("post.excerpt", post.excerpt);
    page->SetObject("post", "front", post.front);
  } else {
    for (const char* key : kFrontMembers) page->RemoveMember("post", key);
  }
}

void PostView::LinkTerms(const PostFile& post, bool tag_pages, bool category_pages,
                         JsonDocument* page) const {
  const struct {
    const char* member;
    const std::vector<std::string>& names;
    bool pages;
  } lists[] = {{"tags", post.tags, tag_pages}, {"categories", post.categories, category_pages}};
  for (const auto& list : lists) {
    if (!page->Exists(std::string("post.") + list.member)) continue;
    JsonDocument terms = JsonDocument::NewArray();
    for (const std::string& name : list.names) {
      JsonDocument term = JsonDocument::NewObject();
      term.SetText("name", name);
      term.SetText(
          "url",
          list.pages ? TermPageLink(list.member, Taxonomy::FolderName(Taxonomy::Fold(name))) : "");
      terms.Append("", std::move(term));
    }
    page->SetObject("post", list.member, terms);
  }
}

std::string PostView::TermPageLink(std::string_view member, std::string_view folder) const {
  std::string link = url_prefix_;
  link += '/';
  link += member;
  link += '/';
  link += PostIndex::LinkName(folder);
  link += "/index.html";
  return link;
}

std::string PostView::NewestUpdate(const std::vector<PostFile>& posts, std::string_view not_after) {
  std::string newest;
  for (const PostFile& post : posts)
    if (post.update_time <= not_after) newest = std::max(newest, post.update_time);
  return newest;
}

std::string PostView::NewestUpdate(const std::vector<PostFile>& posts,
                                   const std::vector<int>& which, std::string_view not_after) {
  std::string newest;
  for (int i : which) {
    const std::string& updated = posts[static_cast<std::size_t>(i)].update_time;
    if (updated <= not_after) newest = std::max(newest, updated);
  }
  return newest;
}

void PostView::SetHasMath(std::string_view html, JsonDocument* page) const {
  bool has_math = html.find("class=\"math inline\"") != std::string_view::npos ||
                  html.find("class=\"math display\"") != std::string_view::npos;
  page->SetBool("post.has_math", has_math);
}

}  // namespace tarn
