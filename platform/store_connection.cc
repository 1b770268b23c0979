#include "platform/store_connection.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>

#include "platform/text.h"

namespace quorix {
namespace {

constexpr size_t kMaxPasswordBytes = 512;

bool ParseNumberIn(std::string_view text, int low, int high, int* value) {
  if (text.empty() || text.size() > 9) return false;
  int result = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    result = result * 10 + (c - '0');
  }
  if (result < low || result > high) return false;
  *value = result;
  return true;
}

// "HOST[:PORT]" with HOST possibly "[v6]".
bool ParseHostPort(std::string_view text, StoreAddress* address, std::string* why) {
  std::string_view host = text, port;
  if (text.starts_with("[")) {
    size_t close = text.find(']');
    if (close == std::string_view::npos) return *why = "the IPv6 address has no closing ]", false;
    host = text.substr(1, close - 1);
    std::string_view rest = text.substr(close + 1);
    if (!rest.empty() && !rest.starts_with(":"))
      return *why = "only :PORT may follow the address", false;
    if (!rest.empty()) port = rest.substr(1);
  } else if (size_t colon = text.rfind(':'); colon != std::string_view::npos) {
    host = text.substr(0, colon);
    port = text.substr(colon + 1);
  }
  if (host.empty()) return *why = "the host is missing", false;
  for (unsigned char c : host)
    if (c <= ' ' || c == '/' || c == '@' || c == 0x7f)
      return *why = "the host holds a character a host name cannot have", false;
  if (!port.empty() && !ParseNumberIn(port, 1, 65535, &address->port))
    return *why = "the port is not a number from 1 to 65535", false;
  address->host = std::string(host);
  return true;
}

}  // namespace

bool ParseStoreAddress(const std::string& text, StoreAddress* address, std::string* why) {
  *address = StoreAddress();
  std::string_view rest = text;
  if (rest.starts_with("unix:")) {
    rest.remove_prefix(5);
    if (!rest.starts_with("/")) return *why = "a socket path must be absolute (unix:/PATH)", false;
    address->socketPath = std::string(rest);
    return true;
  }
  if (!rest.starts_with("redis://"))
    return *why = "the address must start with redis:// or unix:/", false;
  rest.remove_prefix(8);
  size_t slash = rest.find('/');
  std::string_view hostPort = rest.substr(0, slash);
  if (slash != std::string_view::npos) {
    std::string_view db = rest.substr(slash + 1);
    if (!db.empty() && !ParseNumberIn(db, 0, 9999, &address->database))
      return *why = "the database after / must be a number", false;
  }
  return ParseHostPort(hostPort, address, why);
}

bool ReadStorePassword(const std::string& path, std::string* user, std::string* password,
                       std::string* why) {
  user->clear();
  password->clear();
  int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return *why = Format("%s: %s", path.c_str(), std::strerror(errno)), false;
  struct stat info;
  bool usable = fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
  if (!usable) *why = path + ": not a regular file";
  if (usable && (info.st_mode & 077) != 0) {
    usable = false;
    *why = path + ": other users may read or write it (chmod 600 it)";
  }
  char buffer[kMaxPasswordBytes + 1];
  ssize_t got = usable ? read(fd, buffer, sizeof buffer) : 0;
  close(fd);
  if (!usable) return false;
  if (got < 0 || static_cast<size_t>(got) > kMaxPasswordBytes)
    return *why = path + ": unreadable or longer than 512 bytes", false;
  std::string_view text(buffer, static_cast<size_t>(got));
  std::string_view first = text.substr(0, text.find_first_of("\r\n"));
  text.remove_prefix(std::min(text.size(), first.size()));
  text.remove_prefix(std::min(text.size(), text.find_first_not_of("\r\n")));
  std::string_view second = text.substr(0, text.find_first_of("\r\n"));
  // One line: the password; two: the ACL user and its password.
  *(second.empty() ? password : user) = std::string(first);
  if (!second.empty()) *password = std::string(second);
  return true;
}

StoreConnection::~StoreConnection() { Drop(); }

void StoreConnection::Drop() {
  if (context_) redisFree(context_);
  context_ = nullptr;
}

void StoreConnection::BeginRequest(const StoreSettings& settings) {
  const StoreAddress& a = settings.address;
  const StoreAddress& b = settings_.address;
  bool same = haveSettings_ && a.host == b.host && a.port == b.port &&
              a.socketPath == b.socketPath && a.database == b.database &&
              settings.user == settings_.user && settings.password == settings_.password &&
              settings.timeoutMs == settings_.timeoutMs;
  if (!same) Drop();
  settings_ = settings;
  haveSettings_ = true;
  failed_ = false;
}

