// ScriptAddress: where a page's <script src="..."> leads, decided from the
// text alone (no file is read): a local file to load, or the reason it is
// not loaded. Resolution follows the browser where it can:
//   - surrounding white space is ignored;
//   - "//host/x" and http:/https: addresses are remote;
//   - other schemes ("data:", "javascript:") are not files; a single
//     letter before ':' is a drive, not a scheme;
//   - file: addresses ("file:///x", "file://localhost/x", "file:x") and
//     plain paths name files: query and fragment are dropped, "%XX" is
//     decoded and '\' read as '/'; an absolute path stays as it is, a
//     relative one is taken from the page's folder, and the result is
//     normalised ("a/../b" is "b"), so it may lead out of that folder, as
//     a browser's would.
//
// Thread safety: pure functions; any thread.
#pragma once

#include <string>
#include <string_view>

namespace tarn {

struct ScriptAddress {
  enum class Kind {
    kFile,      // file: the file to read
    kEmpty,     // the attribute names nothing
    kRemote,    // http:, https: or "//": never loaded
    kNotAFile,  // another scheme
  };

  // src: the attribute's value; page_folder: the folder of the page that
  // has the script.
  static ScriptAddress Resolve(std::string_view src, const std::string& page_folder);

  Kind kind = Kind::kEmpty;
  std::string src;   // the attribute's value, trimmed
  std::string file;  // for kFile: the normalised path
};

}  // namespace tarn
