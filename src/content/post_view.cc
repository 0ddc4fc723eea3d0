#include "content/post_view.h"

#include <algorithm>
#include <cstdio>
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

constexpr const char* kMonths[] = {"January",   "February", "March",    "April",
                                   "May",       "June",     "July",     "August",
                                   "September", "October",  "November", "December"};

// How a language writes a day and a month; the first entry whose language
// (and region, where it has one) match the tag's is used.
enum class DateForm { kIso, kEnglishMonthFirst, kEnglishDayFirst, kChinese };
DateForm FormOf(std::string_view language) {
  std::string_view primary = language.substr(0, std::min(language.find('-'), language.size()));
  if (primary == "zh") return DateForm::kChinese;
  if (primary != "en") return DateForm::kIso;
  return language == "en" || language == "en-US" ? DateForm::kEnglishMonthFirst
                                                 : DateForm::kEnglishDayFirst;
}

// The year, month and day of "yyyy-MM-dd ..." (or "yyyy-M-d ..."); false
// for another text.
bool ReadDay(std::string_view time, int* year, int* month, int* day) {
  return std::sscanf(std::string(time).c_str(), "%4d-%2d-%2d", year, month, day) == 3 &&
         *month >= 1 && *month <= 12 && *day >= 1 && *day <= 31;
}

// "yyyy-MM-dd" (with_day) or "yyyy-MM".
std::string IsoText(int year, int month, int day, bool with_day) {
  char text[32];
  if (with_day)
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", year, month, day);
  else
    std::snprintf(text, sizeof text, "%04d-%02d", year, month);
  return text;
}

}  // namespace

PostView::PostView(std::string url_prefix, std::string site_url, std::string author,
                   std::string language)
    : url_prefix_(std::move(url_prefix)),
      site_url_(std::move(site_url)),
      author_(std::move(author)),
      language_(std::move(language)) {}

std::string PostView::DateText(std::string_view language, std::string_view time) {
  int year = 0, month = 0, day = 0;
  if (!ReadDay(time, &year, &month, &day)) return std::string(time);
  const std::string y = std::to_string(year), m = kMonths[month - 1], d = std::to_string(day);
  switch (FormOf(language)) {
    case DateForm::kEnglishMonthFirst:
      return m + " " + d + ", " + y;
    case DateForm::kEnglishDayFirst:
      return d + " " + m + " " + y;
    case DateForm::kChinese:
      return y + "年" + std::to_string(month) + "月" + d + "日";
    case DateForm::kIso:
      break;
  }
  return IsoText(year, month, day, true);
}

std::string PostView::MonthText(std::string_view language, std::string_view time) {
  int year = 0, month = 0, day = 0;
  if (!ReadDay(time, &year, &month, &day)) return std::string(time);
  switch (FormOf(language)) {
    case DateForm::kEnglishMonthFirst:
    case DateForm::kEnglishDayFirst:
      return std::string(kMonths[month - 1]) + " " + std::to_string(year);
    case DateForm::kChinese:
      return std::to_string(year) + "年" + std::to_string(month) + "月";
    case DateForm::kIso:
      break;
  }
  return IsoText(year, month, day, false);
}

JsonDocument PostView::Record(const PostFile& post, bool with_content) const {
  JsonDocument record = JsonDocument::NewObject();
  record.SetText("title", post.title);
  record.SetText("url", post.Url(url_prefix_));
  record.SetText("absolute_url", post.Url(site_url_));
  if (with_content) record.SetText("content", post.content);
  record.SetText("author", author_);
  record.SetText("post_time", post.post_time);
  record.SetText("update_time", post.update_time);
  if (!language_.empty()) {
    record.SetText("post_date", DateText(language_, post.post_time));
    record.SetText("update_date", DateText(language_, post.update_time));
  }
  if (post.has_front) AddFrontMembers(post, &record);
  return record;
}

void PostView::SetHead(const PostFile& post, JsonDocument* page) const {
  if (!page->HasTree()) page->Create();
  page->SetText("post.title", post.title);
  page->SetText("post.url", post.Url(url_prefix_));
  page->SetText("post.absolute_url", post.Url(site_url_));
}

void PostView::SetAddress(std::string_view relative, JsonDocument* page) const {
  std::string link = "/" + PostIndex::LinkName(relative);
  page->SetText("post.url", url_prefix_ + link);
  page->SetText("post.absolute_url", site_url_ + link);
}

void PostView::SetBody(const PostFile& post, std::string_view html, JsonDocument* page) const {
  page->SetText("post.content", html);
  page->SetText("post.post_time", post.post_time);
  page->SetText("post.update_time", post.update_time);
  if (!language_.empty()) {
    page->SetText("post.post_date", DateText(language_, post.post_time));
    page->SetText("post.update_date", DateText(language_, post.update_time));
  }
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
