#include "tests/support/cgi_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <tuple>

namespace quorix::testing {
namespace {

namespace fs = std::filesystem;

void CloseFd(int& fd) {
  if (fd >= 0) close(fd);
  fd = -1;
}

// Pumps `input` into `inFd` and collects `outFd` and `errFd` until both close
// or the deadline passes. Returns false on time-out.
bool Pump(int& inFd, int& outFd, int& errFd, std::string_view input, std::string& output,
          std::string& errors, std::chrono::steady_clock::time_point deadline) {
  size_t written = 0;
  if (input.empty()) CloseFd(inFd);
  char buffer[65536];
  while (outFd >= 0 || errFd >= 0) {
    pollfd fds[3];
    int count = 0;
    int inIndex = -1, outIndex = -1, errIndex = -1;
    if (inFd >= 0) fds[inIndex = count++] = {inFd, POLLOUT, 0};
    if (outFd >= 0) fds[outIndex = count++] = {outFd, POLLIN, 0};
    if (errFd >= 0) fds[errIndex = count++] = {errFd, POLLIN, 0};
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                    deadline - std::chrono::steady_clock::now())
                    .count();
    if (left <= 0) return false;
    int ready = poll(fds, count, static_cast<int>(left));
    if (ready < 0 && errno == EINTR) continue;
    if (ready == 0) return false;
    if (ready < 0) break;  // nothing more can be read
    if (inIndex >= 0 && fds[inIndex].revents) {
      ssize_t n = write(inFd, input.data() + written, input.size() - written);
      if (n > 0) written += static_cast<size_t>(n);
      if (n < 0 || written == input.size()) CloseFd(inFd);  // EPIPE: the program stopped reading
    }
    for (auto [index, fd, sink] :
         {std::tuple{outIndex, &outFd, &output}, std::tuple{errIndex, &errFd, &errors}}) {
      if (index < 0 || !fds[index].revents) continue;
      ssize_t n = read(*fd, buffer, sizeof buffer);
      if (n > 0)
        sink->append(buffer, static_cast<size_t>(n));
      else if (n == 0 || errno != EINTR)
        CloseFd(*fd);
    }
  }
  CloseFd(inFd);
  return true;
}

}  // namespace

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::string& workDir, const EnvironmentMap& environment,
                         std::string_view input, int timeoutMs) {
  ProcessResult result;
  // A program that exits without reading its input must not kill the test with SIGPIPE.
  signal(SIGPIPE, SIG_IGN);

  // Everything the child needs is prepared before fork: after it, only
  // async-signal-safe calls are allowed.
  std::vector<std::string> argStrings{program};
  argStrings.insert(argStrings.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& arg : argStrings) argv.push_back(arg.data());
  argv.push_back(nullptr);
  std::vector<std::string> envStrings;
  for (const auto& [name, value] : environment) envStrings.push_back(name + "=" + value);
  std::vector<char*> envp;
  for (auto& entry : envStrings) envp.push_back(entry.data());
  envp.push_back(nullptr);

  int inPipe[2], outPipe[2], errPipe[2];
  if (pipe2(inPipe, O_CLOEXEC) != 0) return result;
  if (pipe2(outPipe, O_CLOEXEC) != 0) {
    close(inPipe[0]), close(inPipe[1]);
    return result;
  }
  if (pipe2(errPipe, O_CLOEXEC) != 0) {
    close(inPipe[0]), close(inPipe[1]), close(outPipe[0]), close(outPipe[1]);
    return result;
  }

  pid_t pid = fork();
  if (pid == 0) {
    dup2(inPipe[0], 0);
    dup2(outPipe[1], 1);
    dup2(errPipe[1], 2);
    if (chdir(workDir.c_str()) != 0) _exit(127);
    execve(program.c_str(), argv.data(), envp.data());
    _exit(127);
  }
  close(inPipe[0]), close(outPipe[1]), close(errPipe[1]);
  int inFd = inPipe[1], outFd = outPipe[0], errFd = errPipe[0];
  if (pid < 0) {
    CloseFd(inFd), CloseFd(outFd), CloseFd(errFd);
    return result;
  }

  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  bool finished = Pump(inFd, outFd, errFd, input, result.output, result.errors, deadline);
  CloseFd(inFd), CloseFd(outFd), CloseFd(errFd);
  if (!finished) {
    kill(pid, SIGKILL);
    result.timedOut = true;
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (!result.timedOut && WIFEXITED(status)) result.exitStatus = WEXITSTATUS(status);
  return result;
}

CgiSandbox::CgiSandbox(const std::string& programToCopy) {
  std::string pattern = (fs::temp_directory_path() / "quorix-cgi-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot create a temporary directory");
  dir_ = pattern;
  fs::copy_file(programToCopy, program(), fs::copy_options::overwrite_existing);
  fs::permissions(program(), fs::perms::owner_all, fs::perm_options::add);
}

CgiSandbox::~CgiSandbox() {
  std::error_code ignored;
  fs::remove_all(dir_, ignored);
}

void CgiSandbox::WriteFile(std::string_view name, std::string_view content) const {
  fs::path path = PathOf(name);
  fs::create_directories(path.parent_path());
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(content.data(), static_cast<std::streamsize>(content.size()));
}

std::string CgiSandbox::ReadFile(std::string_view name) const {
  std::ifstream file(PathOf(name), std::ios::binary);
  std::ostringstream content;
  content << file.rdbuf();
  return content.str();
}

ProcessResult CgiSandbox::Run(const EnvironmentMap& environment, std::string_view input,
                              int timeoutMs) const {
  return RunProcess(program(), {}, dir_, environment, input, timeoutMs);
}

ProcessResult CgiSandbox::Get(std::string_view queryString, const EnvironmentMap& extra) const {
  EnvironmentMap environment{{"REQUEST_METHOD", "GET"}, {"QUERY_STRING", std::string(queryString)}};
  for (const auto& [name, value] : extra) environment[name] = value;
  return Run(environment);
}

ProcessResult CgiSandbox::Post(std::string_view body, const EnvironmentMap& extra) const {
  EnvironmentMap environment{{"REQUEST_METHOD", "POST"},
                             {"CONTENT_TYPE", "application/x-www-form-urlencoded"},
                             {"CONTENT_LENGTH", std::to_string(body.size())}};
  for (const auto& [name, value] : extra) environment[name] = value;
  return Run(environment, body);
}

std::string CgiBody(const std::string& output) {
  size_t blank = output.find("\n\n");
  return blank == std::string::npos ? output : output.substr(blank + 2);
}

}  // namespace quorix::testing
