// WorkerProcessHost: a script host whose engine runs in a child process
// (`EXECUTABLE convert-worker PAGE`), so that several pages converting Markdown
// at once do not share one address space. Script engines map and unmap
// memory all the time; in one process every unmap has to be made known to
// the other cores running its threads, which held a parallel build back
// more than the conversion itself.
//
// The child is the small executable tarn-convert-worker beside this
// program when there is one (it starts without loading the desktop
// program's libraries), else this program's own `convert-worker` command.
//
// The two sides talk over a socket in frames: a flag byte, a 64-bit length
// in this machine's byte order (both sides come from the same build and run
// on this machine) and the bytes. The child first sends its page's ScriptsDigest (flag 1), then
// answers each Markdown text with its HTML (flag 1) or markToHtml's error
// (flag 0), until the parent closes the socket.
//
// Only markToHtml with one argument can be called. When the child dies or
// stops answering properly, the failing call and every later one fail and
// HasFunction says false, so the caller can hand the text to another host;
// the sink hears of it once.
#pragma once

#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

#include "data/diagnostics.h"
#include "script/script_host.h"

namespace tarn {

class WorkerProcessHost : public ScriptHost {
 public:
  // Starts `executable convert-worker page_path` (with environment, when
  // given, added to this process's) and waits for its digest.
  // Returns null, after telling the sink why, when the child cannot be
  // started or dies before answering; returns null silently when its
  // scripts' digest differs from expected_digest ("" takes any digest).
  static std::unique_ptr<WorkerProcessHost> Start(const std::string& executable,
                                                  const std::string& page_path,
                                                  const std::string& expected_digest,
                                                  DiagnosticSink sink,
                                                  const std::vector<std::string>& environment = {});

  // Closes the socket, which ends the child, and reaps it.
  ~WorkerProcessHost() override;
  WorkerProcessHost(const WorkerProcessHost&) = delete;
  WorkerProcessHost& operator=(const WorkerProcessHost&) = delete;

  bool HasFunction(const std::string& name) override;
  bool CallFunction(const std::string& name, const std::vector<std::string>& args,
                    std::string* result, std::string* error) override;
  std::string Origin() const override;

  // The digest of the scripts the child's page ran (JscScriptHost::ScriptsDigest).
  const std::string& ScriptsDigest() const { return digest_; }

  // The child's side: loads the page, sends its digest on out_fd, then
  // converts texts read from in_fd until the end of input. Returns the exit
  // status. The environment variable TARN_TEST_WORKER_EXIT_AFTER=K (a test
  // hook) makes it quit without answering after K texts.
  static int Serve(const std::string& page_path, int in_fd, int out_fd);

  // This program's own executable, for starting children; "" if unknown.
  static std::string SelfExecutable();

  // The executable to Start children with: kLeanWorker in the folder of
  // this program's executable when it is there and executable, else
  // SelfExecutable().
  static std::string WorkerExecutable();
  static constexpr char kLeanWorker[] = "tarn-convert-worker";

 private:
  WorkerProcessHost(pid_t pid, int fd, std::string page_path, DiagnosticSink sink);
  void Fail(const std::string& why);

  pid_t pid_;
  int fd_;
  std::string page_path_;
  DiagnosticSink sink_;
  std::string digest_;
  bool broken_ = false;
};

}  // namespace tarn
