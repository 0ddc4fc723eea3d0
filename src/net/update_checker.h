// UpdateChecker: asks the project's update manifest whether a build newer
// than this one has been published, and words the notice the user sees.
//
// The manifest is a JSON document whose versionList[0] describes the newest
// build: "version" (the number shown), "order" (the build sequence number,
// compared with kBuildOrder) and "update" (the release notes). Anything
// else in it is ignored. A build is newer when its order is strictly
// greater than kBuildOrder. Nothing is remembered between checks.
//
// The manifest address is kManifestUrl unless the environment variable
// TARN_UPDATE_URL names another (mirrors, tests). TARN_UPDATE_TIMEOUT, in
// seconds, shortens or lengthens the total time-out of the fetch.
//
// Thread contract: CheckForUpdate blocks for at most the fetch's total
// time-out (30 s by default) and touches no user-interface state, so the
// desktop program runs it on a thread of its own that nobody waits for, and
// hands a found notice to the user-interface thread to ask the user (title
// kNoticeTitle, Yes/No; Yes opens notice.download_page). The command line
// runs it directly and prints the notice. A checker may be used by one
// thread at a time; separate checkers are independent.
#pragma once

#include <glib/gi18n.h>

#include <functional>
#include <string>
#include <string_view>

#include "data/diagnostics.h"
#include "net/http_client.h"

namespace tarn {

// This program's build sequence number.
constexpr int kBuildOrder = 3;
constexpr char kManifestUrl[] = "https://raw.githubusercontent.com/tarn-blog/tarn/main/update.json";
constexpr char kDownloadPage[] = "https://github.com/tarn-blog/tarn/releases";
// Caption of the question the desktop program asks.
constexpr const char* kNoticeTitle = N_("检测到新版本");

struct UpdateNotice {
  bool found = false;  // a newer build exists; the rest is meaningful only then
  int version = 0;
  // "检测到新版本，版本号：<version>。是否更新？\r\n更新内容\r\n<release notes>"
  std::string text;
  std::string download_page;
};

class UpdateChecker {
 public:
  // Gives the body of a GET of the address, "" on any failure.
  using Fetch = std::function<std::string(const std::string& url, const DiagnosticSink& sink)>;

  // Fetches with an HttpClient: 10 s to connect, 30 s in all, or the total
  // of TARN_UPDATE_TIMEOUT when set.
  UpdateChecker();
  explicit UpdateChecker(HttpTimeouts timeouts);
  explicit UpdateChecker(Fetch fetch);

  // Fetches the manifest and fills *notice (found false when there is
  // nothing newer). Returns notice->found. A failed fetch or a body that is
  // not a manifest gives found false; the reason of a failed fetch goes to
  // sink when one is given (the desktop program passes none and says
  // nothing).
  bool CheckForUpdate(UpdateNotice* notice, const DiagnosticSink& sink = nullptr) const;

  // The notice a manifest body gives; found false for an empty, unparsable
  // or foreign body and for an order not above kBuildOrder.
  static UpdateNotice ParseManifest(std::string_view body);

  // TARN_UPDATE_URL when set and not empty, else kManifestUrl.
  static std::string ManifestUrl();

 private:
  Fetch fetch_;
};

}  // namespace tarn
