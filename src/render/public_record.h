// PublicRecord: what the last build into a workspace's public/ left there
// that the files themselves do not tell: the alias pages it wrote, so that
// the next build removes those no published post asks for any more, the
// pages of _pages/ it wrote, at addresses their files do not tell, and
// whether it built drafts or posts scheduled for later, so that a push does
// not publish them.
//
// Kept in the workspace's .tarn/public-build, one line each: "drafts",
// "future",
// "alias PATH" per alias page and "page PATH" per page of _pages/ (PATH
// relative to public/; such paths hold no line breaks). A missing or
// unreadable record is an empty one; an empty record is no file at all, so
// a site that uses neither aliases, pages nor drafts keeps none.
//
// Thread safety: a value; Load and Save touch only the record's file.
#pragma once

#include <string>
#include <vector>

#include "workspace/workspace.h"

namespace tarn {

struct PublicRecord {
  bool drafts = false;               // public/ holds drafts
  bool future = false;               // public/ holds posts scheduled for later
  std::vector<std::string> aliases;  // alias pages, relative to public/
  std::vector<std::string> pages;    // pages of _pages/, relative to public/

  // The record's file in workspace.
  static std::string PathOf(const Workspace& workspace);
  // The record of workspace; empty when there is none or it cannot be read.
  static PublicRecord Load(const Workspace& workspace);
  // Writes the record atomically (removes its file when it is empty).
  // False with *error ("PATH: reason") when it cannot.
  bool Save(const Workspace& workspace, std::string* error) const;
};

}  // namespace tarn
