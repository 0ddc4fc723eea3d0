#include "preview/site_watcher.h"

#include <gio/gio.h>
#include <glib.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>

#include "workspace/workspace.h"

namespace tarn {
namespace {

namespace fs = std::filesystem;

// GLib holds back repeated "changed" events of one file for this long by
// default (800 ms); the debounce does that job here, and faster.
constexpr int kMonitorRateLimitMs = 50;

bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() &&
         text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

struct SiteWatcher::Impl {
  std::string root;
  Callback callback;
  int quiet_ms;
  GMainContext* context = nullptr;
  GFileMonitor* root_monitor = nullptr;
  std::map<std::string, GFileMonitor*> monitors;  // relative folder -> monitor
  std::set<std::string> pending;
  gint64 first_pending = 0;  // monotonic time of the oldest pending change
  GSource* timer = nullptr;

  ~Impl() {
    StopTimer();
    for (auto& [folder, monitor] : monitors) Release(monitor);
    if (root_monitor) Release(root_monitor);
    if (context) g_main_context_unref(context);
  }

  void Release(GFileMonitor* monitor) {
    g_signal_handlers_disconnect_by_data(monitor, this);
    g_file_monitor_cancel(monitor);
    g_object_unref(monitor);
  }

  std::string Relative(GFile* file) const {
    gchar* path = g_file_get_path(file);
    if (!path) return "";
    std::string full = path;
    g_free(path);
    if (full.size() <= root.size() + 1 || full.compare(0, root.size(), root) != 0 ||
        full[root.size()] != '/')
      return "";
    return full.substr(root.size() + 1);
  }

  GFileMonitor* Monitor(const std::string& absolute) {
    GFile* file = g_file_new_for_path(absolute.c_str());
    GFileMonitor* monitor =
        g_file_monitor_directory(file, G_FILE_MONITOR_WATCH_MOVES, nullptr, nullptr);
    g_object_unref(file);
    if (!monitor) return nullptr;
    g_file_monitor_set_rate_limit(monitor, kMonitorRateLimitMs);
    g_signal_connect(monitor, "changed", G_CALLBACK(OnChanged), this);
    return monitor;
  }

  // Watches folder (relative) and every folder below it.
  void AddTree(const std::string& folder) {
    std::error_code ec;
    fs::path absolute = root + "/" + folder;
    if (!fs::is_directory(absolute, ec)) return;
    if (!monitors.count(folder)) {
      if (GFileMonitor* monitor = Monitor(absolute.string())) monitors[folder] = monitor;
    }
    // A link to a folder is watched itself but not followed further down,
    // so that a link loop cannot make the watch endless.
    if (fs::is_symlink(absolute, ec)) return;
    for (fs::directory_iterator it(absolute, ec), end; !ec && it != end; it.increment(ec)) {
      std::error_code entry_ec;
      if (it->is_directory(entry_ec) && !it->is_symlink(entry_ec)) {
        std::string name = it->path().filename().string();
        if (!name.empty() && name[0] != '.') AddTree(folder + "/" + name);
      }
    }
  }

  void RemoveTree(const std::string& folder) {
    for (auto it = monitors.begin(); it != monitors.end();) {
      if (it->first == folder || it->first.rfind(folder + "/", 0) == 0) {
        Release(it->second);
        it = monitors.erase(it);
      } else {
        ++it;
      }
    }
  }

  bool IsSourcePath(const std::string& relative) const {
    for (const std::string& folder : SourceFolders())
      if (relative == folder || relative.rfind(folder + "/", 0) == 0) return true;
    return false;
  }

  static void OnChanged(GFileMonitor*, GFile* file, GFile* other, GFileMonitorEvent event,
                        gpointer data) {
    static_cast<Impl*>(data)->Changed(file, other, event);
  }

