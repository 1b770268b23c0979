#include "nodequery/http_client.h"

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

TEST(BodyCapacityTest, ContentLengthPlusOneNeverMoreThanOneMebibyte) {
  struct Case {
    int64_t length;
    size_t capacity;
  } cases[] = {{-1, 1048576u},
               {0, 1u},
               {5000, 5001u},
               {1048575, 1048576u},
               {1048576, 1048576u},
               {100000000, 1048576u},
               {int64_t{1} << 40, 1048576u}};
  for (const Case& c : cases) EXPECT_EQ(BodyCapacity(c.length), c.capacity) << c.length;
}

TEST(IsLocalNetworkHostTest, EveryAddressThatIsNotGloballyRoutableIsLocal) {
  struct Case {
    const char* host;
    bool local;
  } cases[] = {
      {"127.0.0.1", true},
      {"127.0.0.1:8080", true},
      {"127.255.1.2", true},
      {"127.1", true},
      {"2130706433", true},
      {"0x7f.0.0.1", true},
      {"localhost", true},
      {"LocalHost.:81", true},
      {"a.localhost", true},
      {"10.0.0.1", true},
      {"172.16.0.1", true},
      {"172.31.255.255", true},
      {"192.168.1.1", true},
      {"169.254.1.1", true},
      {"0.0.0.0", true},
      {"[::1]", true},
      {"[::1]:9000", true},
      {"::1", true},
      {"[::]", true},
      {"[fe80::1]", true},
      {"[febf::1]", true},
      {"[fc00::1]", true},
      {"[fd12:3456::1]", true},
      {"[::ffff:10.1.2.3]", true},
      {"[::ffff:127.0.0.1]", true},
      {"0.1.2.3", true},
      {"100.64.0.1", true},
      {"100.100.100.200", true},
      {"100.127.255.255", true},
      {"192.0.0.8", true},
      {"192.0.2.1", true},
      {"198.18.0.1", true},
      {"198.19.255.255", true},
      {"198.51.100.7", true},
      {"203.0.113.9", true},
      {"224.0.0.1", true},
      {"239.255.255.250", true},
      {"240.0.0.1", true},
      {"255.255.255.255", true},
      {"[64:ff9b::7f00:1]", true},
      {"[64:ff9b::a9fe:a9fe]", true},
      {"[64:ff9b:1::808:808]", true},
      {"[::ffff:100.100.100.200]", true},
      {"[::10.0.0.1]", true},
      {"[2002:c0a8:101::1]", true},
      {"[2001:db8::1]", true},
      {"[2001::1]", true},
      {"[2001:1ff::1]", true},
      {"[100::1]", true},
      {"[3fff::1]", true},
      {"[fec0::1]", true},
      {"[ff02::1]", true},
      {"[ff0e::1]", true},
      {"[4000::1]", true},
      {"fe80::1%eth0", true},
      {"100.63.255.255", false},
      {"100.128.0.1", false},
      {"192.0.1.1", false},
      {"198.17.255.255", false},
      {"198.20.0.1", false},
      {"223.255.255.255", false},
      {"[64:ff9b::808:808]", false},
      {"[2002:808:808::1]", false},
      {"[2001:200::1]", false},
      {"[2606:4700::1111]", false},
      {"172.15.255.255", false},
      {"172.32.0.1", false},
      {"192.169.0.1", false},
      {"169.255.0.1", false},
      {"11.0.0.1", false},
      {"8.8.8.8:53", false},
      {"[::ffff:8.8.8.8]", false},
      {"search.example.org", false},
      {"localhost.example.org", false},
      {"10.example", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsLocalNetworkHost(c.host), c.local) << c.host;
    // A name is judged by the address it resolves to, never by its text.
    bool name = std::string_view(c.host).find("ocal") != std::string_view::npos;
    EXPECT_EQ(IsLocalAddressLiteral(c.host), c.local && !name) << c.host;
  }
}

TEST(MayConnectTest, LaterHopsReachLocalAddressesOnlyFromALocalNode) {
  struct Case {
    AddressReach reach;
    bool firstHop, firstHopLocal, local, allowed;
  } cases[] = {
      {AddressReach::kAny, false, false, true, true},
      {AddressReach::kPublicAfterFirstHop, true, false, true, true},
      // A configured name that resolved to a public address: its redirects stay public.
      {AddressReach::kPublicAfterFirstHop, false, false, true, false},
      {AddressReach::kPublicAfterFirstHop, false, false, false, true},
      // ...and one that resolved to a local address is a node on the local network.
      {AddressReach::kPublicAfterFirstHop, false, true, true, true},
      {AddressReach::kPublicOnly, true, false, true, false},
      {AddressReach::kPublicOnly, false, true, true, false},
      {AddressReach::kPublicOnly, true, false, false, true},
  };
  for (const Case& c : cases)
    EXPECT_EQ(MayConnect(c.reach, c.firstHop, c.firstHopLocal, c.local), c.allowed)
        << static_cast<int>(c.reach) << c.firstHop << c.firstHopLocal << c.local;
}

