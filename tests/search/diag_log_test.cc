#include "search/request/diag_log.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

#include "platform/text.h"

namespace quorix {
namespace {

namespace fs = std::filesystem;

class TempDir {
 public:
  TempDir() {
    std::string pattern = (fs::temp_directory_path() / "quorix-log-XXXXXX").string();
    path_ = mkdtemp(pattern.data());
  }
  ~TempDir() { fs::remove_all(path_); }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

std::string ReadAll(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

const std::string kOrange = "<div><font size=\"2\" color=#FFAA00><i>";
const std::string kRed = "<div><font size=\"2\" color=\"red\"><i>";
const std::string kPlain = "<div><font size=\"2\"><i>";
const std::string kGreen = "<div><font size=\"2\" color=\"green\"><i>";
const std::string kClose = "</i></font></div>";

TEST(DiagLog, PageLinesByLevelAndDebugMode) {
  struct Case {
    int level;
    std::string tag;  // empty: never on the page
    bool shown[3];    // in debug mode 0, 1, 2
  } cases[] = {
      {kLogFileOnly, kPlain, {false, false, true}},
      {kLogWarning, kOrange, {false, true, true}},
      {kLogError, kRed, {true, true, true}},
      {kLogInfo, kPlain, {false, true, true}},
      {kLogDetail, kPlain, {false, false, true}},
      {kLogDetailWarning, kOrange, {false, false, true}},
      {kLogTiming, kGreen, {false, true, true}},
  };
  for (const auto& c : cases) {
    for (int mode = 0; mode <= 2; ++mode) {
      Config config;
      config.debugMode = mode;
      PageOutput page;
      DiagLog log(page, config);
      log.Logf(c.level, "line %d", 7);
      std::string expected = c.shown[mode] ? c.tag + "line 7" + kClose : "";
      EXPECT_EQ(page.Captured(), expected) << "level " << c.level << " mode " << mode;
    }
  }
}

TEST(DiagLog, FollowsTheConfigAsItChanges) {
  Config config;
  PageOutput page;
  DiagLog log(page, config);
  log.Logf(kLogDetail, "before");
  config.debugMode = 2;  // as when the settings have been loaded
  log.Logf(kLogDetail, "after");
  EXPECT_EQ(page.Captured(), kPlain + "after" + kClose);
}

TEST(DiagLog, EveryLevelGoesToTheDebugFile) {
  TempDir dir;
  Config config;
  config.debugLogging = 1;
  config.debugFileName = dir / "debug.log";
  PageOutput page;
  DiagLog log(page, config);
  for (int level = kLogFileOnly; level <= kLogTiming; ++level) log.Logf(level, "level %d", level);
  EXPECT_EQ(ReadAll(config.debugFileName),
            "level 0\nlevel 1\nlevel 2\nlevel 3\nlevel 4\nlevel 5\nlevel 6\n");
  EXPECT_EQ(page.Captured(), kRed + "level 2" + kClose);  // only the error in mode 0

  log.Logf(kLogInfo, "appended");
  EXPECT_EQ(ReadAll(config.debugFileName).substr(56), "appended\n");

  config.debugMode = 2;  // the verbose page holds every line of the file
  PageOutput verbose;
  DiagLog verboseLog(verbose, config);
  for (int level = kLogFileOnly; level <= kLogTiming; ++level)
    verboseLog.Logf(level, "level %d", level);
  const std::string shown = verbose.Captured();
  for (int level = kLogFileOnly; level <= kLogTiming; ++level)
    EXPECT_NE(shown.find("level " + std::to_string(level) + kClose), std::string::npos) << shown;
}

TEST(DiagLog, NoFileWithoutDebugLogging) {
  TempDir dir;
  Config config;
  config.debugFileName = dir / "debug.log";
  PageOutput page;
  DiagLog log(page, config);
  log.Logf(kLogError, "x");
  EXPECT_FALSE(fs::exists(config.debugFileName));
}

TEST(DiagLog, UnwritableFileIsReportedOnceAndOnlyInDebugMode) {
  TempDir dir;
  for (std::string name : {dir / "missing/dir/debug.log", std::string()}) {
    for (int debugMode : {0, 1}) {
      Config config;
      config.debugLogging = 1;
      config.debugFileName = name;
      config.debugMode = debugMode;
      PageOutput page;
      DiagLog log(page, config);
      log.Logf(kLogError, "boom");
      log.Logf(kLogError, "again");
      std::string expected = kRed + "boom" + kClose;
      if (debugMode == 1)
        expected += std::string(DiagLog::OpeningTag(kLogWarning)) + "Failed to log to file &quot;" +
                    name + "&quot;.  Check that you have permission writing to file." + kClose;
      expected += kRed + "again" + kClose;
      EXPECT_EQ(page.Captured(), expected) << name << " debug " << debugMode;
    }
  }
}

TEST(DiagLog, PageLinesAreEscapedAndDetailOnlyInDebugMode) {
  struct Case {
    int debugMode;
    std::string page;
  } cases[] = {
      {0, kRed + "Node #1: failed" + kClose},
      {1, kRed + "Node #1: failed at &quot;&lt;img src=x onerror=alert(1)&gt;&quot;<br>&amp; more" +
              kClose},
  };
  for (const Case& c : cases) {
    TempDir dir;
    Config config;
    config.debugMode = c.debugMode;
    config.debugLogging = 1;
    config.debugFileName = dir / "debug.log";
    PageOutput page;
    DiagLog log(page, config);
    const std::string full = "Node #1: failed at \"<img src=x onerror=alert(1)>\"\n& more\n";
    log.WriteWithDetail(kLogError, "Node #1: failed", full);
    EXPECT_EQ(page.Captured(), c.page) << c.debugMode;
    std::ifstream file(config.debugFileName);
    std::string written((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    EXPECT_EQ(written, full + "\n") << "the debug file keeps the plain text";
  }
}

TEST(DiagLog, LongLinesAreCut) {
  Config config;
  config.debugMode = 1;
  PageOutput page;
  DiagLog log(page, config);
  log.Write(kLogInfo, std::string(5000, 'x'));
  EXPECT_EQ(page.Captured(), kPlain + std::string(kLogLineMaxBytes, 'x') + kClose);
}

TEST(DiagLog, TimerLineFormat) {
  Config config;
  config.debugMode = 1;
  PageOutput page;
  DiagLog log(page, config);
  log.TimerStart(kMainThreadTimerSlot);
  log.TimerStop(kMainThreadTimerSlot, "Main thread: %s", "ConsolidateResults");
  std::string text = page.Captured();
  std::regex expected(kGreen + "[0-9]+\\.[0-9]{2} ms - Main thread: ConsolidateResults" + kClose);
  EXPECT_TRUE(std::regex_match(text, expected)) << text;
  EXPECT_EQ(text.find(Format("%0.2f ms", log.TimerElapsedMs(kMainThreadTimerSlot))), kGreen.size());
}

TEST(DiagLog, ConcurrentWritersNeverInterleave) {
  TempDir dir;
  Config config;
  config.debugMode = 1;
  config.debugLogging = 1;
  config.debugFileName = dir / "debug.log";
  PageOutput page;
  {
    // Two logs stand for two CGI processes appending to one file.
    DiagLog first(page, config);
    DiagLog second(page, config);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
      DiagLog& log = t % 2 ? first : second;
      threads.emplace_back([&log, t] {
        for (int i = 0; i < 200; ++i)
          log.Logf(kLogInfo, "%d:%s", t, std::string(300, 'a' + t).c_str());
      });
    }
    for (auto& thread : threads) thread.join();
  }
  std::istringstream file(ReadAll(config.debugFileName));
  std::string line;
  int count = 0;
  while (std::getline(file, line)) {
    ++count;
    ASSERT_EQ(line.size(), 302u) << line;
    EXPECT_EQ(line.find_first_not_of(line[2], 2), std::string::npos) << line;
  }
  EXPECT_EQ(count, 800);
  std::string captured = page.Captured();
  size_t blocks = 0;
  for (size_t pos = 0; (pos = captured.find(kPlain, pos)) != std::string::npos; ++pos) {
    size_t close = captured.find(kClose, pos);
    ASSERT_NE(close, std::string::npos);
    EXPECT_EQ(close - pos - kPlain.size(), 302u);
    ++blocks;
  }
  EXPECT_EQ(blocks, 800u);
}

}  // namespace
}  // namespace quorix