bool StoreConnection::Connect(std::string* why) {
  if (context_) return true;
  // A store that closed the connection must fail the write, not end the
  // process: the request goes on without the store.
  static const bool pipeSignalIgnored = std::signal(SIGPIPE, SIG_IGN) != SIG_ERR;
  (void)pipeSignalIgnored;
  const int32_t ms = std::max(settings_.timeoutMs, 1);
  timeval limit{ms / 1000, (ms % 1000) * 1000};
  const StoreAddress& address = settings_.address;
  context_ = address.socketPath.empty()
                 ? redisConnectWithTimeout(address.host.c_str(), address.port, limit)
                 : redisConnectUnixWithTimeout(address.socketPath.c_str(), limit);
  if (!context_ || context_->err) {
    *why = context_ ? context_->errstr : "no memory for the connection";
    Drop();
    return false;
  }
  redisSetTimeout(context_, limit);
  return Authenticate(why);
}

bool StoreConnection::Authenticate(std::string* why) {
  std::vector<std::vector<std::string>> steps;
  if (!settings_.user.empty())
    steps.push_back({"AUTH", settings_.user, settings_.password});
  else if (!settings_.password.empty())
    steps.push_back({"AUTH", settings_.password});
  if (settings_.address.database != 0)
    steps.push_back({"SELECT", std::to_string(settings_.address.database)});
  for (const std::vector<std::string>& step : steps) {
    std::vector<const char*> argv;
    std::vector<size_t> lengths;
    for (const std::string& word : step) {
      argv.push_back(word.c_str());
      lengths.push_back(word.size());
    }
    StoreReply reply(static_cast<redisReply*>(
        redisCommandArgv(context_, static_cast<int>(argv.size()), argv.data(), lengths.data())));
    if (!reply || reply->type == REDIS_REPLY_ERROR) {
      *why = reply ? Format("%s refused: %s", step[0].c_str(), reply->str) : context_->errstr;
      refused_ = reply != nullptr;
      Drop();
      return false;
    }
  }
  return true;
}

Status StoreConnection::Run(const std::vector<std::vector<std::string>>& commands,
                            std::vector<StoreReply>* replies, LogSink& log) {
  replies->clear();
  if (failed_) return kStoreUnavailable;
  std::string why;
  refused_ = false;
  bool sent = Connect(&why);
  for (size_t i = 0; sent && i < commands.size(); ++i) {
    std::vector<const char*> argv;
    std::vector<size_t> lengths;
    for (const std::string& word : commands[i]) {
      argv.push_back(word.data());
      lengths.push_back(word.size());
    }
    sent = redisAppendCommandArgv(context_, static_cast<int>(argv.size()), argv.data(),
                                  lengths.data()) == REDIS_OK;
  }
  for (size_t i = 0; sent && i < commands.size(); ++i) {
    void* reply = nullptr;
    sent = redisGetReply(context_, &reply) == REDIS_OK && reply;
    if (sent) replies->emplace_back(static_cast<redisReply*>(reply));
  }
  if (!sent) {
    if (why.empty()) why = context_ && context_->err ? context_->errstr : "no answer";
    Drop();
    failed_ = true;
    // A refused password is the administrator's to mend: an error, not a passing fault.
    log.Logf(refused_ ? kLogError : kLogWarning, "The shared store is left out of this request: %s",
             why.c_str());
    return kStoreUnavailable;
  }
  for (const StoreReply& reply : *replies) {
    if (reply->type != REDIS_REPLY_ERROR) continue;
    log.Logf(kLogError, "The shared store refused %s: %s", commands[0][0].c_str(), reply->str);
    return kStoreRefused;
  }
  return kOk;
}

Status StoreConnection::Run1(const std::vector<std::string>& command, StoreReply* reply,
                             LogSink& log) {
  std::vector<StoreReply> replies;
  Status status = Run({command}, &replies, log);
  if (!replies.empty()) *reply = std::move(replies.front());
  return status;
}

bool StoreConnection::Ping(std::string* why) {
  failed_ = false;
  if (!Connect(why)) return false;
  StoreReply reply(static_cast<redisReply*>(redisCommand(context_, "PING")));
  if (reply && reply->type != REDIS_REPLY_ERROR) return true;
  *why = reply ? reply->str : context_->errstr;
  Drop();
  return false;
}

StoreConnection& ProcessStoreConnection() {
  // A search completed on a thread of its own talks to the store beside the
  // request thread: each thread has its connection.
  static thread_local StoreConnection connection;
  return connection;
}

}  // namespace quorix
