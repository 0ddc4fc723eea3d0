// Where the reasons for failures go, and the one rule for reporting them.
//
// No exception crosses a module boundary. Three forms, by kind of operation:
//
// 1. A leaf operation (read or write one file, parse one text, run one
//    command) returns bool, or an empty/absent result, and gives the reason
//    through a `std::string* error` out-parameter when the caller passes one:
//    one sentence that names the file (and line, where known) and what was
//    wrong, without a trailing line break. The caller decides whether the
//    reason is news.
// 2. An operation that orchestrates many steps (a build, a deployment, a
//    preview rebuild) keeps going where it sensibly can, hands every reason
//    to a DiagnosticSink as it meets it, and returns its documented result.
//    The front end owns the sink: the command line prints to standard error,
//    the desktop program shows a message box or the console window.
// 3. A result the caller branches on is a typed value (a bool, an enum, a
//    struct with named fields), never a text to search: no front end learns
//    what happened by parsing a message meant for the user.
#pragma once

#include <functional>
#include <string>

namespace tarn {

// Receives one complete message per call, without a trailing line break.
// Called on the thread of the operation that failed.
using DiagnosticSink = std::function<void(const std::string& message)>;

}  // namespace tarn
