// PageProbe: lets the desktop program's tests read the state of a page the
// way a person looks at it, without going through the screen. Only with
// TARN_PAGE_PROBE=DIR in the environment: a file moved into DIR is
// evaluated as a JavaScript expression in the page, and its value (as
// text, on one line) is written to standard output as
// "probe: NAME VALUE", NAME being the file's name; an expression that
// throws gives "probe: NAME error: WHY". Without the variable nothing is
// watched and no page is ever evaluated.
//
// Thread safety: user-interface thread only.
#pragma once

#include <functional>
#include <string>

typedef struct _GFileMonitor GFileMonitor;

namespace tarn {

class BrowserView;

class PageProbe {
 public:
  static constexpr char kVariable[] = "TARN_PAGE_PROBE";

  // view gives the page to evaluate in (null while there is none: the file
  // is then answered with an error). Watches the folder the variable names,
  // when it is set; a folder that cannot be watched is reported on
  // standard error.
  explicit PageProbe(std::function<BrowserView*()> view);
  ~PageProbe();
  PageProbe(const PageProbe&) = delete;
  PageProbe& operator=(const PageProbe&) = delete;

 private:
  static void OnChanged(GFileMonitor* monitor, void* file, void* other, int event, PageProbe* self);
  void Answer(const std::string& path);

  std::function<BrowserView*()> view_;
  GFileMonitor* monitor_ = nullptr;
};

}  // namespace tarn
