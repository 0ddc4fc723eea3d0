#include "app/desktop.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <gtk/gtk.h>

#include "app/app_state.h"
#include "app/browser_script_host.h"
#include "app/browser_view.h"
#include "app/console_window.h"
#include "app/first_start_dialog.h"
#include "app/main_window.h"
#include "app/message_box.h"
#include "app/single_instance.h"
#include "deploy/git_deployer.h"
#include "render/site_builder.h"
#include "workspace/workspace_locator.h"

namespace tarn {
namespace {

// WebKit's web process runs inside a bubblewrap sandbox. Where bubblewrap
// cannot create its namespaces (containers without user namespaces) the web
// process dies at start and every page stays blank; check once and run
// without the sandbox there, as WebKit itself allows.
void PrepareWebKitSandbox() {
  if (std::getenv("WEBKIT_DISABLE_SANDBOX_THIS_IS_DANGEROUS")) return;
  gchar* bwrap = g_find_program_in_path("bwrap");
  if (!bwrap) return;  // WebKit then runs without the sandbox by itself
  const gchar* argv[] = {bwrap,           "--ro-bind", "/",    "/", "--unshare-user-try",
                         "--unshare-pid", "true",      nullptr};
  gint status = 1;
  bool ran = g_spawn_sync(
      nullptr, const_cast<gchar**>(argv), nullptr,
      static_cast<GSpawnFlags>(G_SPAWN_STDOUT_TO_DEV_NULL | G_SPAWN_STDERR_TO_DEV_NULL), nullptr,
      nullptr, nullptr, nullptr, &status, nullptr);
  g_free(bwrap);
  if (!ran || !g_spawn_check_wait_status(status, nullptr)) {
    g_setenv("WEBKIT_DISABLE_SANDBOX_THIS_IS_DANGEROUS", "1", TRUE);
  }
}

// Runs the program's single objects and the main window on workspace
// until the window closes. Returns the folder of the blog to open next
// ("Open another blog…"), or "" when the program ends.
std::string RunWorkspace(const std::string& workspace, SingleInstance* instance) {
  // The program's single objects, in the order they are created and the
  // reverse of the order they go at exit.
  AppState state(workspace);
  ConsoleWindow console;
  MainWindow* main_window = nullptr;
  auto report = [&main_window](const std::string& reason) {
    if (main_window) {
      main_window->Report(reason);
    } else {
      std::fprintf(stderr, "tarn: %s\n", reason.c_str());
    }
  };
  SiteBuilder site(state.workspace.root(), nullptr, report);
  GitDeployer deployer;
  deployer.set_diagnostic_sink(report);

  std::string next;
  {
    MainWindow window(&state, &site, &deployer, &console);
    main_window = &window;
    window.set_open_blog_handler([&next](const std::string& folder) {
      next = folder;
      gtk_main_quit();
    });
    window.Create();
    instance->set_activate_handler([&window](const std::string& startup_id) {
      if (!startup_id.empty() && window.window()) {
        gtk_window_set_startup_id(window.window(), startup_id.c_str());
      }
      window.Show();
    });
    BrowserScriptHost host(window.web_main());
    site.set_script_host(&host);
    g_idle_add(
        [](gpointer data) -> gboolean {
          static_cast<MainWindow*>(data)->StartUp();
          return G_SOURCE_REMOVE;
        },
        &window);
    gtk_main();
    instance->set_activate_handler(nullptr);
    site.set_script_host(nullptr);
    main_window = nullptr;
  }
  return next;
}

// Another blog opens in the program started again (the same executable,
// `gui -w FOLDER`): GLib lets a process register one application on the
// session bus in its life, and a fresh start keeps nothing of the first
// blog. Returns only when the program cannot be started again.
int StartAgainOn(const std::string& folder) {
  gchar* self = g_file_read_link("/proc/self/exe", nullptr);
  std::fflush(stdout);
  std::fflush(stderr);
  if (self) ::execl(self, "tarn", "gui", "-w", folder.c_str(), static_cast<char*>(nullptr));
  std::fprintf(stderr, "tarn: cannot start again on %s: %s\n", folder.c_str(), g_strerror(errno));
  g_free(self);
  return 1;
}

}  // namespace

int RunDesktop(const WorkspaceLocator::Choice& blog) {
  using Source = WorkspaceLocator::Source;
  if (blog.source == Source::kExplicit && !g_file_test(blog.path.c_str(), G_FILE_TEST_IS_DIR)) {
    std::fprintf(stderr, "tarn: the workspace folder %s does not exist\n", blog.path.c_str());
    return 1;
  }
  // Windows carry the program's id as their class (X11) or app id
  // (Wayland), so that the desktop matches them to the installed entry.
  g_set_prgname(SingleInstance::kApplicationId);
  // main() has taken the locale (Translation::Start) with numbers kept in
  // the C form; GTK would take all of it again.
  gtk_disable_setlocale();
  if (!gtk_init_check(nullptr, nullptr)) {
    const char* display = std::getenv("DISPLAY");
    std::fprintf(stderr,
                 "tarn: cannot open a display (DISPLAY=%s); the desktop program needs a "
                 "graphical session. Use tarn build, tarn push or tarn publish on the "
                 "command line.\n",
                 display && *display ? display : "unset");
    return 1;
  }
  gtk_window_set_default_icon_name(SingleInstance::kApplicationId);
  PrepareWebKitSandbox();

  std::string workspace = blog.path;
  if (blog.source == Source::kDefault && !WorkspaceLocator::HoldsWorkspace(workspace)) {
    workspace = FirstStartDialog::Run(workspace);
  }
  if (workspace.empty()) return 0;
  std::string error;
  if (!WorkspaceLocator::CheckUsable(workspace, false, &error)) {
    std::fprintf(stderr, "tarn: %s\n", error.c_str());
    MessageBox::ShowTimed(nullptr, error, "Error", MessageIcon::kExclamation);
    return 1;
  }
  std::string next;
  {
    // One process per blog: a start on a blog that is open already shows
    // that program's window instead.
    SingleInstance instance(workspace);
    std::string note;
    if (!instance.Claim(&note)) {
      std::fprintf(stderr, "tarn: already running on %s; its window was brought forward\n",
                   workspace.c_str());
      return 0;
    }
    if (!note.empty()) std::fprintf(stderr, "tarn: %s\n", note.c_str());
    // A portable copy's own folder is not remembered: it is found anyway,
    // and an installed copy should not open it.
    if (blog.source != Source::kExecutableFolder &&
        !WorkspaceLocator::Remember(workspace, &error)) {
      std::fprintf(stderr, "tarn: cannot remember the blog opened: %s\n", error.c_str());
    }
    next = RunWorkspace(workspace, &instance);
  }  // the blog's name on the session bus is given back here
  return next.empty() ? 0 : StartAgainOn(next);
}

}  // namespace tarn
