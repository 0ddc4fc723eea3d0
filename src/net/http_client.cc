#include "net/http_client.h"

#include <curl/curl.h>
#include <glib.h>

#include <cctype>
#include <mutex>

#include "data/utf8.h"

namespace tarn {
namespace {

void InitCurlOnce() {
  // curl_global_init is not safe to race with other threads starting curl;
  // the first client to run does it, once, for the whole program.
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct Body {
  std::string bytes;
  bool too_large = false;
};

size_t WriteBody(char* data, size_t size, size_t count, void* user) {
  auto* body = static_cast<Body*>(user);
  size_t n = size * count;
  if (body->bytes.size() + n > HttpClient::kMaxBodyBytes) {
    body->too_large = true;
    return 0;  // makes curl stop with CURLE_WRITE_ERROR
  }
  body->bytes.append(data, n);
  return n;
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

bool IsUtf8Name(const std::string& charset) {
  std::string name = Lower(charset);
  return name == "utf-8" || name == "utf8";
}

}  // namespace

void HttpClient::InitCurl() { InitCurlOnce(); }

std::string HttpClient::CharsetOf(const std::string& content_type) {
  std::string lower = Lower(content_type);
  std::size_t at = 0;
  for (;;) {
    at = lower.find("charset", at);
    if (at == std::string::npos) return "";
    // Only a parameter name counts: it follows ";" (and spaces).
    std::size_t before = at;
    while (before > 0 && (lower[before - 1] == ' ' || lower[before - 1] == '\t')) --before;
    std::size_t after = at + 7;
    while (after < lower.size() && (lower[after] == ' ' || lower[after] == '\t')) ++after;
    if (before > 0 && lower[before - 1] == ';' && after < lower.size() && lower[after] == '=') {
      at = after + 1;
      break;
    }
    at += 7;
  }
  while (at < content_type.size() && (content_type[at] == ' ' || content_type[at] == '\t')) ++at;
  std::string value;
  if (at < content_type.size() && content_type[at] == '"') {
    std::size_t end = content_type.find('"', at + 1);
    if (end == std::string::npos) end = content_type.size();
    value = content_type.substr(at + 1, end - at - 1);
  } else {
    std::size_t end = content_type.find_first_of("; \t", at);
    if (end == std::string::npos) end = content_type.size();
    value = content_type.substr(at, end - at);
  }
  return value;
}

std::string HttpClient::Get(const std::string& url, const DiagnosticSink& sink) const {
  auto fail = [&](const std::string& why) {
    if (sink) sink("GET " + url + ": " + why);
    return std::string();
  };
  InitCurlOnce();
  CURL* curl = curl_easy_init();
  if (curl == nullptr) return fail("cannot start the HTTP client");

  Body body;
  char error_text[CURL_ERROR_SIZE] = "";
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 10L);
  curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, timeouts_.connect_ms);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, timeouts_.total_ms);
  // Signals cannot be used for time-outs off the main thread.
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_ACCEPT_ENCODING, "");
  curl_easy_setopt(curl, CURLOPT_USERAGENT, "tarn/" TARN_VERSION);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, WriteBody);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
  curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, error_text);

  CURLcode code = curl_easy_perform(curl);
  long status = 0;
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
  const char* content_type = nullptr;
  curl_easy_getinfo(curl, CURLINFO_CONTENT_TYPE, &content_type);
  std::string charset = content_type != nullptr ? CharsetOf(content_type) : "";
  curl_easy_cleanup(curl);

  if (body.too_large) {
    return fail("the response is larger than " + std::to_string(kMaxBodyBytes) + " bytes");
  }
  if (code != CURLE_OK) {
    return fail(error_text[0] != '\0' ? error_text : curl_easy_strerror(code));
  }
  if (status < 200 || status > 299) return fail("HTTP status " + std::to_string(status));

  if (!charset.empty() && !IsUtf8Name(charset)) {
    gsize written = 0;
    GError* error = nullptr;
    gchar* converted = g_convert(body.bytes.data(), static_cast<gssize>(body.bytes.size()), "UTF-8",
                                 charset.c_str(), nullptr, &written, &error);
    if (converted == nullptr) {
      std::string why = "cannot convert the response from " + charset + ": " +
                        (error != nullptr ? error->message : "unknown error");
      if (error != nullptr) g_error_free(error);
      return fail(why);
    }
    body.bytes.assign(converted, written);
    g_free(converted);
  }
  StripUtf8Bom(&body.bytes);
  return std::move(body.bytes);
}

}  // namespace tarn
