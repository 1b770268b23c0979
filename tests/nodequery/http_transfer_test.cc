// Transfers against servers that misbehave on purpose: a trickling answer and
// TLS certificates for another host.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "nodequery/http_client.h"

namespace quorix {
namespace {

// A hostile server on 127.0.0.1 that answers every connection with a header
// announcing a large body and then sends one byte of it every `gap`, fast
// enough never to look stalled. Stopped by its destructor.
class TricklingServer {
 public:
  explicit TricklingServer(std::chrono::milliseconds gap) : gap_(gap) {
    listenFd_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (bind(listenFd_, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        listen(listenFd_, 4) != 0 ||
        getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &size) != 0)
      ADD_FAILURE() << "cannot listen on 127.0.0.1";
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Serve(); });
  }
  ~TricklingServer() {
    stop_.store(true);
    thread_.join();
    close(listenFd_);
  }
  std::string HostPort() const { return "127.0.0.1:" + std::to_string(port_); }

 private:
  void Serve() {
    while (!stop_.load()) {
      pollfd ready{listenFd_, POLLIN, 0};
      if (poll(&ready, 1, 20) <= 0) continue;
      int fd = accept(listenFd_, nullptr, nullptr);
      if (fd < 0) continue;
      char request[4096];
      (void)!recv(fd, request, sizeof request, 0);
      std::string head =
          "HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nContent-Length: 1000000\r\n\r\n<";
      bool open = send(fd, head.data(), head.size(), MSG_NOSIGNAL) > 0;
      while (open && !stop_.load()) {
        std::this_thread::sleep_for(gap_);
        open = send(fd, "x", 1, MSG_NOSIGNAL) == 1;
      }
      close(fd);
    }
  }

  std::chrono::milliseconds gap_;
  int listenFd_ = -1;
  uint16_t port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

TEST(NodeConnectionTest, ATricklingAnswerEndsAtTheTimeOut) {
  using namespace std::chrono_literals;
  TricklingServer server(50ms);
  NodeConnection connection;
  ASSERT_TRUE(connection.Connect(server.HostPort(), kHttpPort));
  // Ends the transfer should the time-out not, so that the test fails rather than hangs.
  std::atomic<bool> done{false};
  std::thread guard([&] {
    for (int i = 0; i < 160 && !done.load(); ++i) std::this_thread::sleep_for(50ms);
    connection.Cancel();
  });
  auto start = std::chrono::steady_clock::now();
  int32_t status = 0;
  bool sent = connection.RequestGet("/search.cgi", 500, false, &status);
  auto elapsed = std::chrono::steady_clock::now() - start;
  done.store(true);
  guard.join();
  // Without a bound on the whole transfer this would take 50000 s.
  EXPECT_LT(elapsed, 5s);
  // What arrived before the time-out is kept as a partial answer.
  if (sent) {
    std::string headers, body;
    connection.ReadResponse(headers, kHttpHeaderBytes, body, BodyCapacity(1000000));
    EXPECT_EQ(body.substr(0, 1), "<");
    EXPECT_LT(body.size(), 1000u);
  }
}

// A certificate authority made for one test in a temporary folder, which it
// removes: no private key is ever kept in the source tree.
class TestCa {
 public:
  TestCa() {
    char name[] = "/tmp/quorix-tls-XXXXXX";
    if (mkdtemp(name)) dir_ = name;
    ok_ =
        !dir_.empty() && Run("openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 "
                             "-nodes -days 1 -subj /CN=Quorix-Test-CA -keyout ca.key -out ca.pem");
  }
  ~TestCa() {
    if (!dir_.empty()) Run("rm -rf '" + dir_ + "'");
  }
  bool ok() const { return ok_; }
  std::string CaFile() const { return dir_ + "/ca.pem"; }

