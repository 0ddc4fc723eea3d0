#include "check/post_checks.h"

#include <algorithm>
#include <filesystem>
#include <map>

namespace tarn {
namespace {

constexpr std::time_t kYearSeconds = 365 * 24 * 60 * 60;
constexpr char kEarliestPlausible[] = "1990";

void Warn(CheckReport* report, const std::string& source, const char* kind,
          const std::string& message, const std::string& target) {
  report->Add(source, source, {CheckProblem::Severity::kWarning, kind, message, target});
}

}  // namespace

std::string PostChecks::SourceOf(const PostFile& post) {
  return std::string(Workspace::kPostsDir) + "/" + post.name;
}

PostChecks::PostChecks(const Workspace& workspace) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(workspace.posts_dir(), ec)) {
    std::string name = entry.path().filename().string();
    if (PostIndex::IsPostName(name) && PostIndex::IsUtf8Name(name)) names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    PostFile post;
    std::vector<std::string> reasons;
    if (!PostIndex::ReadPost(workspace.PostPath(name), &post,
                             [&reasons](const std::string& reason) { reasons.push_back(reason); }))
      continue;
    for (const std::string& reason : reasons) unreadable_.push_back({SourceOf(post), reason});
    dates_.emplace_back(SourceOf(post), post.post_time);
    if (!post.draft) published_.push_back(std::move(post));
  }
}

void PostChecks::Check(std::time_t now, CheckReport* report) const {
  for (const Unreadable& post : unreadable_)
    report->Add(post.source, post.source,
                {CheckProblem::Severity::kError, "front-matter", post.reason, post.source});
  std::string latest = PostIndex::FormatPostTime(now + kYearSeconds);
  for (const auto& [source, time] : dates_) {
    if (time < kEarliestPlausible)
      Warn(report, source, "odd-date", "its date " + time + " lies before 1990: check the year",
           time);
    else if (time > latest)
      Warn(report, source, "odd-date",
           "its date " + time + " lies more than a year ahead: check the year", time);
  }
  CheckDuplicates(report);
}

void PostChecks::CheckDuplicates(CheckReport* report) const {
  std::map<std::string, const PostFile*> titles;
  std::map<std::string, const PostFile*> slugs;
  for (const PostFile& post : published_) {
    auto [title, new_title] = titles.emplace(post.title, &post);
    if (!new_title)
      Warn(report, SourceOf(post), "duplicate-title",
           "its title \"" + post.title + "\" is also the title of " + SourceOf(*title->second),
           SourceOf(*title->second));
    auto [slug, new_slug] = slugs.emplace(post.slug, &post);
    if (!new_slug)
      Warn(report, SourceOf(post), "duplicate-slug",
           "its page articles/" + post.slug + ".html is also the page of " +
               SourceOf(*slug->second) + ": one hides the other; give one a slug of its own",
           SourceOf(*slug->second));
  }
}

}  // namespace tarn
