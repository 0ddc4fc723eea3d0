#include "script/script_address.h"

#include <gtest/gtest.h>

namespace tarn {
namespace {

using Kind = ScriptAddress::Kind;

struct AddressCase {
  const char* src;
  Kind kind;
  const char* file;  // for kFile
};

TEST(ScriptAddressTest, ResolvesAsABrowserWouldForALocalPage) {
  const AddressCase cases[] = {
      // Relative to the page's folder, normalised; white space ignored.
      {"app.js", Kind::kFile, "/site/template/app.js"},
      {"  vendor/./x.js \n", Kind::kFile, "/site/template/vendor/x.js"},
      {"js\\app.js", Kind::kFile, "/site/template/js/app.js"},
      // Query and fragment dropped, escapes decoded.
      {"my%20lib.js?v=3#top", Kind::kFile, "/site/template/my lib.js"},
      {"bad%zz.js", Kind::kFile, "/site/template/bad%zz.js"},
      // Leading out of the page's folder, as a browser's relative address may.
      {"../static/a.js", Kind::kFile, "/site/static/a.js"},
      {"../../../../etc/x.js", Kind::kFile, "/etc/x.js"},
      // Absolute paths and file: addresses.
      {"/opt/lib.js", Kind::kFile, "/opt/lib.js"},
      {"file:///opt/lib.js", Kind::kFile, "/opt/lib.js"},
      {"FILE://localhost/opt/lib.js", Kind::kFile, "/opt/lib.js"},
      {"file:lib.js", Kind::kFile, "/site/template/lib.js"},
      // A single letter before ':' is a drive, not a scheme.
      {"C:/x.js", Kind::kFile, "/site/template/C:/x.js"},
      // What is never read.
      {"", Kind::kEmpty, ""},
      {"   ", Kind::kEmpty, ""},
      {"https://cdn.example/x.js", Kind::kRemote, ""},
      {"HTTP://cdn.example/x.js", Kind::kRemote, ""},
      {"//cdn.example/x.js", Kind::kRemote, ""},
      {"data:text/javascript,1", Kind::kNotAFile, ""},
      {"javascript:void(0)", Kind::kNotAFile, ""},
  };
  for (const AddressCase& c : cases) {
    ScriptAddress address = ScriptAddress::Resolve(c.src, "/site/template");
    EXPECT_EQ(address.kind, c.kind) << c.src;
    EXPECT_EQ(address.file, c.file) << c.src;
  }
}

TEST(ScriptAddressTest, KeepsTheTrimmedTextForMessagesAndNeverReadsTheFile) {
  ScriptAddress missing = ScriptAddress::Resolve(" no/such/file.js ", "/nowhere");
  EXPECT_EQ(missing.kind, Kind::kFile);
  EXPECT_EQ(missing.src, "no/such/file.js");
  EXPECT_EQ(missing.file, "/nowhere/no/such/file.js");
  // A page given without a folder resolves beside the working folder.
  EXPECT_EQ(ScriptAddress::Resolve("a.js", "").file, "a.js");
  EXPECT_EQ(ScriptAddress::Resolve("https://x/y.js", "/p").src, "https://x/y.js");
}

}  // namespace
}  // namespace tarn
