#include "preview/preview_builder.h"

#include <glib.h>
#include <sys/stat.h>
#include <time.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>
#include <vector>

#include "render/output_file.h"
#include "render/public_record.h"
#include "workspace/workspace.h"

namespace tarn {
namespace {

namespace fs = std::filesystem;

bool CopyTree(const fs::path& from, const fs::path& to, bool top, std::string* error) {
  std::error_code ec;
  if (!fs::create_directory(to, ec) && ec) {
    if (error) *error = to.string() + ": cannot be created: " + ec.message();
    return false;
  }
  for (fs::directory_iterator it(from, ec), end; it != end; it.increment(ec)) {
    if (ec) break;
    const fs::path& source = it->path();
    fs::path target = to / source.filename();
    if (top && source.filename() == ".git") continue;  // the deploy repository, not the site
    std::error_code entry_ec;
    fs::file_status status = it->symlink_status(entry_ec);
    if (fs::is_symlink(status)) {
      fs::copy_symlink(source, target, entry_ec);
    } else if (fs::is_directory(status)) {
      if (!CopyTree(source, target, false, error)) return false;
    } else if (fs::is_regular_file(status)) {
      fs::copy_file(source, target, entry_ec);
    }
    if (entry_ec) {
      if (error)
        *error = source.string() + ": cannot be copied to " + target.string() + ": " +
                 entry_ec.message();
      return false;
    }
  }
  if (ec) {
    if (error) *error = from.string() + ": cannot be read: " + ec.message();
    return false;
  }
  return true;
}

// True when the plain file at copy holds what the file at built holds,
// compared a piece at a time (a static file may be larger than memory).
// One with built's size and modification time is taken to be the same, as
// a build takes a static file's earlier copy to be (render/output_file.h).
bool SameFile(const std::string& built, const std::string& copy) {
  struct stat a {
  }, b{};
  if (::stat(built.c_str(), &a) != 0 || ::lstat(copy.c_str(), &b) != 0 || !S_ISREG(b.st_mode) ||
      a.st_size != b.st_size)
    return false;
  if (a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec) return true;
  std::ifstream one(built, std::ios::binary), two(copy, std::ios::binary);
  static constexpr std::size_t kPiece = 64 * 1024;
  std::vector<char> x(kPiece), y(kPiece);
  while (one && two) {
    one.read(x.data(), kPiece);
    two.read(y.data(), kPiece);
    if (one.gcount() != two.gcount() || !std::equal(x.begin(), x.begin() + one.gcount(), y.begin()))
      return false;
  }
  return one.eof() && two.eof();
}

}  // namespace

struct PreviewBuilder::Shared {
  std::mutex mutex;
  std::condition_variable wake;
  bool requested = false;
  bool stopping = false;
  std::set<std::string> changed;
  std::vector<std::string> retired;  // snapshots to delete

