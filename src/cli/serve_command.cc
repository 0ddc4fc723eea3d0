// tarn serve: builds the site, serves it on 127.0.0.1 and rebuilds it when
// its sources change, so that open pages show every save.
//
// The main thread runs the GLib main loop: the HTTP server, the file
// watcher and the signals. Builds run on the preview builder's thread, with
// a script host created there (a JavaScriptCore context stays on its
// thread), so pages are served while a build runs. Each build starts from a
// fresh SiteBuilder, which reads base.json and conf.ini again.

#include <glib-unix.h>
#include <glib.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "cli/command.h"
#include "net/preview_server.h"
#include "script/jsc_script_host.h"
#include "site/preview_builder.h"
#include "site/site_builder.h"
#include "site/site_watcher.h"
#include "site/workspace_layout.h"

namespace tarn {
namespace {

constexpr int kDefaultPort = 4000;
constexpr const char kUsage[] = "usage: tarn [-w DIR] serve [--port N] [--drafts]\n";

void Print(FILE* out, const std::string& text) {
  std::fputs(text.c_str(), out);
  std::fputc('\n', out);
  std::fflush(out);
}

bool ParsePort(const std::string& text, int* port) {
  if (text.empty() || text.size() > 5) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  *port = std::atoi(text.c_str());
  return *port <= 65535;
}

// The page's markToHtml remembered between rebuilds: a rebuild after one
// post changed converts that post only, instead of every post again. Its
// results depend on the text and the page's scripts alone, and the cache
// goes with the host when template/ changes. Entries not used by the last
// two builds are dropped, so it holds about one site's worth.
class RememberingHost : public ScriptHost {
 public:
  explicit RememberingHost(std::unique_ptr<JscScriptHost> host) : host_(std::move(host)) {}

  void StartBuild() {
    older_ = std::move(recent_);
    recent_.clear();
  }

  bool HasFunction(const std::string& name) override { return host_->HasFunction(name); }

  bool CallFunction(const std::string& name, const std::vector<std::string>& args,
                    std::string* result, std::string* error) override {
    if (name != "markToHtml" || args.size() != 1)
      return host_->CallFunction(name, args, result, error);
    if (auto it = recent_.find(args[0]); it != recent_.end()) {
      *result = it->second;
      return true;
    }
    if (auto it = older_.find(args[0]); it != older_.end()) {
      *result = it->second;
      recent_.emplace(args[0], std::move(it->second));
      older_.erase(it);
      return true;
    }
    if (!host_->CallFunction(name, args, result, error)) return false;
    recent_.emplace(args[0], *result);
    return true;
  }

  std::string Origin() const override { return host_->Origin(); }

 private:
  std::unique_ptr<JscScriptHost> host_;
  std::unordered_map<std::string, std::string> recent_;
  std::unordered_map<std::string, std::string> older_;
};

// The build as the builder's thread runs it, in the staging workspace. The
// script host is loaded on that thread at the first build and again
// whenever template/ changed. Messages name the workspace's files, not the
// stage's links to them.
class ThreadBuild {
 public:
  ThreadBuild(std::string workspace, bool drafts)
      : workspace_(std::move(workspace)), drafts_(drafts) {}

  bool operator()(const std::string& stage_root, const std::vector<std::string>& changed,
                  const DiagnosticSink& sink) {
    DiagnosticSink named = [&](const std::string& message) {
      std::string text = message;
      for (size_t at; (at = text.find(stage_root + "/")) != std::string::npos;)
        text.replace(at, stage_root.size(), workspace_);
      sink(text);
    };
    bool pages_changed = false;
    for (const std::string& path : changed)
      if (path.rfind("template/", 0) == 0) pages_changed = true;
    if (!host_ || pages_changed) {
      host_.reset();
      std::unique_ptr<JscScriptHost> page = JscScriptHost::Load(
          WorkspaceLayout::Path(workspace_, WorkspaceLayout::kManagerPageTemplate), named);
      if (page) host_ = std::make_shared<RememberingHost>(std::move(page));
    }
    if (host_) host_->StartBuild();
    SiteBuilder builder(stage_root, host_.get(), named);
    builder.set_include_drafts(drafts_);
    bool configured = builder.LoadConfig();
    bool built = builder.Build();
    return configured && built;
  }

