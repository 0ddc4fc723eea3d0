// The running executable, as the kernel names it (/proc/self/exe, links
// resolved): tarn finds what it ships beside itself (the conversion worker,
// the desktop program, the image module, the bundled blog) from there.
//
// Thread safety: pure; any thread.
#pragma once

#include <string>

namespace tarn {

// The executable's path; "" when it cannot be told.
std::string SelfExecutable();

// Its folder, without a trailing separator; "" when it cannot be told.
std::string SelfExecutableFolder();

}  // namespace tarn
