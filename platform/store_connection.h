// The connection to a Redis-protocol store (Redis or Valkey): the address of
// the SharedStore setting, the password from its own file, and commands with
// a time limit. A connection that failed is dropped and made again on the next
// request; within one request, the first failure leaves the store out.
#pragma once

#include <hiredis/hiredis.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/log.h"
#include "platform/status.h"

namespace quorix {

struct StoreAddress {
  std::string host;  // empty for a socket
  int port = 6379;
  std::string socketPath;
  int database = 0;
};

// Reads "redis://HOST:PORT/DB" (port and database optional, HOST may be an
// IPv6 address in brackets) or "unix:/PATH". False with the reason in `why`.
bool ParseStoreAddress(const std::string& text, StoreAddress* address, std::string* why);

// Reads the password from `path`: its first line, or with a second line, the
// ACL user (first) and its password (second). The file must be a regular
// file that no one but its owner can read or write. False with the reason.
bool ReadStorePassword(const std::string& path, std::string* user, std::string* password,
                       std::string* why);

struct StoreSettings {
  StoreAddress address;
  std::string user;      // empty: the default user
  std::string password;  // empty: none
  int32_t timeoutMs = 100;
};

struct ReplyDeleter {
  void operator()(redisReply* reply) const { freeReplyObject(reply); }
};
using StoreReply = std::unique_ptr<redisReply, ReplyDeleter>;

class StoreConnection {
 public:
  StoreConnection() = default;
  ~StoreConnection();
  StoreConnection(const StoreConnection&) = delete;
  StoreConnection& operator=(const StoreConnection&) = delete;

  // Starts a request with `settings`: the connection is kept when they are
  // those of the last request, and the request's failure mark is cleared.
  void BeginRequest(const StoreSettings& settings);

  // Sends the commands of `commands` in one go and gives their replies.
  // Returns 0; kStoreRefused when a reply is an error (the first is logged
  // as an error line); kStoreUnavailable when the store cannot be reached or
  // does not answer in time (one warning per request; the store is left out
  // for the rest of the request).
  Status Run(const std::vector<std::vector<std::string>>& commands,
             std::vector<StoreReply>* replies, LogSink& log);
  Status Run1(const std::vector<std::string>& command, StoreReply* reply, LogSink& log);

  // Leaves the store out of the rest of this request.
  void LeaveOut() { failed_ = true; }

  // Connects when needed and sends PING. False with the reason.
  bool Ping(std::string* why);

 private:
  bool Connect(std::string* why);
  bool Authenticate(std::string* why);
  void Drop();

  StoreSettings settings_;
  bool haveSettings_ = false;
  redisContext* context_ = nullptr;
  bool failed_ = false;   // this request has had a failure: the store is left out
  bool refused_ = false;  // the last connection failed on AUTH or SELECT
};

// The calling thread's connection (a FastCGI process keeps its request
// thread's one between requests).
StoreConnection& ProcessStoreConnection();

}  // namespace quorix
