#include "script/jsc_support.h"

#include <cstdint>
#include <cstring>

#include "data/text_file.h"

// The execution time limit is part of JavaScriptCore's exported C API but is
// declared only in a header the distribution does not install; this is the
// declaration WebKit has kept unchanged since 2013.
extern "C" {
typedef bool (*JSShouldTerminateCallback)(JSContextRef ctx, void* context);
JS_EXPORT void JSContextGroupSetExecutionTimeLimit(JSContextGroupRef group, double limit,
                                                   JSShouldTerminateCallback callback,
                                                   void* context);
JS_EXPORT void JSContextGroupClearExecutionTimeLimit(JSContextGroupRef group);
}

namespace tarn {
namespace {

bool TerminateOnTimeLimit(JSContextRef, void* data) {
  static_cast<std::atomic<bool>*>(data)->store(true);
  return true;
}

}  // namespace

// Post texts go through these twice per conversion, so the common case
// (valid UTF-8) is left to the engine's own converter and the way back is a
// tight loop.
JSStringRef NewJsString(const std::string& utf8) {
  if (std::memchr(utf8.data(), 0, utf8.size()) == nullptr) {
    // The engine gives an empty string for input that is not valid UTF-8.
    JSStringRef s = JSStringCreateWithUTF8CString(utf8.c_str());
    if (JSStringGetLength(s) > 0 || utf8.empty()) return s;
    JSStringRelease(s);
  }
  std::u16string text = Utf8ToUtf16(utf8);
  return JSStringCreateWithCharacters(reinterpret_cast<const JSChar*>(text.data()), text.size());
}

std::string JsStringToUtf8(JSStringRef s) {
  const JSChar* in = JSStringGetCharactersPtr(s);
  size_t length = JSStringGetLength(s);
  // Sized exactly: a converted post can be hundreds of megabytes, and room
  // for the worst case (three bytes a unit) would triple it for good.
  size_t size = 0;
  for (size_t i = 0; i < length; ++i) {
    uint32_t c = in[i];
    if (c < 0x80) {
      size += 1;
    } else if (c < 0x800) {
      size += 2;
    } else if (c >= 0xD800 && c <= 0xDBFF && i + 1 < length && in[i + 1] >= 0xDC00 &&
               in[i + 1] <= 0xDFFF) {
      size += 4;
      ++i;
    } else {
      size += 3;
    }
  }
  std::string out(size, '\0');
  char* o = out.data();
  for (size_t i = 0; i < length; ++i) {
    uint32_t c = in[i];
    if (c < 0x80) {
      *o++ = static_cast<char>(c);
      continue;
    }
    if (c < 0x800) {
      *o++ = static_cast<char>(0xC0 | (c >> 6));
      *o++ = static_cast<char>(0x80 | (c & 0x3F));
      continue;
    }
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < length && in[i + 1] >= 0xDC00 &&
        in[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (in[++i] - 0xDC00);
      *o++ = static_cast<char>(0xF0 | (c >> 18));
      *o++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      *o++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      *o++ = static_cast<char>(0x80 | (c & 0x3F));
      continue;
    }
    if (c >= 0xD800 && c <= 0xDFFF) c = 0xFFFD;
    *o++ = static_cast<char>(0xE0 | (c >> 12));
    *o++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *o++ = static_cast<char>(0x80 | (c & 0x3F));
  }
  return out;
}

void SetExecutionTimeLimit(JSContextGroupRef group, double seconds, std::atomic<bool>* timed_out) {
  if (seconds > 0) {
    JSContextGroupSetExecutionTimeLimit(group, seconds, TerminateOnTimeLimit, timed_out);
  } else {
    JSContextGroupClearExecutionTimeLimit(group);
  }
}

}  // namespace tarn