TEST(LeadsToSelfTest, SameHostAndPortAndTheProgramsPath) {
  struct Case {
    const char* selfHost;
    const char* selfPath;
    const char* url;
    bool self;
  } cases[] = {
      {"search.example", "/quorix.cgi", "http://search.example/quorix.cgi?vexa_query=x", true},
      {"search.example", "/quorix.cgi", "http://SEARCH.Example.:80/quorix.cgi", true},
      {"search.example", "/quorix.cgi", "https://search.example/quorix.cgi", true},
      {"search.example:80", "/quorix.cgi", "http://search.example/quorix.cgi", true},
      {"search.example:8080", "/quorix.cgi", "http://search.example:8080/quorix.cgi?a", true},
      {"search.example", "/quorix.cgi", "http://user@search.example/quorix.cgi", true},
      {"search.example", "/cgi-bin/quorix.cgi", "http://search.example//cgi-bin/./quorix.cgi",
       true},
      {"search.example", "/cgi-bin/quorix.cgi", "http://search.example/x/../cgi-bin/quorix.cgi",
       true},
      {"search.example", "/quorix.cgi", "http://search.example/%71uorix.cgi", true},
      {"search.example", "/quorix.cgi", "http://search.example/quorix.cgi/more", true},
      {"[::1]:81", "/quorix.cgi", "http://[::1]:81/quorix.cgi", true},
      {"search.example", "/quorix.cgi", "http://search.example/quorix.cgi2", false},
      {"search.example", "/quorix.cgi", "http://search.example/other.cgi?quorix.cgi", false},
      {"search.example", "/quorix.cgi", "http://search.example:8080/quorix.cgi", false},
      {"search.example:8080", "/quorix.cgi", "http://search.example/quorix.cgi", false},
      {"search.example:80", "/quorix.cgi", "https://search.example/quorix.cgi", false},
      {"search.example", "/quorix.cgi", "http://other.example/quorix.cgi", false},
      {"search.example", "/quorix.cgi", "http://search.example.org/quorix.cgi", false},
      {"", "/quorix.cgi", "http://search.example/quorix.cgi", false},
      {"search.example", "", "http://search.example/quorix.cgi", false},
      {"search.example", "/quorix.cgi", "/quorix.cgi", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(UrlLeadsToSelf(c.selfHost, c.selfPath, c.url), c.self)
        << c.selfHost << c.selfPath << " <- " << c.url;
}

TEST(KeptByPiecesTest, DropsThePieceThatWouldOverflow) {
  struct Case {
    size_t size;
    size_t capacity;
    size_t kept;
  } cases[] = {
      {10, 11, 10},       {10, 10, 0},        {1023, 1024, 1023}, {1024, 1025, 1024},
      {2046, 2046, 1023}, {2047, 2047, 2046}, {3000, 2500, 2046}, {1048576 + 7, 1048576, 1048575}};
  for (const Case& c : cases)
    EXPECT_EQ(KeptByPieces(c.size, c.capacity), c.kept) << c.size << " bytes into " << c.capacity;
}

// One whole transfer against the test server.
struct Fetched {
  bool sent = false;
  int32_t status = 0;
  bool read = false;
  std::string headers, body;
};

Fetched Fetch(const TestHttpServer& server, const std::string& target,
              AddressReach reach = AddressReach::kAny, const std::string& selfPath = "") {
  Fetched out;
  NodeConnection connection;
  connection.SetAddressReach(reach);
  if (!selfPath.empty()) connection.SetSelfAddress(server.HostPort(), selfPath);
  if (!connection.Connect(server.HostPort(), kHttpPort)) return out;
  uint32_t timeoutMs = 5000;
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
  EXPECT_NE(head.find("X-Quorix-Hops: 1"), std::string::npos) << head;

  // A search asked by another Quorix passes on its hop count, the path unchanged.
  NodeConnection relayed;
  relayed.SetHops(3);
  ASSERT_TRUE(relayed.Connect(server.HostPort(), kHttpPort));
  ASSERT_TRUE(relayed.RequestGet("/search.cgi", 5000, false));
  head = server.LastRequestHead();
  EXPECT_EQ(head.rfind("GET /search.cgi HTTP/1.1\r\n", 0), 0u) << head;
  EXPECT_NE(head.find("X-Quorix-Hops: 3"), std::string::npos) << head;
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
  std::string big = HttpAnswer::Filler(5 * 1048576);
  server.Answer("/unsized", HttpAnswer(big).NoContentLength());
  server.Answer("/huge", HttpAnswer(big).Announce(100000000));
  server.Answer("/exact", HttpAnswer(HttpAnswer::Filler(3000)));
  server.Answer("/empty", HttpAnswer(""));
  // Announces fewer bytes than it sends: only the announced ones count.
  server.Answer("/short", HttpAnswer(HttpAnswer::Filler(3000)).Announce(2000));

  // Announced or not, a body never takes more than the cap.
  for (const char* path : {"/unsized", "/huge"}) {
    Fetched got = Fetch(server, path);
    EXPECT_TRUE(got.read) << path;
    EXPECT_EQ(got.body.size(), 1048575u) << path;  // 1025 whole pieces of 1023 bytes
    EXPECT_LE(got.body.capacity(), kHttpUnsizedBodyBytes) << path;
    EXPECT_EQ(got.body, big.substr(0, 1048575)) << path;
  }

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
  HttpAnswer fat("body"), thin("body");
  for (int i = 0; i < 70; ++i) fat.Header("X-Padding-" + std::to_string(i), std::string(1000, 'p'));
  for (int i = 0; i < 10; ++i)
    thin.Header("X-Padding-" + std::to_string(i), std::string(1000, 'p'));
  server.Answer("/fat", fat);
  server.Answer("/thin", thin);
  Fetched got = Fetch(server, "/fat");
  EXPECT_TRUE(got.sent);
  EXPECT_FALSE(got.read);
  got = Fetch(server, "/thin");
  EXPECT_TRUE(got.read);
  EXPECT_GT(got.headers.size(), 10000u);
  EXPECT_EQ(got.body, "body");
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

TEST(NodeConnectionTest, RedirectsReachLocalAddressesOnlyWhenAllowed) {
  TestHttpServer server;
  server.Answer("/old", HttpAnswer().Status(302).Header("Location", server.Url("/new")));
  server.Answer("/new", HttpAnswer("moved here"));
  server.Answer("/here", HttpAnswer("direct"));
  // A first hop on a public address cannot be made here: MayConnectTest
  // covers the redirects of such a node.
  struct Case {
    AddressReach reach;
    const char* target;
    const char* selfPath;  // this search's own path, on the server's host and port
    bool allowed;
    int32_t refusal;
  } cases[] = {{AddressReach::kAny, "/old", "", true, 0},
               {AddressReach::kPublicAfterFirstHop, "/here", "", true, 0},
               // The first hop went to 127.0.0.1: the node is on the local network.
               {AddressReach::kPublicAfterFirstHop, "/old", "", true, 0},
               {AddressReach::kPublicOnly, "/here", "", false, kHttpAddressRefused},
               {AddressReach::kAny, "/old", "/new", false, kHttpLeadsToSelf},
               {AddressReach::kPublicAfterFirstHop, "/old", "/new/", false, kHttpLeadsToSelf},
               {AddressReach::kAny, "/old", "/quorix.cgi", true, 0},
               // The configured URL itself is the administrator's choice.
               {AddressReach::kAny, "/here", "/here", true, 0}};
  for (const Case& c : cases) {
    size_t before = server.RequestCount();
    Fetched got = Fetch(server, c.target, c.reach, c.selfPath);
    EXPECT_EQ(got.sent, c.allowed) << c.target << " " << static_cast<int>(c.reach) << c.selfPath;
    if (!c.allowed) {
      EXPECT_EQ(got.status, c.refusal) << c.target << c.selfPath;
      // The refused hop never reached the server.
      EXPECT_EQ(server.RequestCount(), before + (c.reach == AddressReach::kPublicOnly ? 0 : 1));
    }
  }

  // A configured name that resolves to a local address puts the node on the
  // local network: its redirects may stay there.
  NodeConnection named;
  ASSERT_TRUE(named.Connect("localhost:" + std::to_string(server.port()), kHttpPort));
  int32_t status = 0;
  EXPECT_TRUE(named.RequestGet("/old", 5000, false, &status));
  EXPECT_EQ(status, 200);
  EXPECT_TRUE(named.FirstHopLocal());

  // A name that resolves to a local address is refused as well.
  NodeConnection connection;
  connection.SetAddressReach(AddressReach::kPublicOnly);
  ASSERT_TRUE(connection.Connect("localhost:" + std::to_string(server.port()), kHttpPort));
  int32_t error = 0;
  EXPECT_FALSE(connection.RequestGet("/here", 5000, false, &error));
  EXPECT_EQ(error, kHttpAddressRefused);
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
