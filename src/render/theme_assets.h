// ThemeAssets: the theme's assets/ folder copied to public/assets/ as it
// is (style sheets, scripts, images, fonts).
//
// A theme without assets is fine. The copy reads every file of the source,
// links followed, and writes through whatever it finds in the destination,
// so both are checked first: only folders and plain files may be in
// either (a FIFO would be waited on, a device read without end), and no
// symbolic link in the destination. Anything else is reported, fails the
// build and copies nothing.
//
// Thread safety: the build's thread.
#pragma once

namespace tarn {

class SiteRender;

class ThemeAssets {
 public:
  // Copies and notes every file as generated. True; failures are reported
  // and fail the build without stopping it.
  static bool Copy(SiteRender& site);
};

}  // namespace tarn
