#include "local_http_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace tarn {
namespace {

int ListenOnLoopback(int* port) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) std::abort();
  int yes = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) std::abort();
  socklen_t length = sizeof address;
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  *port = ntohs(address.sin_port);
  return fd;
}

const char* Reason(int status) {
  switch (status) {
    case 200:
      return "OK";
    case 302:
      return "Found";
    case 404:
      return "Not Found";
    case 500:
      return "Internal Server Error";
    default:
      return "Status";
  }
}

void WriteAll(int fd, const std::string& data) {
  std::size_t done = 0;
  while (done < data.size()) {
    ssize_t n = send(fd, data.data() + done, data.size() - done, MSG_NOSIGNAL);
    if (n <= 0) return;
    done += static_cast<std::size_t>(n);
  }
}

}  // namespace

LocalHttpServer::LocalHttpServer() {
  listen_fd_ = ListenOnLoopback(&port_);
  if (listen(listen_fd_, 16) != 0 || pipe2(wake_, O_CLOEXEC) != 0) std::abort();
  thread_ = std::thread([this] { Loop(); });
}

LocalHttpServer::~LocalHttpServer() {
  char byte = 0;
  (void)!write(wake_[1], &byte, 1);
  thread_.join();
  for (int fd : held_) close(fd);
  close(listen_fd_);
  close(wake_[0]);
  close(wake_[1]);
}

void LocalHttpServer::Serve(const std::string& path, Response response) {
  std::lock_guard<std::mutex> lock(mutex_);
  responses_[path] = std::move(response);
}

std::string LocalHttpServer::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

int LocalHttpServer::UnusedPort() {
  // Bound but never listening: the port stays reserved for this process and
  // every connection to it is refused.
  static int reserved_port = 0;
  if (reserved_port == 0) ListenOnLoopback(&reserved_port);
  return reserved_port;
}

void LocalHttpServer::Loop() {
  for (;;) {
    pollfd fds[2] = {{listen_fd_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
    if (poll(fds, 2, -1) < 0) continue;
    if (fds[1].revents != 0) return;
    if (fds[0].revents & POLLIN) {
      int fd = accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd >= 0) Answer(fd);
    }
  }
}

void LocalHttpServer::Answer(int fd) {
  std::string request;
  char buffer[4096];
  while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536) {
    pollfd p = {fd, POLLIN, 0};
    if (poll(&p, 1, 5000) <= 0) break;
    ssize_t n = recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    request.append(buffer, static_cast<std::size_t>(n));
  }
  ++requests_;
  std::string path;
  std::size_t space = request.find(' ');
  if (space != std::string::npos) {
    std::size_t end = request.find(' ', space + 1);
    if (end != std::string::npos) path = request.substr(space + 1, end - space - 1);
  }
  Response response;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = responses_.find(path);
    if (it != responses_.end()) {
      response = it->second;
    } else {
      response.status = 404;
      response.content_type = "text/html";
      response.body = "<html><body>not found</body></html>";
    }
  }
  if (response.never_answer) {
    held_.push_back(fd);
    return;
  }
  std::string head =
      "HTTP/1.0 " + std::to_string(response.status) + " " + Reason(response.status) + "\r\n";
  head += "Content-Type: " + response.content_type + "\r\n";
  head += "Content-Length: " + std::to_string(response.body.size()) + "\r\n";
  if (!response.location.empty()) head += "Location: " + response.location + "\r\n";
  head += "Connection: close\r\n\r\n";
  WriteAll(fd, head + response.body);
  close(fd);
}

}  // namespace tarn
