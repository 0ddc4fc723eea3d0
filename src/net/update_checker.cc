#include "net/update_checker.h"

#include <glib/gi18n.h>

#include <cmath>
#include <cstdlib>
#include <utility>

#include "data/json_document.h"
#include "data/translation.h"

namespace tarn {
namespace {

HttpTimeouts TimeoutsFromEnvironment() {
  HttpTimeouts timeouts;
  const char* value = std::getenv("TARN_UPDATE_TIMEOUT");
  if (value == nullptr || *value == '\0') return timeouts;
  char* end = nullptr;
  double seconds = std::strtod(value, &end);
  if (end == value || *end != '\0' || !std::isfinite(seconds) || seconds <= 0 || seconds > 3600) {
    return timeouts;  // a malformed value must not unbound the check
  }
  timeouts.total_ms = static_cast<long>(seconds * 1000);
  if (timeouts.total_ms < 1) timeouts.total_ms = 1;
  if (timeouts.connect_ms > timeouts.total_ms) timeouts.connect_ms = timeouts.total_ms;
  return timeouts;
}

UpdateChecker::Fetch HttpFetch(HttpTimeouts timeouts) {
  return [client = HttpClient(timeouts)](const std::string& url, const DiagnosticSink& sink) {
    return client.Get(url, sink);
  };
}

}  // namespace

UpdateChecker::UpdateChecker() : fetch_(HttpFetch(TimeoutsFromEnvironment())) {}
UpdateChecker::UpdateChecker(HttpTimeouts timeouts) : fetch_(HttpFetch(timeouts)) {}
UpdateChecker::UpdateChecker(Fetch fetch) : fetch_(std::move(fetch)) {}

std::string UpdateChecker::ManifestUrl() {
  const char* value = std::getenv("TARN_UPDATE_URL");
  if (value != nullptr && *value != '\0') return value;
  return kManifestUrl;
}

UpdateNotice UpdateChecker::ParseManifest(std::string_view body) {
  UpdateNotice notice;
  if (body.empty()) return notice;
  JsonDocument manifest;
  manifest.Parse(body);
  // Each read goes through its own copy of the first entry; a member that
  // is missing (or a body that is no manifest at all) reads as 0 or "".
  const int version = manifest.GetItem("versionList", 0).GetInt("version");
  const int order = manifest.GetItem("versionList", 0).GetInt("order");
  const std::string update = manifest.GetItem("versionList", 0).GetText("update");
  if (order <= kBuildOrder) return notice;
  notice.found = true;
  notice.version = version;
  notice.text = Translation::Format(_("检测到新版本，版本号：%d。是否更新？"), version) + "\r\n" +
                _("更新内容") + "\r\n" + update;
  notice.download_page = kDownloadPage;
  return notice;
}

bool UpdateChecker::CheckForUpdate(UpdateNotice* notice, const DiagnosticSink& sink) const {
  *notice = UpdateNotice();
  std::string body = fetch_ ? fetch_(ManifestUrl(), sink) : std::string();
  if (body.empty()) return false;
  *notice = ParseManifest(body);
  return notice->found;
}

}  // namespace tarn
