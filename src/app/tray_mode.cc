#include "app/tray_mode.h"

#include <cstdio>

#include "app/app_state.h"
#include "app/main_window.h"

namespace tarn {
namespace {

void Say(const std::string& reason) {
  std::fprintf(stderr, "tarn: %s\n", reason.c_str());
}

}  // namespace

void TrayMode::Start(MainWindow* window, AppState* state) {
  std::string reason;
  if (!icon_.AddIcon(window->window(), kTip, &reason)) Say(reason);
  if (!icon_.ShowBalloon(kBalloonText, kBalloonTitle, &reason)) Say(reason);
  icon_.SetEventHandler([window](TrayEvent event) {
    if (event == TrayEvent::kActivate) window->Show();
  });
  state->mainHotKeyId = show_key_.Register(kShowKey, [window] { window->Show(); }, &reason);
  if (state->mainHotKeyId == 0) Say("Alt+B cannot bring the window back: " + reason);
}

}  // namespace tarn
