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

// Makes the file at path a copy of the regular file at source. A file that
// already has source's size and modification time is left alone; any
// other is replaced atomically by a copy made beside it, reflinked where
// the file system shares blocks, else streamed by the kernel, never read
// whole into memory, which then takes source's modification time (so the
// next build leaves it alone). A new file gets the mode a new file gets, a
// replacement the mode of the file it replaces. Returns true when path
// holds the copy; false, setting *error ("PATH: reason") when given,
// otherwise. Does not create folders.
bool CopyOutputFile(const std::string& source, const std::string& path,
                    std::string* error = nullptr);

// True when path (not followed if a link) is a regular file with the size
// and modification time of the regular file at source: the copy
// CopyOutputFile made and would leave alone. False otherwise, also when
// either cannot be read.
bool IsOutputCopyOf(const std::string& source, const std::string& path);

// True when nothing on the way from root down to path (root itself left
// out, path's own name included) is a symbolic link, so that writing path,
// or removing it, stays inside root. False, setting *error ("LINK: is a
// symbolic link; ...") when given, when something is; path must lie below
// root. Parts that do not exist yet are fine.
bool OutputPathIsContained(const std::string& root, const std::string& path,
                           std::string* error = nullptr);

// Creates the missing folders of relative, a "/"-separated path of a file
// under root already checked to have no ".." step. Refuses, with *error set
// ("PATH: reason"), when something on the way is a symbolic link (see
// OutputPathIsContained) or a folder cannot be made.
bool MakeOutputFolders(const std::string& root, std::string_view relative,
                       std::string* error = nullptr);

}  // namespace tarn