  // Main thread only.
  GMainContext* context = nullptr;
  ResultCallback done;
  std::string shown;  // the snapshot last delivered as good
};

PreviewBuilder::PreviewBuilder(std::string workspace, std::string stage_dir, BuildFunction build,
                               ResultCallback done, bool update_public)
    : workspace_(std::move(workspace)),
      stage_dir_(std::move(stage_dir)),
      update_public_(update_public),
      shared_(std::make_shared<Shared>()) {
  shared_->context = g_main_context_ref_thread_default();
  shared_->done = std::move(done);
  thread_ = std::thread(&PreviewBuilder::Run, this, std::move(build));
}

PreviewBuilder::~PreviewBuilder() {
  {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    shared_->stopping = true;
  }
  shared_->wake.notify_all();
  thread_.join();
  g_main_context_unref(shared_->context);
  shared_->done = nullptr;
  shared_.reset();  // deliveries still queued find nothing to call
  std::error_code ec;
  fs::remove_all(stage_dir_, ec);
}

void PreviewBuilder::Request(const std::vector<std::string>& changed) {
  {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    shared_->requested = true;
    shared_->changed.insert(changed.begin(), changed.end());
  }
  shared_->wake.notify_all();
}

bool PreviewBuilder::CopySite(const std::string& from, const std::string& to, std::string* error) {
  std::error_code ec;
  if (!fs::is_directory(from, ec)) {
    if (error) *error = from + ": no such folder";
    return false;
  }
  if (fs::exists(to, ec)) {
    if (error) *error = to + ": already exists";
    return false;
  }
  return CopyTree(from, to, true, error);
}

std::string PreviewBuilder::MakeStageFolder(std::string* error) {
  std::vector<std::string> bases;
  if (const char* runtime = g_getenv("XDG_RUNTIME_DIR")) bases.push_back(runtime);
  bases.push_back("/dev/shm");
  bases.push_back(g_get_tmp_dir());
  for (const std::string& base : bases) {
    if (base.empty()) continue;
    std::string pattern = base + "/tarn-serve-XXXXXX";
    if (g_mkdtemp(pattern.data())) return pattern;
    *error = pattern + ": " + g_strerror(errno);
  }
  return "";
}

bool PreviewBuilder::Prepare(std::string* error) {
  std::error_code ec;
  fs::create_directories(StageRoot(), ec);
  fs::create_directories(stage_dir_ + "/snapshots", ec);
  if (ec) {
    *error = stage_dir_ + ": cannot be created: " + ec.message();
    return false;
  }
  // Links even to folders that do not exist yet (_posts before the first
  // post): they resolve once the folder appears.
  const Workspace workspace(workspace_);
  const Workspace stage(StageRoot());
  for (std::string_view folder : Workspace::kSourceFolders) {
    fs::create_directory_symlink(workspace.Path(folder), stage.Path(folder), ec);
    if (ec) {
      *error = stage.Path(folder) + ": cannot be linked: " + ec.message();
      return false;
    }
  }
  if (!fs::is_directory(workspace.public_dir(), ec)) {
    if (fs::create_directory(stage.public_dir(), ec)) return true;
    *error = stage.public_dir() + ": cannot be created: " + ec.message();
    return false;
  }
  if (!CopySite(workspace.public_dir(), stage.public_dir(), error)) return false;
  // The copy's alias pages are the workspace's, and so is their record.
  std::string ignored;
  PublicRecord::Load(workspace).Save(stage, &ignored);
  // What the workspace's public/ held at the start counts as the builds'
  // own: a page the build removes in the stage is removed there too.
  for (fs::recursive_directory_iterator it(stage.public_dir(), ec), end; !ec && it != end;
       it.increment(ec)) {
    if (it->is_regular_file() && !it->is_symlink())
      mirrored_.insert(fs::relative(it->path(), stage.public_dir()).string());
  }
  return true;
}

int PreviewBuilder::Mirror(std::string* messages) {
  const std::string from = Workspace(StageRoot()).public_dir();
  const std::string to = Workspace(workspace_).public_dir();
  int written = 0;
  std::error_code link_ec;
  if (fs::is_symlink(to, link_ec)) {
    *messages +=
        to + ": is a symbolic link; nothing is written through it (replace it by a folder)\n";
    return written;
  }
  std::set<std::string> present;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(from, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code entry_ec;
    if (it->is_symlink(entry_ec) || !it->is_regular_file(entry_ec)) continue;
    if (Waiting()) return -1;  // the next build comes first; its update redoes this
    std::string relative = fs::relative(it->path(), from, entry_ec).string();
    present.insert(relative);
    std::string target = to + "/" + relative;
    if (fs::is_symlink(target, entry_ec)) continue;  // the blogger's link, left alone
    if (SameFile(it->path().string(), target)) {
      mirrored_.insert(relative);
      continue;
    }
    fs::create_directories(fs::path(target).parent_path(), entry_ec);
    std::string error;
    if (CopyOutputFile(it->path().string(), target, &error)) {
      mirrored_.insert(relative);
      ++written;
    } else {
      *messages += error + '\n';
    }
  }
  if (ec) {
    *messages += from + ": cannot be read: " + ec.message() + '\n';
    return written;  // without the full list, removing would guess
  }
  for (auto it = mirrored_.begin(); it != mirrored_.end();) {
    if (present.count(*it)) {
      ++it;
      continue;
    }
    std::error_code remove_ec;
    std::string target = to + "/" + *it;
    if (fs::is_regular_file(fs::symlink_status(target, remove_ec)) && fs::remove(target, remove_ec))
      ++written;
    it = mirrored_.erase(it);
  }
  return written;
}

bool PreviewBuilder::Waiting() {
  std::lock_guard<std::mutex> lock(shared_->mutex);
  return shared_->requested || shared_->stopping;
}

void PreviewBuilder::Run(BuildFunction build) {
  int number = 0;
  std::string prepare_error;
  bool prepared = Prepare(&prepare_error);
  while (true) {
    std::vector<std::string> changed;
    std::vector<std::string> retired;
    bool wanted = false;
    {
      std::unique_lock<std::mutex> lock(shared_->mutex);
      shared_->wake.wait(lock, [this] {
        return shared_->stopping || shared_->requested || !shared_->retired.empty();
      });
      retired.swap(shared_->retired);
      if (shared_->stopping) break;
      if (shared_->requested) {
        changed.assign(shared_->changed.begin(), shared_->changed.end());
        shared_->changed.clear();
        shared_->requested = false;
        wanted = true;
      }
    }
    for (const std::string& folder : retired) {
      std::error_code ec;
      fs::remove_all(folder, ec);
    }
    if (!wanted) continue;  // woken to clean up only

    Result result = BuildOnce(build, ++number, changed, prepared, prepare_error);
    bool mirror = result.ok && update_public_;
    Deliver(std::move(result));
    // After the preview is out: public/ on a disk syncs every file it
    // writes, which the open pages need not wait for.
    if (mirror) UpdatePublic(number);
  }
  // The function may hold objects bound to this thread: they end here.
  build = nullptr;
}

PreviewBuilder::Result PreviewBuilder::BuildOnce(const BuildFunction& build, int number,
                                                 const std::vector<std::string>& changed,
                                                 bool prepared, const std::string& prepare_error) {
  Result result;
  result.number = number;
  auto start = std::chrono::steady_clock::now();
  std::string messages;
  DiagnosticSink sink = [&messages](const std::string& message) {
    messages += message;
    messages += '\n';
  };
  timespec cpu_start{}, cpu_end{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpu_start);
  if (prepared) {
    result.ok = build(StageRoot(), changed, sink);
  } else {
    messages = prepare_error + '\n';
  }
  result.build_seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (result.ok) {
    std::string snapshot = stage_dir_ + "/snapshots/" + std::to_string(number);
    std::string error;
    if (CopySite(Workspace(StageRoot()).public_dir(), snapshot, &error)) {
      result.snapshot = snapshot;
    } else {
      result.ok = false;
      messages += error + '\n';
      std::error_code ec;
      fs::remove_all(snapshot, ec);
    }
  }
  if (!messages.empty() && messages.back() == '\n') messages.pop_back();
  result.messages = messages;
  result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpu_end);
  result.cpu_seconds = static_cast<double>(cpu_end.tv_sec - cpu_start.tv_sec) +
                       static_cast<double>(cpu_end.tv_nsec - cpu_start.tv_nsec) / 1e9;
  return result;
}

