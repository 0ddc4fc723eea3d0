#include "app/hot_key.h"

#include <gtk/gtk.h>
#include <keybinder.h>

namespace tarn {
namespace {

int next_id = 1;

bool EnsureKeybinder() {
  static bool initialised = false;
  if (!initialised) {
    keybinder_init();
    initialised = true;
  }
  return keybinder_supported();
}

}  // namespace

HotKey::~HotKey() { Unregister(); }

int HotKey::Register(const std::string& accelerator, std::function<void()> on_press,
                     std::string* error) {
  Unregister();
  guint key = 0;
  GdkModifierType modifiers{};
  gtk_accelerator_parse(accelerator.c_str(), &key, &modifiers);
  if (key == 0) {
    if (error) *error = "\"" + accelerator + "\" is not a key combination";
    return 0;
  }
  if (!EnsureKeybinder()) {
    if (error) {
      *error = "system-wide keys need an X11 display; this session does not allow " + accelerator;
    }
    return 0;
  }
  if (!keybinder_bind(accelerator.c_str(), &HotKey::OnKey, this)) {
    if (error) *error = accelerator + " is already taken by another program";
    return 0;
  }
  accelerator_ = accelerator;
  on_press_ = std::move(on_press);
  id_ = next_id++;
  return id_;
}

void HotKey::Unregister() {
  if (id_ == 0) return;
  keybinder_unbind(accelerator_.c_str(), &HotKey::OnKey);
  id_ = 0;
  accelerator_.clear();
  on_press_ = nullptr;
}

void HotKey::OnKey(const char*, void* data) {
  auto* self = static_cast<HotKey*>(data);
  if (self->on_press_) self->on_press_();
}

}  // namespace tarn
