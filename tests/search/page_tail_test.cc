#include "search/page/page_tail.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "config/lang_keys.h"
#include "tests/support/recording_log.h"

namespace quorix {
namespace {

namespace fs = std::filesystem;

std::tm FixedTime() {
  std::tm time{};
  time.tm_year = 2024 - 1900;
  time.tm_mon = 2;  // March
  time.tm_mday = 5;
  time.tm_hour = 7;
  time.tm_min = 8;
  time.tm_sec = 9;
  return time;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(SearchLogLine, HoldsEveryFieldInOrder) {
  struct Case {
    std::string name;
    std::string query;
    int32_t matches;
    bool fromCache, matchAll;
    int32_t perPage, page;
    int32_t useCats;
    std::vector<int32_t> cat;
    double seconds;
    std::string expected;
  } cases[] = {
      {"plain query, no categories",
       "cats",
       12,
       false,
       false,
       10,
       1,
       0,
       {},
       0,
       "2024-03-05, 07:08:09, 10.0.0.7, \"cats\", Matches = 12, QUERY, OR, PerPage = 10, "
       "PageNum = 1, No cats, Time = 0.000\r\n"},
      {"page 2 from the cache, AND, all categories",
       "big cats",
       35,
       true,
       true,
       10,
       2,
       1,
       {-1},
       0.25,
       "2024-03-05, 07:08:09, 10.0.0.7, \"big cats\", Matches = 35, READCACHE, AND, PerPage = 10, "
       "PageNum = 2, \"Cat = All\", Time = 0.250\r\n"},
      {"quoted phrase",
       "\"big cat\" x",
       1,
       false,
       false,
       20,
       1,
       0,
       {},
       1.23456,
       "2024-03-05, 07:08:09, 10.0.0.7, \"\"\"big cat\"\" x\", Matches = 1, QUERY, OR, "
       "PerPage = 20, PageNum = 1, No cats, Time = 1.235\r\n"},
      {"control characters cannot start a forged line",
       "probe\r\n2099-01-01, 00:00:00, 6.6.6.6, \"forged\"\t\x01\x7F",
       0,
       false,
       false,
       10,
       1,
       0,
       {},
       0,
       "2024-03-05, 07:08:09, 10.0.0.7, \"probe\\r\\n2099-01-01, 00:00:00, 6.6.6.6, "
       "\"\"forged\"\"\\t"
       "\\x01\\x7F\", Matches = 0, QUERY, OR, PerPage = 10, PageNum = 1, No cats, Time = "
       "0.000\r\n"},
      {"empty query",
       "",
       0,
       false,
       false,
       10,
       1,
       0,
       {},
       0,
       "2024-03-05, 07:08:09, 10.0.0.7, \"\", Matches = 0, QUERY, OR, PerPage = 10, "
       "PageNum = 1, No cats, Time = 0.000\r\n"},
      {"two named categories",
       "q",
       3,
       false,
       false,
       10,
       1,
       1,
       {0, 1},
       0,
       "2024-03-05, 07:08:09, 10.0.0.7, \"q\", Matches = 3, QUERY, OR, PerPage = 10, "
       "PageNum = 1, \"Cat = Books, Music\", Time = 0.000\r\n"},
      {"name with a quote, number without a name",
       "q",
       3,
       false,
       false,
       10,
       1,
       1,
       {2, 7, -3},
       0,
       "2024-03-05, 07:08:09, 10.0.0.7, \"q\", Matches = 3, QUERY, OR, PerPage = 10, "
       "PageNum = 1, \"Cat = The \"\"Best\"\", 7, -3\", Time = 0.000\r\n"},
      {"categories on without a list",
       "q",
       3,
       false,
       false,
       10,
       1,
       1,
       {},
       0,
       "2024-03-05, 07:08:09, 10.0.0.7, \"q\", Matches = 3, QUERY, OR, PerPage = 10, "
       "PageNum = 1, \"Cat = All\", Time = 0.000\r\n"},
  };
  for (const auto& c : cases) {
    Config config;
    config.useCats = c.useCats;
    config.categoryNames = {"Books", "Music", "The \"Best\""};
    VexaQuery query;
    query.clientAddress = "10.0.0.7";
    query.query = c.query;
    query.wordMatchAll = c.matchAll;
    query.itemsPerPage = c.perPage;
    query.currentPageNum = c.page;
    query.cat = c.cat;
    RequestOutcome outcome{c.matches, c.fromCache, c.seconds};
    EXPECT_EQ(SearchLogLine(FixedTime(), query, outcome, config), c.expected) << c.name;
  }
}

TEST(SearchLogErrorText, NamesTheFailure) {
  std::map<int, std::string> cases = {
      {ENOENT, "No such file or directory. "},
      {EBADF, "Bad file number. "},
      {ENOMEM, "Not enough memory for operation. "},
      {EACCES, "Permission denied. "},
      {EEXIST, "File exists. "},
      {EXDEV, "Cross device link. "},
      {EINVAL, "Invalid argument. "},
      {EMFILE, "Too many open files. "},
      {ENOSPC, "No space left on device. "},
      {EDEADLK, "Resource deadlock. "},
      {EISDIR, "Unknown file error: " + std::to_string(EISDIR) + ". "},
  };
  for (const auto& [error, text] : cases) EXPECT_EQ(SearchLogErrorText(error), text) << error;
}

TEST(PageFooter, LinksTheProductPage) {
  EXPECT_EQ(PageFooter("Powered by"),
            "\n<center><p><small>Powered by <a href=\"https://quorix.example.org/\" "
            "target=\"_blank\"><b>Vexa Search Engine</b></a></small></p></center>\n");
  // Under PageMarkup 1 no obsolete center element.
  EXPECT_EQ(PageFooter("Powered by", true),
            "\n<p class=\"poweredby\"><small>Powered by <a href=\"https://quorix.example.org/\" "
            "target=\"_blank\" rel=\"noopener\">Vexa Search Engine</a></small></p>\n");
}

class PageTailTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/quorix_tail_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    config_.langStrings[kStrPoweredBy] = "Powered by";
    config_.logging = 1;
    config_.logFileName = dir_ + "/search.log";
    query_.query = "cats";
    query_.queryPresent = true;
    outcome_.matches = 4;
    query_.clientAddress = "127.0.0.1";
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Opens a template "<h>\n<!--VEXASEARCH-->\n<t>\n" past its head, unless `withTemplate` is false.
  std::string RunTail(bool withTemplate = true) {
    PageTemplate pageTemplate;
    if (withTemplate) {
      std::ofstream(dir_ + "/search_template.html", std::ios::binary)
          << "<h>\n<!--VEXASEARCH-->\n<t>\n";
      EXPECT_TRUE(pageTemplate.Open(dir_));
      pageTemplate.WriteHead([](std::string_view) {});
    }
    PageOutput page;
    PageTail tail(page, config_, query_, pageTemplate, log_, FixedTime);
    tail.WritePageTail(ResultPage(), outcome_);
    return page.Captured();
  }

  std::string LogLine() const { return SearchLogLine(FixedTime(), query_, outcome_, config_); }

  std::string dir_;
  Config config_;
  VexaQuery query_;
  RequestOutcome outcome_;
  testing::RecordingLog log_;
};

TEST_F(PageTailTest, WritesFooterTemplateTailAndLogLine) {
  EXPECT_EQ(RunTail(), PageFooter("Powered by") + "<t>\n");
  EXPECT_EQ(ReadFile(config_.logFileName), LogLine());
  RunTail();
  EXPECT_EQ(ReadFile(config_.logFileName), LogLine() + LogLine())
      << "the second search is appended";
}

TEST_F(PageTailTest, NoLogLineWithoutQueryOrWithLoggingOff) {
  struct Case {
    std::string name;
    int32_t logging;
    bool queryPresent;
  } cases[] = {
      {"no query parameter", 1, false},
      {"logging off", 0, true},
      {"logging 2 counts as off", 2, true},
  };
  for (const auto& c : cases) {
    config_.logging = c.logging;
    query_.queryPresent = c.queryPresent;
    EXPECT_EQ(RunTail(), PageFooter("Powered by") + "<t>\n") << c.name;
    EXPECT_FALSE(fs::exists(config_.logFileName)) << c.name;
  }
}

TEST_F(PageTailTest, WithoutTemplateWritesNothingAndLogsNothing) {
  EXPECT_EQ(RunTail(false), "");
  EXPECT_FALSE(fs::exists(config_.logFileName));
}

TEST_F(PageTailTest, UnwritableLogIsAWarningNotPageText) {
  config_.logFileName = dir_ + "/no/such/dir/search.log";
  EXPECT_EQ(RunTail(), PageFooter("Powered by") + "<t>\n");
  EXPECT_TRUE(log_.Has(kLogWarning, "No such file or directory. Log filename and path not found (" +
                                        config_.logFileName +
                                        "). Check that you specified the correct log filename "
                                        "in your Indexer settings."));
}

// Many CGI processes append to one search log at once: every line must
// arrive whole. Each child process appends its lines; then every line of the
// file must be one child's line, unbroken.
TEST(AppendSearchLogLine, ConcurrentProcessesNeverInterleave) {
  char pattern[] = "/tmp/quorix_log_XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  std::string dir = pattern;
  std::string path = dir + "/search.log";
  constexpr int kWriters = 20;
  constexpr int kLinesEach = 25;
  auto lineOf = [](int writer) {
    // Long enough that a buffered writer would split it over several writes.
    return "writer " + std::to_string(writer) + " " + std::string(6000, 'a' + writer) + "\r\n";
  };

  std::vector<pid_t> children;
  for (int writer = 0; writer < kWriters; ++writer) {
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      int failures = 0;
      for (int i = 0; i < kLinesEach; ++i)
        failures += AppendSearchLogLine(path, lineOf(writer)) != 0;
      _exit(failures == 0 ? 0 : 1);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }

  std::string log = ReadFile(path);
  std::map<int, int> linesPerWriter;
  size_t start = 0;
  while (start < log.size()) {
    size_t end = log.find("\r\n", start);
    ASSERT_NE(end, std::string::npos) << "unterminated line at " << start;
    std::string line = log.substr(start, end + 2 - start);
    int writer = std::stoi(line.substr(7));
    ASSERT_EQ(line, lineOf(writer)) << "line at byte " << start << " is broken";
    ++linesPerWriter[writer];
    start = end + 2;
  }
  EXPECT_EQ(linesPerWriter.size(), static_cast<size_t>(kWriters));
  for (const auto& [writer, count] : linesPerWriter) EXPECT_EQ(count, kLinesEach) << writer;
  fs::remove_all(dir);
}

}  // namespace
}  // namespace quorix
