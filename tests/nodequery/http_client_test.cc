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

#include "nodequery/http_handle_pool.h"
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

TEST(NodeConnectionTest, KeptConnectionsServeTheNextSearchUntilTheNodeClosesThem) {
  KeepConnectionsBetweenSearches();
  struct Case {
    const char* name;
    HttpAnswer answer;
    AddressReach secondReach;
    size_t connections;  // for two fetches in a row
  } cases[] = {
      {"kept open by the node: reused", HttpAnswer("a").KeepAlive(), AddressReach::kAny, 1},
      {"closed as announced", HttpAnswer("a"), AddressReach::kAny, 2},
      {"closed without a word: a new one", HttpAnswer("a").KeepAlive(true), AddressReach::kAny, 2},
      {"other address rules: a new one", HttpAnswer("a").KeepAlive(),
       AddressReach::kPublicAfterFirstHop, 2},
  };
  for (const Case& c : cases) {
    TestHttpServer server;
    server.Answer("/search.cgi", c.answer);
    Fetched first = Fetch(server, "/search.cgi?q=1");
    // Gives the node time to close its end before the second search.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    Fetched second = Fetch(server, "/search.cgi?q=2", c.secondReach);
    EXPECT_EQ(first.body, "a") << c.name;
    EXPECT_EQ(second.body, "a") << c.name;
    EXPECT_EQ(server.ConnectionCount(), c.connections) << c.name;
  }
  EXPECT_LE(KeptHandleCount(), kMaxKeptHandles);
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

}  // namespace
}  // namespace quorix
