// The few pieces every user of JavaScriptCore's C API here needs: strings
// in and out as UTF-8, and a bound on how long one entry into an engine may
// run. An engine is a context group of its own; nothing here keeps state,
// so engines on different threads do not meet.
#pragma once

#include <JavaScriptCore/JavaScript.h>

#include <atomic>
#include <string>

namespace tarn {

// A new engine string holding utf8; release it with JSStringRelease. Bytes
// that are not valid UTF-8 become U+FFFD; a NUL byte is kept. Never fails.
JSStringRef NewJsString(const std::string& utf8);

// The engine string as UTF-8; an unpaired surrogate becomes U+FFFD.
std::string JsStringToUtf8(JSStringRef s);

// Makes every later entry into the engines of group (one evaluation, one
// call from outside) stop with an exception once it has run for `seconds`;
// *timed_out is set true when that happens (clear it before each entry to
// tell a time-out from an ordinary exception). The flag must outlive the
// group. seconds <= 0 removes the bound.
void SetExecutionTimeLimit(JSContextGroupRef group, double seconds, std::atomic<bool>* timed_out);

}  // namespace tarn
