// MessageBox: the program's modal message boxes. A timed box closes by
// itself after its time-out, like the command messages of the manager page;
// a question box waits for the user's answer.
//
// Every box shown is also written to standard output as one line,
// "message: CAPTION: TEXT" (line breaks of the text as spaces), so that a
// script driving the program sees what the user saw.
//
// ShowTimed and Ask run a nested main loop until the box closes: windows,
// timers and the pages' calls of bound functions are served meanwhile, so a
// caller must not assume that nothing changed while the box was up.
//
// Thread safety: user-interface thread only.
#pragma once

#include <string>

typedef struct _GtkWindow GtkWindow;

namespace tarn {

enum class MessageIcon { kNone, kInformation, kExclamation, kQuestion };

enum class MessageAnswer { kYes, kNo, kCancel };

class MessageBox {
 public:
  // How long a timed box stays up.
  static constexpr int kTimeoutMs = 5000;

  // Shows text under caption, modal, kept above parent (may be null), and
  // returns when the user closed it or timeout_ms has passed.
  static void ShowTimed(GtkWindow* parent, const std::string& text, const std::string& caption,
                        MessageIcon icon = MessageIcon::kNone, int timeout_ms = kTimeoutMs);

  // Shows text under caption without waiting: the box is not modal, has no
  // parent, takes the focus only when clicked, and closes itself after
  // timeout_ms (or when the user closes it).
  static void ShowNotice(const std::string& text, const std::string& caption,
                         MessageIcon icon = MessageIcon::kInformation,
                         int timeout_ms = kTimeoutMs * 2);

  // Asks a question with Yes and No (and Cancel when with_cancel) buttons.
  // Closing the box without a button counts as Cancel, or No without one.
  static MessageAnswer Ask(GtkWindow* parent, const std::string& text, const std::string& caption,
                           bool with_cancel, MessageIcon icon = MessageIcon::kQuestion);
};

}  // namespace tarn
