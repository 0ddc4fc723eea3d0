#include "check/external_links.h"

#include <curl/curl.h>

#include <filesystem>
#include <memory>

#include "data/json_document.h"
#include "data/text_file.h"
#include "net/http_client.h"

namespace tarn {
namespace {

struct Transfer {
  std::string url;
  bool get = false;  // a GET after a refused HEAD
  CURL* curl = nullptr;
};

// A GET needs only the status line: the body is refused at its first byte.
size_t RefuseBody(char*, size_t, size_t, void*) { return 0; }

CURL* Start(Transfer* transfer, long timeout_ms) {
  CURL* curl = curl_easy_init();
  if (!curl) return nullptr;
  curl_easy_setopt(curl, CURLOPT_URL, transfer->url.c_str());
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_NOBODY, transfer->get ? 0L : 1L);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, RefuseBody);
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, timeout_ms);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, timeout_ms);
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_USERAGENT, "tarn/" TARN_VERSION);
  curl_easy_setopt(curl, CURLOPT_PRIVATE, transfer);
  transfer->curl = curl;
  return curl;
}

ExternalAnswer AnswerOf(CURL* curl, CURLcode result, long timeout_ms) {
  ExternalAnswer answer;
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &answer.status);
  char* location = nullptr;
  if (curl_easy_getinfo(curl, CURLINFO_REDIRECT_URL, &location) == CURLE_OK && location)
    answer.location = location;
  if (answer.status > 0) return answer;  // a refused body still brought its status
  answer.error = result == CURLE_OPERATION_TIMEDOUT
                     ? "no answer within " + std::to_string(timeout_ms) + " ms"
                     : curl_easy_strerror(result);
  return answer;
}

}  // namespace

std::map<std::string, ExternalAnswer> ExternalLinks::Ask(
    const std::vector<std::string>& urls) const {
  HttpClient::InitCurl();
  std::map<std::string, ExternalAnswer> answers;
  std::unique_ptr<CURLM, decltype(&curl_multi_cleanup)> multi(curl_multi_init(),
                                                              curl_multi_cleanup);
  curl_multi_setopt(multi.get(), CURLMOPT_MAX_TOTAL_CONNECTIONS, long{kMaxConnections});
  curl_multi_setopt(multi.get(), CURLMOPT_MAX_HOST_CONNECTIONS, long{kMaxPerHost});
  std::vector<std::unique_ptr<Transfer>> transfers;
  for (const std::string& url : urls) {
    transfers.push_back(std::make_unique<Transfer>(Transfer{url}));
    if (CURL* curl = Start(transfers.back().get(), timeout_ms_))
      curl_multi_add_handle(multi.get(), curl);
  }
  int running = 1;
  while (running) {
    if (curl_multi_perform(multi.get(), &running) != CURLM_OK) break;
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(multi.get(), &left)) {
      if (message->msg != CURLMSG_DONE) continue;
      Transfer* transfer = nullptr;
      curl_easy_getinfo(message->easy_handle, CURLINFO_PRIVATE, &transfer);
      ExternalAnswer answer = AnswerOf(message->easy_handle, message->data.result, timeout_ms_);
      curl_multi_remove_handle(multi.get(), message->easy_handle);
      curl_easy_cleanup(message->easy_handle);
      if (!transfer->get && (answer.status == 405 || answer.status == 501)) {
        transfer->get = true;  // HEAD refused: ask again with GET
        if (CURL* curl = Start(transfer, timeout_ms_)) {
          curl_multi_add_handle(multi.get(), curl);
          running = 1;
          continue;
        }
      }
      answers[transfer->url] = answer;
    }
    if (running) curl_multi_poll(multi.get(), nullptr, 0, 1000, nullptr);
  }
  return answers;
}

std::map<std::string, ExternalAnswer> ExternalLinks::Check(const std::vector<std::string>& urls,
                                                           std::time_t now) {
  // The cache: [{"url", "checked" (seconds since 1970), "status", "location"}].
  std::string path = workspace_.StatePath(kCacheFile);
  std::string text;
  JsonDocument cache;
  if (!ReadTextFile(path, &text) || !cache.Parse(text) || cache.GetType("") != JsonDocument::kArray)
    cache = JsonDocument::NewArray();
  std::map<std::string, std::pair<std::time_t, ExternalAnswer>> kept;
  for (int i = 0; i < cache.GetCount(""); ++i) {
    JsonDocument entry = cache.GetItem("", i);
    std::time_t checked = static_cast<std::time_t>(entry.GetInt64("checked"));
    if (checked <= now && now - checked < kCacheSeconds)
      kept[entry.GetText("url")] = {
          checked, {static_cast<long>(entry.GetInt64("status")), entry.GetText("location"), ""}};
  }
  std::map<std::string, ExternalAnswer> answers;
  std::vector<std::string> ask;
  for (const std::string& url : urls) {
    auto known = kept.find(url);
    if (known != kept.end())
      answers[url] = known->second.second;
    else
      ask.push_back(url);
  }
  for (auto& [url, answer] : Ask(ask)) {
    if (answer.status > 0) kept[url] = {now, answer};  // no answer is asked again next time
    answers[url] = std::move(answer);
  }
  JsonDocument saved = JsonDocument::NewArray();
  for (const auto& [url, entry] : kept) {
    JsonDocument item = JsonDocument::NewObject();
    item.SetText("url", url);
    item.SetInt64("checked", entry.first);
    item.SetInt64("status", entry.second.status);
    item.SetText("location", entry.second.location);
    saved.Append("", std::move(item));
  }
  std::error_code ec;
  std::filesystem::create_directories(workspace_.state_dir(), ec);
  WriteTextFile(path, saved.ToText() + "\n");  // a cache that cannot be written is no fault
  return answers;
}

}  // namespace tarn