  // Issues `name`.pem and `name`.key for the given subjectAltName; returns
  // the folder-qualified name, or "" on failure.
  std::string Issue(const std::string& name, const std::string& altName) {
    std::ofstream(dir_ + "/" + name + ".ext") << "subjectAltName=" << altName << "\n";
    bool issued =
        Run("openssl req -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -subj /CN=" +
            name + " -keyout " + name + ".key -out " + name + ".csr") &&
        Run("openssl x509 -req -days 1 -in " + name +
            ".csr -CA ca.pem -CAkey ca.key "
            "-CAcreateserial -extfile " +
            name + ".ext -out " + name + ".pem");
    return issued ? dir_ + "/" + name : "";
  }

 private:
  bool Run(const std::string& command) const {
    return std::system(("cd '" + dir_ + "' && " + command + " >/dev/null 2>&1").c_str()) == 0;
  }
  std::string dir_;
  bool ok_ = false;
};

// `openssl s_server -www` on 127.0.0.1 with a certificate from TestCa: it
// answers every request with 200 and a status page. Stopped by its destructor.
class TlsTestServer {
 public:
  explicit TlsTestServer(const std::string& certificate) {
    int out[2];
    if (certificate.empty() || pipe(out) != 0) return;
    std::string cert = certificate + ".pem", key = certificate + ".key";
    pid_ = fork();
    if (pid_ == 0) {
      dup2(out[1], STDOUT_FILENO);
      freopen("/dev/null", "r", stdin);
      freopen("/dev/null", "w", stderr);
      execlp("openssl", "openssl", "s_server", "-accept", "127.0.0.1:0", "-cert", cert.c_str(),
             "-key", key.c_str(), "-www", static_cast<char*>(nullptr));
      _exit(127);
    }
    close(out[1]);
    ReadPort(out[0]);
    close(out[0]);
  }
  ~TlsTestServer() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
  uint16_t port() const { return port_; }

 private:
  // s_server prints "ACCEPT 127.0.0.1:<port>" once it listens.
  void ReadPort(int fd) {
    std::string seen;
    char buffer[256];
    pollfd ready{fd, POLLIN, 0};
    while (seen.find('\n', seen.find("ACCEPT")) == std::string::npos &&
           poll(&ready, 1, 10000) > 0) {
      ssize_t n = read(fd, buffer, sizeof buffer);
      if (n <= 0) return;
      seen.append(buffer, static_cast<size_t>(n));
    }
    size_t colon = seen.find(':', seen.find("ACCEPT 127.0.0.1"));
    if (colon != std::string::npos)
      port_ = static_cast<uint16_t>(std::atoi(seen.c_str() + colon + 1));
  }

  pid_t pid_ = -1;
  uint16_t port_ = 0;
};

TEST(NodeConnectionTest, HttpsChecksTheHostNameAgainstTheCertificate) {
  TestCa ca;
  ASSERT_TRUE(ca.ok()) << "openssl could not make the test CA";
  struct Case {
    const char* name;
    const char* altName;
    bool accepted;
  } cases[] = {{"evil", "DNS:evil.example", false}, {"local", "IP:127.0.0.1", true}};
  for (const Case& c : cases) {
    TlsTestServer server(ca.Issue(c.name, c.altName));
    ASSERT_NE(server.port(), 0) << c.name;
    NodeConnection connection;
    connection.SetAddressReach(AddressReach::kAny);
    connection.SetCaFile(ca.CaFile());
    ASSERT_TRUE(connection.Connect("127.0.0.1", server.port()));
    int32_t status = 0;
    EXPECT_EQ(connection.RequestGet("/", 5000, true, &status), c.accepted) << c.name;
    if (c.accepted) {
      EXPECT_EQ(status, 200) << connection.FailureDetail();
    } else {
      EXPECT_NE(status, 0);
      // The certificate's fault, for the debug lines.
      EXPECT_NE(connection.FailureDetail().find("127.0.0.1"), std::string::npos)
          << connection.FailureDetail();
    }
  }
}

}  // namespace
}  // namespace quorix