void PreviewBuilder::UpdatePublic(int number) {
  Result update;
  update.number = number;
  update.public_updated = true;
  std::string update_messages;
  update.written = Mirror(&update_messages);
  update.ok = update_messages.empty();
  if (update.ok && update.written >= 0 &&
      !PublicRecord::Load(Workspace(StageRoot())).Save(Workspace(workspace_), &update_messages)) {
    update.ok = false;
    update_messages += '\n';
  }
  if (!update_messages.empty()) update_messages.pop_back();
  update.messages = update_messages;
  if (update.written >= 0) Deliver(std::move(update));
}

void PreviewBuilder::Deliver(Result result) {
  struct Delivery {
    std::weak_ptr<Shared> shared;
    Result result;
  };
  auto* delivery = new Delivery{shared_, std::move(result)};
  g_main_context_invoke_full(
      shared_->context, G_PRIORITY_DEFAULT,
      [](gpointer data) -> gboolean {
        auto* delivery = static_cast<Delivery*>(data);
        std::shared_ptr<Shared> shared = delivery->shared.lock();
        if (!shared) return G_SOURCE_REMOVE;
        const Result& result = delivery->result;
        if (result.ok && !result.public_updated) {
          std::string previous = shared->shown;
          shared->shown = result.snapshot;
          if (shared->done) shared->done(result);
          if (!previous.empty()) {
            {
              std::lock_guard<std::mutex> lock(shared->mutex);
              shared->retired.push_back(previous);
            }
            shared->wake.notify_all();
          }
        } else if (shared->done) {
          shared->done(result);
        }
        return G_SOURCE_REMOVE;
      },
      delivery, [](gpointer data) { delete static_cast<Delivery*>(data); });
}

}  // namespace tarn
