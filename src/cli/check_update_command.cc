// tarn check-update: asks the update manifest whether a newer build exists.
// Prints the notice and the download page when one does, nothing when not;
// a failed fetch is reported on standard error. Exits 0 either way, so that
// scripts can run it unconditionally.

#include <cstdio>
#include <string>

#include "cli/command.h"
#include "net/update_checker.h"

namespace tarn {
namespace {

// The notice's line breaks are CR LF, as in the desktop program's message
// box; a terminal and a pipe want LF.
std::string ForTerminal(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    out.push_back(text[i]);
  }
  return out;
}

int RunCheckUpdate(const CommandContext&) {
  UpdateChecker checker;
  UpdateNotice notice;
  checker.CheckForUpdate(&notice, [](const std::string& message) {
    std::fprintf(stderr, "tarn: update check: %s\n", message.c_str());
  });
  if (notice.found) {
    std::printf("%s\n%s\n", ForTerminal(notice.text).c_str(), notice.download_page.c_str());
    std::fflush(stdout);
  }
  return 0;
}

const Command kCheckUpdate("check-update", "check-update",
                           "say whether a newer version has been published", RunCheckUpdate,
                           {.unknown_option = "unexpected argument {}",
                            .extra_word = "unexpected argument {}"},
                           false);

}  // namespace
}  // namespace tarn
