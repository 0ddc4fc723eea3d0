#include "app/reader_preview.h"

#include <cstdio>
#include <filesystem>
#include <utility>

#include <gio/gio.h>
#include <glib/gi18n.h>

#include "app/message_box.h"
#include "app/reason_log.h"
#include "app/site_build.h"
#include "content/post_index.h"
#include "data/translation.h"

namespace tarn {

ReaderPreview::ReaderPreview(Workspace workspace, SiteBuild* build, ReasonLog* reasons,
                             std::function<GtkWindow*()> owner, std::function<void()> refresh)
    : workspace_(std::move(workspace)),
      build_(build),
      reasons_(reasons),
      owner_(std::move(owner)),
      refresh_(std::move(refresh)) {}

void ReaderPreview::Show(const std::string& path) {
  // A build (the manager's, or another preview's while it waits on the
  // page) owns the site builder until it ends.
  if (build_->running()) {
    Fail(SiteBuild::kRunning);
    return;
  }
  if (std::filesystem::path(path).parent_path() != std::filesystem::path(workspace_.posts_dir())) {
    Fail(_("只有 _posts/ 里的文章会被渲染：\n") + path);
    return;
  }
  reasons_->Take();
  if (!build_->OnThisThread()) {
    std::string reasons = reasons_->Take();
    Fail(reasons.empty() ? _("渲染出错") : _("渲染出错\n\n") + reasons);
    return;
  }
  refresh_();
  // The post as the build read it; the build has reported what is wrong
  // with it already.
  PostFile post;
  if (!PostIndex::ReadPost(path, &post, [](const std::string&) {})) {
    Fail(_("渲染后没有找到文章页面：\n") + path);
  } else if (post.draft) {
    Fail(_("草稿不会被渲染：\n") + path);
  } else {
    OpenPage(workspace_.PublicPath(post.ArticleFile()));
  }
}

void ReaderPreview::OpenPage(const std::string& page) {
  if (!g_file_test(page.c_str(), G_FILE_TEST_IS_REGULAR)) {
    Fail(_("渲染后没有找到文章页面：\n") + page);
    return;
  }
  gchar* uri = g_filename_to_uri(page.c_str(), nullptr, nullptr);
  GError* error = nullptr;
  if (!uri || !g_app_info_launch_default_for_uri(uri, nullptr, &error)) {
    Fail(Translation::Format(_("无法打开 %s\n%s"), page.c_str(), error ? error->message : ""));
  } else {
    std::printf("editor: opened %s\n", uri);
    std::fflush(stdout);
  }
  if (error) g_error_free(error);
  g_free(uri);
}

void ReaderPreview::Fail(const std::string& text) {
  MessageBox::ShowTimed(owner_(), text, "Error", MessageIcon::kExclamation);
}

}  // namespace tarn
