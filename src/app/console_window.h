// ConsoleWindow: "Dos View", the small window that shows what git prints
// while the site is deployed. Its output callback is handed to the git
// deployer whether or not the window was opened; while the window is not
// open the callback drops the text.
//
// Thread safety: user-interface thread only (the deployer and the backups
// report on it; output from a worker thread comes through BackgroundTask).
#pragma once

#include <string>

typedef struct _GtkWidget GtkWidget;
typedef struct _GtkWindow GtkWindow;
typedef struct _GtkTextBuffer GtkTextBuffer;

namespace tarn {

class ConsoleWindow {
 public:
  static constexpr char kTitle[] = "Dos View";
  static constexpr char kWelcome[] = "Welcome use TarnBlogEditor!\r\n";

  ConsoleWindow() = default;
  ~ConsoleWindow();
  ConsoleWindow(const ConsoleWindow&) = delete;
  ConsoleWindow& operator=(const ConsoleWindow&) = delete;

  // Creates and shows the window, kept above owner (may be null), unless it
  // is open already. The window is this object's: closing it destroys it,
  // and so does destroying the object.
  void Open(GtkWindow* owner);

  // True while the window exists (the user may close it).
  bool is_open() const { return window_ != nullptr; }

  // The output callback: appends "hh:mm:ss : " + text + CR LF while the
  // window is open, nothing otherwise. One line break ending text is dropped
  // first; bytes that are not UTF-8 are shown as U+FFFD. Always returns 0
  // (go on).
  int Output(const std::string& text);

 private:
  static void OnDestroy(GtkWidget* widget, ConsoleWindow* self);

  GtkWidget* window_ = nullptr;
  GtkWidget* view_ = nullptr;
  GtkTextBuffer* buffer_ = nullptr;
};

}  // namespace tarn