  void Changed(GFile* file, GFile* other, GFileMonitorEvent event) {
    if (event == G_FILE_MONITOR_EVENT_PRE_UNMOUNT || event == G_FILE_MONITOR_EVENT_UNMOUNTED)
      return;
    bool any = false;
    for (GFile* each : {file, other}) {
      if (!each) continue;
      std::string relative = Relative(each);
      if (relative.empty() || !IsSourcePath(relative)) continue;
      bool gone = event == G_FILE_MONITOR_EVENT_DELETED ||
                  event == G_FILE_MONITOR_EVENT_MOVED_OUT ||
                  (event == G_FILE_MONITOR_EVENT_RENAMED && each == file);
      if (gone) {
        RemoveTree(relative);
      } else {
        std::error_code ec;
        if (Counts(relative) && fs::is_directory(root + "/" + relative, ec)) AddTree(relative);
      }
      if (Counts(relative)) {
        pending.insert(relative);
        any = true;
      }
    }
    if (any) Arm();
  }

  void Arm() {
    gint64 now = g_get_monotonic_time();
    if (!timer) first_pending = now;
    StopTimer();
    gint64 waited_ms = (now - first_pending) / 1000;
    int delay =
        static_cast<int>(std::max<gint64>(0, std::min<gint64>(quiet_ms, kMaxDelayMs - waited_ms)));
    timer = g_timeout_source_new(static_cast<guint>(delay));
    g_source_set_callback(timer, OnQuiet, this, nullptr);
    g_source_attach(timer, context);
  }

  void StopTimer() {
    if (!timer) return;
    g_source_destroy(timer);
    g_source_unref(timer);
    timer = nullptr;
  }

  static gboolean OnQuiet(gpointer data) {
    auto* impl = static_cast<Impl*>(data);
    g_source_unref(impl->timer);
    impl->timer = nullptr;
    std::vector<std::string> changed(impl->pending.begin(), impl->pending.end());
    impl->pending.clear();
    if (!changed.empty() && impl->callback) impl->callback(changed);
    return G_SOURCE_REMOVE;
  }
};

SiteWatcher::SiteWatcher(std::string root, Callback callback, int quiet_ms)
    : impl_(std::make_unique<Impl>()) {
  impl_->root = std::move(root);
  impl_->callback = std::move(callback);
  impl_->quiet_ms = quiet_ms;
}

SiteWatcher::~SiteWatcher() = default;

bool SiteWatcher::Start(std::string* error) {
  std::error_code ec;
  if (!fs::is_directory(impl_->root, ec)) {
    if (error) *error = impl_->root + ": no such workspace folder";
    return false;
  }
  if (impl_->root_monitor) return true;
  impl_->context = g_main_context_ref_thread_default();
  // The root itself, for source folders that appear (or go) later.
  impl_->root_monitor = impl_->Monitor(impl_->root);
  if (!impl_->root_monitor) {
    if (error) *error = impl_->root + ": cannot be watched for changes";
    return false;
  }
  for (const std::string& folder : SourceFolders()) impl_->AddTree(folder);
  return true;
}

std::vector<std::string> SiteWatcher::WatchedFolders() const {
  std::vector<std::string> folders;
  for (const auto& [folder, monitor] : impl_->monitors) folders.push_back(folder);
  return folders;
}

bool SiteWatcher::Counts(const std::string& relative) {
  if (relative == Workspace::kManagerPage) return false;
  std::string name = relative.substr(relative.rfind('/') + 1);
  if (name.empty() || name[0] == '.' || name.back() == '~' || name == "4913") return false;
  if (EndsWith(name, ".swp") || EndsWith(name, ".swx") || EndsWith(name, ".swo")) return false;
  return true;
}

const std::vector<std::string>& SiteWatcher::SourceFolders() {
  static const std::vector<std::string> kFolders(Workspace::kSourceFolders.begin(),
                                                 Workspace::kSourceFolders.end());
  return kFolders;
}

}  // namespace tarn
