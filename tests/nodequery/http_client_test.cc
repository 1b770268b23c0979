#include "nodequery/http_client.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "tests/support/test_http_server.h"

namespace quorix {
namespace {

using testing::HttpAnswer;
using testing::TestHttpServer;

TEST(HttpStatusTextTest, KnownCodesHaveTheirTextOthersNone) {
  struct Case {
    int32_t status;
    const char* text;
  } cases[] = {{300, "Multiple Choices server error"},
               {301, "Moved Permanently"},
               {302, "Server redirection"},
               {303, "Server redirection"},
               {401, "Access denied"},
               {403, "Forbidden"},
               {404, "File not found"},
               {408, "Connection timed out"},
               {500, "Internal server error"},
               {200, nullptr},
               {304, nullptr},
               {502, nullptr}};
  for (const Case& c : cases) {
    const char* text = HttpStatusText(c.status);
    if (c.text == nullptr)
      EXPECT_EQ(text, nullptr) << c.status;
    else
      EXPECT_STREQ(text, c.text) << c.status;
  }
}

TEST(ChooseEndpointTest, SchemeGivesPortUnlessTheHostNamesOne) {
  struct Case {
    const char* scheme;
    const char* host;
    const char* wantHost;
    uint16_t wantPort;
    bool wantSecure;
  } cases[] = {{"http", "example.org", "example.org", 80, false},
               {"https", "example.org", "example.org", 443, true},
               {"ftp", "example.org", "example.org", 80, false},
               {"", "example.org", "example.org", 80, false},
               {"HTTPS", "example.org", "example.org", 80, false},
               {"http", "127.0.0.1:8081", "127.0.0.1", 8081, false},
               {"https", "example.org:8443", "example.org", 8443, true},
               {"http", "[::1]:9000", "[::1]", 9000, false},
               {"http", "[::1]", "[::1]", 80, false}};
  for (const Case& c : cases) {
    Endpoint endpoint = ChooseEndpoint(c.scheme, c.host);
    EXPECT_EQ(endpoint.host, c.wantHost) << c.scheme << " " << c.host;
    EXPECT_EQ(endpoint.port, c.wantPort) << c.scheme << " " << c.host;
    EXPECT_EQ(endpoint.secure, c.wantSecure) << c.scheme << " " << c.host;
  }
}

TEST(BodyCapacityTest, ContentLengthPlusOneElseOneMebibyte) {
  EXPECT_EQ(BodyCapacity(-1), 1048576u);
  EXPECT_EQ(BodyCapacity(0), 1u);
  EXPECT_EQ(BodyCapacity(5000), 5001u);
  EXPECT_EQ(BodyCapacity(int64_t{1} << 40), kHttpMaxAnnouncedBodyBytes + 1);
}

TEST(AppendInPiecesTest, DropsThePieceThatWouldOverflow) {
  struct Case {
    size_t size;
    size_t capacity;
    size_t kept;
  } cases[] = {
      {10, 11, 10},       {10, 10, 0},        {1023, 1024, 1023}, {1024, 1025, 1024},
      {2046, 2046, 1023}, {2047, 2047, 2046}, {3000, 2500, 2046}, {1048576 + 7, 1048576, 1048575}};
  for (const Case& c : cases) {
    std::string body;
    bool whole = AppendInPieces(std::string(c.size, 'a'), c.capacity, body);
    EXPECT_EQ(body.size(), c.kept) << c.size << " bytes into " << c.capacity;
    EXPECT_EQ(whole, c.kept == c.size) << c.size << " bytes into " << c.capacity;
  }
}

// One whole transfer against the test server.
struct Fetched {
  bool sent = false;
  int32_t status = 0;
  bool read = false;
  std::string headers, body;
};

Fetched Fetch(const TestHttpServer& server, const std::string& target, uint32_t timeoutMs = 5000) {
  Fetched out;
  NodeConnection connection;
  if (!connection.Connect(server.HostPort(), kHttpPort)) return out;
  out.sent = connection.RequestGet(target, timeoutMs, false, &out.status);
  uint32_t length = 0;
  int64_t announced = connection.GetHttpResponseContentSize(length) == 0 ? length : -1;
  out.read =
      connection.ReadResponse(out.headers, kHttpHeaderBytes, out.body, BodyCapacity(announced));
  connection.CloseNodeHandles();
  return out;
}

TEST(NodeConnectionTest, AnyHttpStatusIsASuccessfulRequest) {
  TestHttpServer server;
  for (int status : {200, 404, 500, 403}) {
    std::string path = "/s" + std::to_string(status);
    server.Answer(path, HttpAnswer("<html>page</html>").Status(status).Type("text/html"));
    Fetched got = Fetch(server, path);
    EXPECT_TRUE(got.sent) << status;
    EXPECT_EQ(got.status, status);
    EXPECT_TRUE(got.read) << status;
    EXPECT_EQ(got.body, "<html>page</html>") << status;
    EXPECT_EQ(got.headers.rfind("HTTP/1.1 " + std::to_string(status), 0), 0u) << got.headers;
  }
}

TEST(NodeConnectionTest, SendsOneGetWithTheUserAgentAndNoCaching) {
  TestHttpServer server;
  server.Answer("/search.cgi", HttpAnswer("ok"));
  Fetched got = Fetch(server, "/search.cgi?vexa_query=a%26b&vexa_xml=1");
  ASSERT_TRUE(got.read);
  ASSERT_EQ(server.RequestTargets(),
            std::vector<std::string>{"/search.cgi?vexa_query=a%26b&vexa_xml=1"});
  std::string head = server.LastRequestHead();
  EXPECT_EQ(head.rfind("GET ", 0), 0u) << head;
  EXPECT_NE(head.find("User-Agent: Quorix\r\n"), std::string::npos) << head;
  EXPECT_NE(head.find("Cache-Control: no-cache"), std::string::npos) << head;
}

TEST(NodeConnectionTest, ContentTypeAndLengthAreReported) {
  TestHttpServer server;
  server.Answer("/a", HttpAnswer("12345").Type("application/rss+xml"));
  NodeConnection connection;
  ASSERT_TRUE(connection.Connect(server.HostPort(), kHttpPort));
  ASSERT_TRUE(connection.RequestGet("/a", 5000, false));
  uint32_t length = 0;
  EXPECT_EQ(connection.GetHttpResponseContentSize(length), 0);
  EXPECT_EQ(length, 5u);
  std::string type;
  EXPECT_EQ(connection.GetHttpResponseContentType(type), 0);
  EXPECT_EQ(type, "application/rss+xml");
}

TEST(NodeConnectionTest, BodyLimits) {
  TestHttpServer server;
  std::string big = HttpAnswer::Filler(1048576 + 5000);
  server.Answer("/unsized", HttpAnswer(big).NoContentLength());
  server.Answer("/exact", HttpAnswer(HttpAnswer::Filler(3000)));
  server.Answer("/empty", HttpAnswer(""));
  // Announces fewer bytes than it sends: only the announced ones count.
  server.Answer("/short", HttpAnswer(HttpAnswer::Filler(3000)).Announce(2000));

  Fetched unsized = Fetch(server, "/unsized");
  EXPECT_TRUE(unsized.read);
  EXPECT_EQ(unsized.body.size(), 1048575u);  // 1025 whole pieces of 1023 bytes
  EXPECT_EQ(unsized.body, big.substr(0, 1048575));

  Fetched exact = Fetch(server, "/exact");
  EXPECT_EQ(exact.body, HttpAnswer::Filler(3000));

  Fetched empty = Fetch(server, "/empty");
  EXPECT_TRUE(empty.sent);
  EXPECT_FALSE(empty.read);

  Fetched shortened = Fetch(server, "/short");
  EXPECT_EQ(shortened.body, HttpAnswer::Filler(2000));
}

TEST(NodeConnectionTest, HeadersLongerThanTheirBufferFailTheRead) {
  TestHttpServer server;
  server.Answer("/fat", HttpAnswer("body").Header("X-Padding", std::string(2100, 'p')));
  server.Answer("/thin", HttpAnswer("body").Header("X-Padding", std::string(1500, 'p')));
  Fetched fat = Fetch(server, "/fat");
  EXPECT_TRUE(fat.sent);
  EXPECT_FALSE(fat.read);
  Fetched thin = Fetch(server, "/thin");
  EXPECT_TRUE(thin.read);
  EXPECT_LT(thin.headers.size(), kHttpHeaderBytes);
}

TEST(NodeConnectionTest, RedirectsAreFollowed) {
  TestHttpServer server;
  server.Answer("/old", HttpAnswer().Status(302).Header("Location", server.Url("/new")));
  server.Answer("/new", HttpAnswer("moved here"));
  Fetched got = Fetch(server, "/old");
  EXPECT_EQ(got.status, 200);
  EXPECT_EQ(got.body, "moved here");
  EXPECT_EQ(got.headers.rfind("HTTP/1.1 200", 0), 0u) << got.headers;
}

TEST(NodeConnectionTest, RefusedAndMalformedHostsFail) {
  uint16_t closedPort;
  {
    TestHttpServer server;
    closedPort = server.port();
  }
  NodeConnection connection;
  ASSERT_TRUE(connection.Connect("127.0.0.1:" + std::to_string(closedPort), kHttpPort));
  int32_t error = 0;
  EXPECT_FALSE(connection.RequestGet("/", 2000, false, &error));
  EXPECT_NE(error, 0);
  EXPECT_FALSE(HttpErrorText(error).empty());

  for (const char* host : {"", "127.0.0.1:notaport", "127.0.0.1:70000", "a/b", "[::1"}) {
    EXPECT_FALSE(connection.Connect(host, kHttpPort)) << host;
    EXPECT_FALSE(connection.IsOpen()) << host;
    EXPECT_FALSE(connection.RequestGet("/", 1000, false)) << host;
  }
}

TEST(NodeConnectionTest, ASilentServerEndsTheTransferAtTheStallLimit) {
  TestHttpServer server;
  server.Answer("/silent", HttpAnswer().Never());
  NodeConnection connection;
  ASSERT_TRUE(connection.Connect(server.HostPort(), kHttpPort));
  int32_t error = 0;
  EXPECT_FALSE(connection.RequestGet("/silent", 100, false, &error));
  EXPECT_NE(error, 0);
}

TEST(NodeConnectionTest, CancelEndsATransferInProgress) {
  TestHttpServer server;
  server.Answer("/silent", HttpAnswer().Never());
  std::atomic<bool> cancel{false};
  NodeConnection connection(&cancel);
  ASSERT_TRUE(connection.Connect(server.HostPort(), kHttpPort));
  std::thread canceller([&] {
    while (server.RequestCount() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    cancel.store(true);
  });
  // Without the cancel this would wait for the one-minute stall limit.
  EXPECT_FALSE(connection.RequestGet("/silent", 60000, false));
  canceller.join();
}

TEST(NodeConnectionTest, CloseAllNodeHandlesCancelsRegisteredTransfers) {
  TestHttpServer server;
  server.Answer("/silent", HttpAnswer().Never());
  auto connection = std::make_shared<NodeConnection>();
  RegisterNodeHandles(3, connection);
  ASSERT_TRUE(connection->Connect(server.HostPort(), kHttpPort));
  std::thread closer([&] {
    while (server.RequestCount() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    CloseAllNodeHandles();
  });
  EXPECT_FALSE(connection->RequestGet("/silent", 60000, false));
  closer.join();
}

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

}  // namespace
}  // namespace quorix
