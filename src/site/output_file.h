// Writing the generated site. Every file under public/ is derived from the
// workspace and written again by the next build, so it is written the way a
// build tool writes its outputs rather than the way a blogger's own files
// are written:
//
// - a file that already holds exactly these bytes is left alone, so a
//   rebuild after editing one post rewrites one article page, and file
//   times (which git and upload tools look at) move only for real changes;
// - a file is still replaced atomically (a temporary file beside it renamed
//   over it), so no reader ever sees half a page, but without forcing it to
//   disk first: a lost page after a power cut is rebuilt by the next build,
//   and a forced write per page made large builds wait on the disk.
#pragma once

#include <string>
#include <string_view>

namespace tarn {

// Makes the file at path hold contents (see above). Returns true when it
// does, whether or not it was written; false, setting *error ("PATH:
// reason") when given, when it cannot be written. Does not create folders.
bool WriteOutputFile(const std::string& path, std::string_view contents,
                     std::string* error = nullptr);

// Creates the folders of relative (a "/"-separated path of a file under
// root, already checked to stay inside it) that are missing. Refuses, with
// *error set ("PATH: reason"), when one of them is a symbolic link or not a
// folder, so that nothing is written outside root through a link.
bool MakeOutputFolders(const std::string& root, std::string_view relative,
                       std::string* error = nullptr);

}  // namespace tarn
