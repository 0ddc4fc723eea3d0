#include "deploy/rsync_target.h"

#include <glib.h>
#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace tarn {
namespace {

// Targets that would let --delete reach beyond the blog's own folder, or
// let a value be read as an option, are refused before rsync runs.
TEST(RsyncTarget, RefusesTargetsThatCouldDeleteTooMuchOrReadAsOptions) {
  TempDir temp;
  const std::string ws = temp.str() + "/blog";
  const std::string home = g_get_home_dir();
  const struct {
    std::string target, port, key;
    const char* reason;  // "" when accepted
  } kCases[] = {
      {"", "", "", "is empty"},
      {"-e touch /tmp/x", "", "", "starts with \"-\""},
      {"host:", "", "", "home folder, whose files"},
      {"host:.", "", "", "home folder, whose files"},
      {"host:/", "", "", "the root folder"},
      {"ann@host:///", "", "", "the root folder"},
      {"host:~", "", "", "a home folder"},
      {"host:~/", "", "", "a home folder"},
      {"host:~ann", "", "", "a home folder"},
      {"host:/home/ann/", "", "", "a home folder"},
      {"host:/root", "", "", "a home folder"},
      {"host:/srv/../", "", "", "\"..\""},
      {"@:/srv/blog", "", "", "no host"},
      {"ann@-oProxyCommand=x:/srv/blog", "", "", "the host starts with \"-\""},
      {"host::module/blog", "", "", "daemon"},
      {"rsync://host/blog", "", "", "daemon"},
      {"blog/out", "", "", "absolute path"},
      {"/", "", "", "the root folder"},
      {home + "/", "", "", "a home folder"},
      {ws, "", "", "the workspace or a folder that holds it"},
      {temp.str(), "", "", "the workspace or a folder that holds it"},
      {ws + "/public/copy", "", "", "inside the workspace's public/"},
      {"host:/srv/blog/", "0", "", "not a port number"},
      {"host:/srv/blog/", "22 -o ProxyCommand=x", "", "not a port number"},
      {"host:/srv/blog/", "", "/keys/it's", "quote mark"},
      {"host:/srv/blog/", "", "-oProxyCommand=x", "starts with \"-\""},
      // Accepted: a folder on a host, one inside a home, a local folder
      // beside the workspace, a port and a key path with a blank.
      {"ann@host:/var/www/blog/", "2222", "/keys/my key", ""},
      {"host:~/www", "", "", ""},
      {"host:/home/ann/www", "", "", ""},
      {temp.str() + "/mirror", "", "", ""},
  };
  for (const auto& c : kCases) {
    std::string error;
    bool accepted = RsyncTarget(c.target, c.port, c.key).Check(ws, &error);
    EXPECT_EQ(accepted, *c.reason == '\0') << c.target << ": " << error;
    if (*c.reason) {
      EXPECT_NE(error.find(c.reason), std::string::npos) << c.target << ": " << error;
    }
  }
}

// The SSH command is one -e value that rsync splits itself; a key path with
// a blank is quoted for that splitting.
TEST(RsyncTarget, SshCommandAndThePassesInTheirOrder) {
  RsyncTarget target("ann@host:/srv/blog", "2222", "/keys/my key");
  EXPECT_EQ(target.RemoteShell(), "ssh -o BatchMode=yes -p 2222 -i '/keys/my key'");
  EXPECT_EQ(RsyncTarget("h:/b", "", "").RemoteShell(), "ssh -o BatchMode=yes");
  std::string error;
  SiteMarker marker(&error);
  auto passes = target.Passes("/ws/public", marker);
  ASSERT_EQ(passes.size(), 3u);
  const std::vector<std::string> tails[] = {
      {"--exclude=*.html", "/ws/public/", "ann@host:/srv/blog/"},
      {"--exclude=/index.html", "/ws/public/", "ann@host:/srv/blog/"},
      {"--delete-after", "/ws/public/", marker.folder() + "/", "ann@host:/srv/blog/"},
  };
  for (std::size_t i = 0; i < passes.size(); ++i) {
    EXPECT_EQ(std::vector<std::string>(passes[i].begin(), passes[i].begin() + 8),
              (std::vector<std::string>{"rsync", "--archive", "--checksum", "--mkpath",
                                        "--itemize-changes", "--exclude=/.git", "-e",
                                        target.RemoteShell()}));
    EXPECT_EQ(std::vector<std::string>(passes[i].begin() + 8, passes[i].end()), tails[i]) << i;
  }
}

}  // namespace
}  // namespace tarn