 private:
  std::string workspace_;
  bool drafts_;
  std::shared_ptr<RememberingHost> host_;
};

// A folder for the staging workspace and the served copies: on a memory
// file system when there is one, since builds write every page there.
std::string MakeStageFolder(std::string* error) {
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

std::string Milliseconds(double seconds) {
  return std::to_string(static_cast<long>(seconds * 1000 + 0.5)) + " ms";
}

int RunServe(const CommandContext& context) {
  int port = kDefaultPort;
  bool drafts = false;
  for (size_t i = 0; i < context.args.size(); ++i) {
    const std::string& arg = context.args[i];
    std::string value;
    if (arg == "--drafts") {
      drafts = true;
      continue;
    }
    if (arg == "--port" || arg == "-p") {
      if (i + 1 >= context.args.size()) {
        std::fprintf(stderr, "tarn serve: %s needs a number\n%s", arg.c_str(), kUsage);
        return kUsageError;
      }
      value = context.args[++i];
    } else if (arg.rfind("--port=", 0) == 0) {
      value = arg.substr(7);
    } else {
      std::fprintf(stderr, "tarn serve: unexpected argument '%s'\n%s", arg.c_str(), kUsage);
      return kUsageError;
    }
    if (!ParsePort(value, &port)) {
      std::fprintf(stderr, "tarn serve: '%s' is not a port (0 to 65535)\n%s", value.c_str(),
                   kUsage);
      return kUsageError;
    }
  }
  const std::string& root = context.workspace;
  std::error_code ec;
  if (!std::filesystem::is_directory(root, ec)) {
    Print(stderr, "tarn serve: " + root + ": no such workspace folder");
    return 1;
  }
  // The build writes into public/; a missing one is created as the desktop
  // program does at start.
  std::filesystem::create_directory(root + "/public", ec);

  std::string error;
  std::string stage_dir = MakeStageFolder(&error);
  if (stage_dir.empty()) {
    Print(stderr, "tarn serve: cannot create a temporary folder: " + error);
    return 1;
  }

  GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
  int status = 0;
  {
    PreviewServer server([](const std::string& message) { Print(stderr, message); });
    if (!server.Listen(port, &error)) {
      Print(stderr, "tarn serve: " + error);
      std::filesystem::remove_all(stage_dir, ec);
      g_main_loop_unref(loop);
      return 1;
    }

    bool announced = false;
    auto done = [&](const PreviewBuilder::Result& result) {
      if (result.public_updated) {
        if (!result.ok) {
          Print(stderr, "tarn serve: public/ could not be brought up to date:\n" + result.messages);
        } else if (result.written > 0) {
          Print(stdout, "public/: " + std::to_string(result.written) + " files updated");
        }
        return;
      }
      if (result.ok) {
        server.ShowSite(result.snapshot, result.messages);
        if (!result.messages.empty()) Print(stderr, result.messages);
        Print(stdout, std::string(result.number == 1 ? "built" : "rebuilt") + " in " +
                          Milliseconds(result.seconds) + " (build " +
                          Milliseconds(result.build_seconds) + ", processor " +
                          Milliseconds(result.cpu_seconds) + ")");
      } else {
        std::string what = result.number == 1 ? "the site could not be built"
                                              : "the site could not be rebuilt; the last good "
                                                "site is still served";
        server.ShowError(result.messages);
        Print(stderr, "tarn serve: " + what + ":\n" + result.messages);
      }
      if (!announced) {
        announced = true;
        Print(stdout, "serving " + root + "/public at " + server.Url() + " (Ctrl+C stops)");
      }
    };
    PreviewBuilder builder(root, stage_dir, ThreadBuild(root, drafts), done);

    SiteWatcher watcher(root, [&](const std::vector<std::string>& changed) {
      std::string list;
      for (size_t i = 0; i < changed.size() && i < 3; ++i) list += (i ? ", " : "") + changed[i];
      if (changed.size() > 3) list += ", ...";
      Print(stdout, "changed: " + list);
      builder.Request(changed);
    });
    if (!watcher.Start(&error)) {
      Print(stderr, "tarn serve: " + error);
      status = 1;
    } else {
      builder.Request({});
      auto quit = [](gpointer data) -> gboolean {
        g_main_loop_quit(static_cast<GMainLoop*>(data));
        return G_SOURCE_CONTINUE;
      };
      guint on_int = g_unix_signal_add(SIGINT, quit, loop);
      guint on_term = g_unix_signal_add(SIGTERM, quit, loop);
      g_main_loop_run(loop);
      g_source_remove(on_int);
      g_source_remove(on_term);
      Print(stdout, "stopping");
    }
    // The builder waits for a build in progress and removes its copies.
  }
  g_main_loop_unref(loop);
  return status;
}

const Command kServe("serve", "serve [--port N] [--drafts]",
                     "build the site, serve it on 127.0.0.1 and rebuild it on changes", RunServe);

}  // namespace
}  // namespace tarn
