// SiteWatcher: notices when the sources of a site change, so that a preview
// can rebuild it. It watches the workspace's _posts/, themes/, config/ and
// template/ folders with all their subfolders (GLib file monitors, inotify
// underneath), including folders created later and those four folders
// appearing after the start.
//
// Changes are debounced: the callback runs once the folders have been quiet
// for quiet_ms, with every path that changed meanwhile, so a burst of saves
// (an editor writing a temporary file and renaming it, a theme copied in)
// is one rebuild. A steady stream of changes still calls back at least every
// kMaxDelayMs. Editor leftovers (hidden files, "~" backups, vim's swap and
// probe files) and template/index.html, which the desktop program writes
// itself, do not count as changes.
//
// Thread safety: the monitors and the callback run on the GLib main context
// that was the thread default when Start was called; use the watcher on
// that thread only.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tarn {

class SiteWatcher {
 public:
  // An editor's save (a temporary file written, then renamed) takes a few
  // milliseconds; the quiet time is what a save waits before its rebuild.
  static constexpr int kDefaultQuietMs = 30;
  static constexpr int kMaxDelayMs = 2000;

  // changed: the paths that changed, relative to the workspace root
  // ("_posts/Hello.md"), sorted, each once.
  using Callback = std::function<void(const std::vector<std::string>& changed)>;

  // root: the workspace folder, without a trailing separator.
  SiteWatcher(std::string root, Callback callback, int quiet_ms = kDefaultQuietMs);
  ~SiteWatcher();
  SiteWatcher(const SiteWatcher&) = delete;
  SiteWatcher& operator=(const SiteWatcher&) = delete;

  // Starts watching. Returns false, with *error saying why, when the root is
  // not a folder or cannot be watched.
  bool Start(std::string* error);

  // The folders watched, relative to the root. For tests.
  std::vector<std::string> WatchedFolders() const;

  // True when a change to the path (relative to the root) would count.
  static bool Counts(const std::string& relative);

  // The folders under the root that hold the site's sources.
  static const std::vector<std::string>& SourceFolders();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace tarn
