// Running a program (usually the built quorix) as a CGI would be run: in a
// directory of its own, with exactly the given environment and standard input.
//
// Typical use:
//   quorix::testing::CgiSandbox sandbox(quorix::testing::QuorixBinary());
//   sandbox.WriteFile("settings.qxdat", "DEBUG = 1\n");
//   auto run = sandbox.Get("vexa_query=cat");
//   EXPECT_EQ(run.exitStatus, 0);
//   EXPECT_NE(run.output.find("..."), std::string::npos);
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace quorix::testing {

using EnvironmentMap = std::map<std::string, std::string>;

struct ProcessResult {
  std::string output;     // everything written to standard output
  std::string errors;     // everything written to standard error
  int exitStatus = -1;    // the exit code; -1 when the program was killed or did not start
  bool timedOut = false;  // killed after the time limit
};

// Runs `program` with `args` (argv[0] is `program` itself) in `workDir`, with
// exactly `environment` (nothing is inherited) and `input` on standard input.
// A program still running after `timeoutMs` is killed. SIGPIPE is ignored in
// the calling process from then on, so a program that leaves its input unread
// cannot end the test.
ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::string& workDir, const EnvironmentMap& environment,
                         std::string_view input, int timeoutMs = 30000);

// A temporary directory with a copy of a program in it (named "quorix"), as a
// web server's CGI folder would hold it. The directory and everything written
// into it are removed when the sandbox goes.
class CgiSandbox {
 public:
  explicit CgiSandbox(const std::string& programToCopy);
  ~CgiSandbox();
  CgiSandbox(const CgiSandbox&) = delete;
  CgiSandbox& operator=(const CgiSandbox&) = delete;

  const std::string& dir() const { return dir_; }
  // Absolute path of the copied program.
  std::string program() const { return dir_ + "/quorix"; }
  // Absolute path of `name` inside the sandbox.
  std::string PathOf(std::string_view name) const { return dir_ + "/" + std::string(name); }

  // Writes `content` to `name` (relative; folders are created).
  void WriteFile(std::string_view name, std::string_view content) const;
  // The content of `name`, empty when it does not exist.
  std::string ReadFile(std::string_view name) const;

  // Runs the program in the sandbox directory, started by its absolute path.
  ProcessResult Run(const EnvironmentMap& environment, std::string_view input = {},
                    int timeoutMs = 30000) const;
  // A GET request with `queryString` (REQUEST_METHOD and QUERY_STRING set;
  // `extra` adds or replaces variables).
  ProcessResult Get(std::string_view queryString, const EnvironmentMap& extra = {}) const;
  // A form POST with `body` (content type application/x-www-form-urlencoded,
  // CONTENT_LENGTH the body's length; `extra` adds or replaces variables).
  ProcessResult Post(std::string_view body, const EnvironmentMap& extra = {}) const;

 private:
  std::string dir_;
};

#ifdef QUORIX_BINARY
// The quorix program built with the tests.
inline std::string QuorixBinary() { return QUORIX_BINARY; }
#endif

// The part of a CGI answer after the header's blank line ("\n\n"); the whole
// output when there is none.
std::string CgiBody(const std::string& output);

}  // namespace quorix::testing
