// The demo site writer's command line: what the demo script and the end-to-end
// tests pass must land in the settings, and bad input must be refused.
#include "tools/demo/site_options.h"

#include <gtest/gtest.h>

#include <vector>

#include "tools/demo/demo_site.h"

namespace quorix::demo {
namespace {

bool Parse(std::vector<const char*> args, DemoSiteOptions* options, std::string* error) {
  args.insert(args.begin(), "quorix_demo_site");
  return ParseSiteOptions(static_cast<int>(args.size()), args.data(), *options, error);
}

const std::vector<const char*> kRequired = {"--dir",    "/tmp/site", "--quorix",   "/b/quorix",
                                            "--source", "/src",      "--web-port", "8080"};

TEST(SiteOptions, NodesKeepTheirOrderAndShareTheTimeOut) {
  std::vector<const char*> args = kRequired;
  args.insert(args.end(), {"--opensearch-port", "9002", "--vexa-port", "9001", "--timeout-ms",
                           "750", "--user", "nobody", "--group", "nogroup"});
  DemoSiteOptions options;
  std::string error;
  ASSERT_TRUE(Parse(args, &options, &error)) << error;
  ASSERT_EQ(options.nodes.size(), 2u);
  EXPECT_EQ(options.nodes[0].type, 1);
  EXPECT_EQ(options.nodes[0].url, "http://127.0.0.1:9002/opensearch.xml");
  EXPECT_EQ(options.nodes[1].type, 0);
  EXPECT_EQ(options.nodes[1].url, "http://127.0.0.1:9001/search.cgi");
  for (const SiteNode& node : options.nodes) EXPECT_EQ(node.timeoutMs, 750);
  EXPECT_EQ(options.webPort, 8080);
  EXPECT_EQ(options.templateFile, "/src/panel/resources/cgi files/search_template.html");
  EXPECT_EQ(options.scriptFile, "/src/panel/resources/cgi files/quorix-results.js");
  EXPECT_EQ(options.languageFile, "/src/panel/resources/cgi files/lang/English.vlang");
  std::string config = LighttpdConfig(options);
  EXPECT_NE(config.find("server.port = 8080\n"), std::string::npos) << config;
  EXPECT_NE(config.find("server.username = \"nobody\""), std::string::npos) << config;
  for (const char* rule :
       {"url.access-deny = (\".qxdat\", \".log\")\n", "\".js\" => \"text/javascript\"",
        "$HTTP[\"url\"] =~ \"^/(cache|logs)(/|$)\" { url.access-deny = (\"\") }\n"})
    EXPECT_NE(config.find(rule), std::string::npos) << config;
}

TEST(SiteOptions, BadCommandLinesAreRefusedWithAReason) {
  struct Case {
    std::vector<const char*> extra;
    bool dropRequired;
    const char* reason;
  };
  const Case cases[] = {
      {{}, true, "are required"},
      {{"--vexa-port"}, false, "missing value after --vexa-port"},
      {{"--vexa-port", "0"}, false, "not a valid number"},
      {{"--vexa-port", "70000"}, false, "not a valid number"},
      {{"--timeout-ms", "12x"}, false, "not a valid number"},
      {{"--timeout-ms", "-5"}, false, "not a valid number"},
      {{"--colour", "blue"}, false, "unknown option: --colour"},
      {{"--user", "nobody"}, false, "--user and --group go together"},
  };
  for (const Case& c : cases) {
    std::vector<const char*> args = c.dropRequired ? std::vector<const char*>{} : kRequired;
    args.insert(args.end(), c.extra.begin(), c.extra.end());
    std::string joined;
    for (const char* arg : args) joined += std::string(arg) + " ";
    DemoSiteOptions options;
    std::string error;
    EXPECT_FALSE(Parse(args, &options, &error)) << joined;
    EXPECT_NE(error.find(c.reason), std::string::npos) << joined << "-> " << error;
  }
}

}  // namespace
}  // namespace quorix::demo
