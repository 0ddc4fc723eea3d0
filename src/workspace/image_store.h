// ImageStore: keeps the images a blogger pastes or drops into the editor in
// the workspace's static/images/ folder, which the build copies to
// public/images/. A stored image is never overwritten: each gets a name of
// its own, "<yyyy-MM-dd>-<original name>" or, without a usable name,
// "<yyyy-MM-dd>-<short hash>", with "-2", "-3", ... before the extension
// when that name is taken. Only image data (PNG, JPEG, GIF, WebP, BMP) is
// kept, recognised by its first bytes, whatever the name says.
//
// Thread safety: no state; any thread.
#pragma once

#include <ctime>
#include <string>
#include <string_view>

namespace tarn {

class ImageStore {
 public:
  // Larger images are refused.
  static constexpr std::size_t kMaxBytes = 32 * 1024 * 1024;

  // Writes bytes into images_dir (created, with its parent, when missing)
  // under a new name derived from original_name and the local date of now;
  // the file appears whole or not at all. Sets *file_name to the name used.
  // Returns false with *error (naming the folder or file and the reason)
  // when the data is not an image, too large, or cannot be written.
  static bool Save(const std::string& images_dir, std::string_view original_name,
                   std::string_view bytes, std::time_t now, std::string* file_name,
                   std::string* error);

  // The Markdown image link for a stored image, relative to an article page
  // (public/articles/), which is where posts are shown: "![alt](../images/NAME)",
  // with characters that would end the link percent-encoded.
  static std::string MarkdownLink(std::string_view file_name, std::string_view alt);

  // Days an original of a scaled photo is kept for the editor's "keep the
  // original" offer.
  static constexpr int kOriginalDays = 30;

  // Removes from originals_dir (the editor's .tarn/originals/) each kept
  // original whose scaled photo of the same name is gone from images_dir,
  // or whose file was written more than kOriginalDays before now. One
  // folder listing: cheap enough for the editor's start. Returns how many
  // were removed; a file that cannot be removed stays for the next time,
  // and a missing folder removes nothing.
  static int RemoveStaleOriginals(const std::string& originals_dir, const std::string& images_dir,
                                  std::time_t now);

  // The extension ("png", "jpg", ...) of image data; "" when bytes are no
  // image this store keeps.
  static std::string SniffExtension(std::string_view bytes);
};

}  // namespace tarn
