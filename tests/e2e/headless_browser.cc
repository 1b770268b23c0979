#include "tests/e2e/headless_browser.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "tests/e2e/child_process.h"

namespace quorix::e2e {
namespace {

constexpr int kCallTimeoutMs = 30000;
constexpr int kPageTimeoutMs = 30000;

// A script value as JSON string text: quotes and backslashes escaped.
std::string JsonQuote(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (c == '\n') {
      out += "\\n";
    } else {
      out += c;
    }
  }
  return out + "\"";
}

void AppendUtf8(unsigned code, std::string* out) {
  if (code < 0x80) {
    *out += static_cast<char>(code);
  } else if (code < 0x800) {
    *out += static_cast<char>(0xC0 | (code >> 6));
    *out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    *out += static_cast<char>(0xE0 | (code >> 12));
    *out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

bool SendAll(int fd, const std::string& data) {
  size_t sent = 0;
  while (sent < data.size()) {
    ssize_t n = write(fd, data.data() + sent, data.size() - sent);
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

// Moves `fd` above the descriptors the child is about to set, so dup2 cannot clobber it.
int MoveHigh(int fd) { return fcntl(fd, F_DUPFD, 10); }

}  // namespace

std::string FindChromium() {
  for (const char* path : {"/usr/bin/chromium", "/usr/bin/chromium-browser"})
    if (std::filesystem::exists(path)) return path;
  return "";
}

bool HeadlessBrowser::Start(const std::string& chromium, const std::string& profileDir, int width,
                            int height, const std::string& logFile, std::string* error) {
  int commands[2];
  int events[2];
  if (pipe(commands) != 0 || pipe(events) != 0) {
    *error = "cannot create the DevTools pipes";
    return false;
  }
  std::vector<std::string> argv = {
      chromium,
      "--headless",
      "--no-sandbox",
      "--disable-gpu",
      "--disable-quic",
      "--no-first-run",
      "--disable-background-networking",
      "--disable-component-update",
      "--disable-sync",
      "--hide-scrollbars",
      "--user-data-dir=" + profileDir,
      "--window-size=" + std::to_string(width) + "," + std::to_string(height),
      "--remote-debugging-pipe",
      "about:blank"};
  pid_t pid = fork();
  if (pid < 0) {
    *error = "fork failed";
    return false;
  }
  if (pid == 0) {
    // The browser reads commands on descriptor 3 and writes answers on 4.
    int in = MoveHigh(commands[0]);
    int out = MoveHigh(events[1]);
    dup2(in, 3);
    dup2(out, 4);
    int log = open(logFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (log >= 0) {
      dup2(log, 1);
      dup2(log, 2);
    }
    int devNull = open("/dev/null", O_RDONLY);
    if (devNull >= 0) dup2(devNull, 0);
    for (int fd = 5; fd < 1024; ++fd) close(fd);
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  pid_ = pid;
  close(commands[0]);
  close(events[1]);
  toBrowser_ = commands[1];
  fromBrowser_ = events[0];
  width_ = width;

  std::string reply;
  std::string targetId;
  if (!Call("Target.createTarget", "{\"url\":\"about:blank\"}", &reply, error)) return false;
  if (!JsonStringField(reply, "targetId", &targetId)) {
    *error = "no target in " + reply;
    return false;
  }
  if (!Call("Target.attachToTarget", "{\"targetId\":" + JsonQuote(targetId) + ",\"flatten\":true}",
            &reply, error))
    return false;
  if (!JsonStringField(reply, "sessionId", &sessionId_)) {
    *error = "no session in " + reply;
    return false;
  }
  return Call("Page.enable", "{}", &reply, error);
}

void HeadlessBrowser::Stop() {
  if (toBrowser_ >= 0) close(toBrowser_);
  if (fromBrowser_ >= 0) close(fromBrowser_);
  toBrowser_ = fromBrowser_ = -1;
  StopProcess(pid_, 2000);
}

bool HeadlessBrowser::ReadMessage(std::string* message, int timeoutMs) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    size_t end = pending_.find('\0');
    if (end != std::string::npos) {
      *message = pending_.substr(0, end);
      pending_.erase(0, end + 1);
      return true;
    }
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd pfd{fromBrowser_, POLLIN, 0};
    if (poll(&pfd, 1, static_cast<int>(left.count())) <= 0) return false;
    char buffer[65536];
    ssize_t n = read(fromBrowser_, buffer, sizeof buffer);
    if (n <= 0) return false;
    pending_.append(buffer, static_cast<size_t>(n));
  }
}

bool HeadlessBrowser::Call(const std::string& method, const std::string& params, std::string* reply,
                           std::string* error) {
  int id = nextId_++;
  std::string command =
      "{\"id\":" + std::to_string(id) + ",\"method\":\"" + method + "\",\"params\":" + params;
  if (!sessionId_.empty()) command += ",\"sessionId\":" + JsonQuote(sessionId_);
  command += "}";
  command.push_back('\0');
  if (!SendAll(toBrowser_, command)) {
    *error = "the browser is gone (" + method + ")";
    return false;
  }
  // Events arrive between answers; only the answer to this command matters here.
  std::string prefix = "{\"id\":" + std::to_string(id) + ",";
  while (ReadMessage(reply, kCallTimeoutMs)) {
    if (reply->compare(0, prefix.size(), prefix) != 0) continue;
    if (reply->compare(prefix.size(), 8, "\"error\":") == 0) {
      *error = method + " failed: " + *reply;
      return false;
    }
    return true;
  }
  *error = "no answer from the browser to " + method;
  return false;
}

bool HeadlessBrowser::Evaluate(const std::string& script, bool await, std::string* value,
                               std::string* error) {
  std::string reply;
  if (!Call("Runtime.evaluate",
            "{\"expression\":" + JsonQuote(script) + ",\"returnByValue\":true" +
                (await ? ",\"awaitPromise\":true}" : "}"),
            &reply, error))
    return false;
  if (reply.find("\"exceptionDetails\"") != std::string::npos ||
      (value && !JsonStringField(reply, "value", value))) {
    *error = "script failed: " + script.substr(0, 200) + " -> " + reply.substr(0, 2000);
    return false;
  }
  return true;
}

bool HeadlessBrowser::Eval(const std::string& expression, std::string* value, std::string* error) {
  return Evaluate(
      "(() => { const v = (" + expression + "); return v == null ? '' : String(v); })()", false,
      value, error);
}

bool HeadlessBrowser::EvalAwait(const std::string& expression, std::string* value,
                                std::string* error) {
  return Evaluate("(async () => { const v = await (" + expression +
                      "); return v == null ? '' : String(v); })()",
                  true, value, error);
}

bool HeadlessBrowser::RunScript(const std::string& source, std::string* error) {
  return Evaluate(source + "\n;undefined", false, nullptr, error);
}

bool HeadlessBrowser::Resize(int width, int height, bool mobile, std::string* error) {
  std::string reply;
  width_ = width;
  return Call("Emulation.setDeviceMetricsOverride",
              "{\"width\":" + std::to_string(width) + ",\"height\":" + std::to_string(height) +
                  ",\"deviceScaleFactor\":1,\"mobile\":" + (mobile ? "true" : "false") + "}",
              &reply, error);
}

bool HeadlessBrowser::WaitForNewDocument(std::string* error) {
  // The old document carries a mark; the page counts as loaded once a document
  // without it is complete.
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kPageTimeoutMs);
  std::string state;
  std::string ignored;
  while (std::chrono::steady_clock::now() < deadline) {
    if (Eval("window.__quorixOld ? 'old' : document.readyState", &state, &ignored) &&
        state == "complete")
      return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  *error = "the page did not load (last state: " + state + ")";
  return false;
}

bool HeadlessBrowser::Open(const std::string& url, std::string* error) {
  std::string reply;
  std::string ignored;
  return Eval("window.__quorixOld = true", &ignored, error) &&
         Call("Page.navigate", "{\"url\":" + JsonQuote(url) + "}", &reply, error) &&
         WaitForNewDocument(error);
}

bool HeadlessBrowser::RunAndWaitForPage(const std::string& script, std::string* error) {
  std::string ignored;
  return Eval("window.__quorixOld = true", &ignored, error) && Eval(script, &ignored, error) &&
         WaitForNewDocument(error);
}

bool HeadlessBrowser::Screenshot(const std::string& path, int maxHeight, std::string* error) {
  std::string heightText;
  if (!Eval("document.documentElement.scrollHeight", &heightText, error)) return false;
  int height = std::min(std::max(1, std::atoi(heightText.c_str())), maxHeight);
  std::string reply;
  std::string data;
  std::string bytes;
  std::string clip = "{\"x\":0,\"y\":0,\"width\":" + std::to_string(width_) +
                     ",\"height\":" + std::to_string(height) + ",\"scale\":1}";
  if (!Call("Page.captureScreenshot",
            "{\"format\":\"png\",\"captureBeyondViewport\":true,\"clip\":" + clip + "}", &reply,
            error))
    return false;
  if (!JsonStringField(reply, "data", &data) || !DecodeBase64(data, &bytes)) {
    *error = "no picture in the screenshot answer";
    return false;
  }
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << bytes;
  if (!file.good()) {
    *error = "cannot write " + path;
    return false;
  }
  return true;
}

bool JsonStringField(const std::string& json, const std::string& key, std::string* value) {
  std::string marker = "\"" + key + "\":\"";
  size_t at = json.find(marker);
  if (at == std::string::npos) return false;
  value->clear();
  for (size_t i = at + marker.size(); i < json.size(); ++i) {
    char c = json[i];
    if (c == '"') return true;
    if (c != '\\') {
      *value += c;
      continue;
    }
    if (++i >= json.size()) return false;
    switch (json[i]) {
      case 'n':
        *value += '\n';
        break;
      case 't':
        *value += '\t';
        break;
      case 'r':
        *value += '\r';
        break;
      case 'b':
        *value += '\b';
        break;
      case 'f':
        *value += '\f';
        break;
      case 'u': {
        if (i + 4 >= json.size()) return false;
        unsigned code = static_cast<unsigned>(std::stoul(json.substr(i + 1, 4), nullptr, 16));
        i += 4;
        // A surrogate pair spells one character beyond the basic plane.
        if (code >= 0xD800 && code < 0xDC00 && i + 6 < json.size() && json[i + 1] == '\\' &&
            json[i + 2] == 'u') {
          unsigned low = static_cast<unsigned>(std::stoul(json.substr(i + 3, 4), nullptr, 16));
          code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
          i += 6;
          *value += static_cast<char>(0xF0 | (code >> 18));
          *value += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
          *value += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
          *value += static_cast<char>(0x80 | (code & 0x3F));
        } else {
          AppendUtf8(code, value);
        }
        break;
      }
      default:
        *value += json[i];  // \" \\ \/
    }
  }
  return false;
}

bool DecodeBase64(const std::string& text, std::string* bytes) {
  static const std::string kAlphabet =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  bytes->clear();
  unsigned buffer = 0;
  int bits = 0;
  for (char c : text) {
    if (c == '=') break;
    size_t index = kAlphabet.find(c);
    if (index == std::string::npos) return false;
    buffer = (buffer << 6) | static_cast<unsigned>(index);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      *bytes += static_cast<char>((buffer >> bits) & 0xFF);
    }
  }
  return true;
}

}  // namespace quorix::e2e
