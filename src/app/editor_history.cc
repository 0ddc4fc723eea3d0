#include "app/editor_history.h"

#include <glib/gi18n.h>

#include <cstdio>
#include <utility>

#include "app/app_state.h"
#include "app/browser_view.h"

namespace tarn {

EditorHistory::EditorHistory(const AppState* state, std::function<BrowserView*()> view,
                             std::function<void(const std::string&)> fail)
    : state_(state), view_(std::move(view)), fail_(std::move(fail)) {}

void EditorHistory::Show() {
  BrowserView* view = view_();
  if (!view || busy_) return;
  std::string post = state_->EditedPost();
  PostHistoryListing listing;
  if (post.empty()) {
    listing.reason = _("新文章还没有历史版本：先保存，再备份");
  } else {
    busy_ = true;
    listing = PostHistory(state_->workspace.root()).List(post);
    busy_ = false;
    if (view_() != view) return;               // the window was closed meanwhile
    if (post != state_->EditedPost()) return;  // another post
  }
  listed_ = post;
  versions_ = listing.versions;
  std::string ignored;
  std::string error;
  if (!view->CallFunction("showHistory", {PostHistory::ToJson(listing)}, &ignored, &error)) {
    std::fprintf(stderr, "tarn: history: %s\n", error.c_str());
    return;
  }
  std::printf("editor: history of %s: %zu versions\n", post.empty() ? "(new post)" : post.c_str(),
              versions_.size());
  std::fflush(stdout);
}

void EditorHistory::Restore(const std::string& commit) {
  BrowserView* view = view_();
  if (!view || busy_) return;
  std::string post = state_->EditedPost();
  const PostVersion* chosen = nullptr;
  if (PostHistory::IsCommitId(commit) && !post.empty() && post == listed_) {
    for (const PostVersion& version : versions_) {
      if (version.commit == commit) chosen = &version;
    }
  }
  if (!chosen) {
    fail_(std::string(_("无法载入历史版本\n")) + "\"" + commit + "\" is no listed version of " +
          (post.empty() ? "this post" : post));
    return;
  }
  PostVersion version = *chosen;
  std::string text;
  std::string error;
  busy_ = true;
  bool read = PostHistory(state_->workspace.root()).Read(version, &text, &error);
  busy_ = false;
  if (view_() != view) return;
  std::string ignored;
  if (!read || !view->CallFunction("restoreVersion", {text, PostHistory::DateText(version.time)},
                                   &ignored, &error)) {
    fail_(_("无法载入历史版本\n") + error);
    return;
  }
  std::printf("editor: restored %s of %s\n", version.commit.c_str(), post.c_str());
  std::fflush(stdout);
}

}  // namespace tarn
