// LocalHttpServer: a small HTTP/1.0 server on 127.0.0.1 for tests that need a
// real server. It listens on a free port chosen by the system, answers GETs
// from a table of canned responses on a thread of its own (404 for unknown
// paths), and can be told to accept a request and never answer it.
#pragma once

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tarn {

class LocalHttpServer {
 public:
  struct Response {
    int status = 200;
    std::string content_type = "application/json";
    std::string body;
    std::string location;  // a Location header when not empty
    bool never_answer = false;
  };

  LocalHttpServer();
  ~LocalHttpServer();
  LocalHttpServer(const LocalHttpServer&) = delete;
  LocalHttpServer& operator=(const LocalHttpServer&) = delete;

  void Serve(const std::string& path, Response response);
  // "http://127.0.0.1:<port><path>".
  std::string Url(const std::string& path) const;
  int port() const { return port_; }
  // How many requests have been read so far.
  int requests() const { return requests_; }

  // A port on 127.0.0.1 where nothing listens (connections are refused).
  static int UnusedPort();

 private:
  void Loop();
  void Answer(int fd);

  int listen_fd_ = -1;
  int wake_[2] = {-1, -1};
  int port_ = 0;
  std::atomic<int> requests_{0};
  std::mutex mutex_;
  std::map<std::string, Response> responses_;
  std::vector<int> held_;  // connections never answered, closed at the end
  std::thread thread_;
};

}  // namespace tarn
