#include "image/image_processor.h"

#include <algorithm>

namespace tarn {

std::string ImageSettings::Key() const {
  if (strip_only) return "metadata stripped; pixels as they are";
  std::string key = "widths";
  for (int width : widths) key += " " + std::to_string(width);
  key += "; quality " + std::to_string(quality);
  key += keep_metadata ? "; metadata kept" : "; metadata stripped";
  key += "; at most " + std::to_string(max_pixels) + " pixels";
  return key;
}

std::vector<int> ImageSettings::WidthsFor(int width) const {
  std::vector<int> made;
  for (int candidate : widths) {
    if (candidate >= width) break;
    made.push_back(candidate);
  }
  // The largest copy: the largest width asked for, or the image's own.
  const int largest = widths.empty() ? width : std::min(width, widths.back());
  if (made.empty() || made.back() != largest) made.push_back(largest);
  return made;
}

}  // namespace tarn
