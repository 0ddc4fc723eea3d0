// Where the reasons for failures go. No exception crosses a module boundary:
// an operation returns its result (a bool, a count, empty text) and hands
// the reason, naming the file and line where known, to a sink that the front
// end owns. The command line prints to standard error; the desktop program
// shows a message box or the console window.
#pragma once

#include <functional>
#include <string>

namespace tarn {

// Receives one complete message per call, without a trailing line break.
// Called on the thread of the operation that failed.
using DiagnosticSink = std::function<void(const std::string& message)>;

}  // namespace tarn
