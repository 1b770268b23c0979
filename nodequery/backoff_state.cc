#include "nodequery/backoff_state.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>

#include "nodequery/node_backoff.h"
#include "platform/safe_file.h"
#include "platform/text.h"

namespace quorix {
namespace {

// Takes the next space-separated word off the front of `rest`.
std::string_view NextWord(std::string_view& rest) {
  size_t start = rest.find_first_not_of(' ');
  rest.remove_prefix(std::min(start, rest.size()));
  size_t end = std::min(rest.find(' '), rest.size());
  std::string_view word = rest.substr(0, end);
  rest.remove_prefix(end);
  return word;
}

template <typename T>
bool ParseNumber(std::string_view text, T& value, int base = 10) {
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  return error == std::errc() && end == text.data() + text.size() && !text.empty();
}

bool ParseQueries(std::string_view list, BackoffEntry& entry) {
  while (!list.empty()) {
    size_t comma = std::min(list.find(','), list.size());
    if (entry.queryCount >= kBackoffQueriesKept ||
        !ParseNumber(list.substr(0, comma), entry.queries[entry.queryCount], 16))
      return false;
    ++entry.queryCount;
    list.remove_prefix(std::min(comma + 1, list.size()));
  }
  return true;
}

// The words after the four numbers of a line: "since=", "unreachable=" and
// "queries=" (absent in files of older versions), then the URL.
bool ParseTail(std::string_view rest, BackoffEntry& entry) {
  for (;;) {
    std::string_view before = rest;
    std::string_view word = NextWord(rest);
    bool ok = true;
    if (word.starts_with("since=")) {
      ok = ParseNumber(word.substr(6), entry.since);
    } else if (word.starts_with("unreachable=")) {
      ok = ParseNumber(word.substr(12), entry.unreachable);
    } else if (word.starts_with("queries=")) {
      ok = ParseQueries(word.substr(8), entry);
    } else {
      rest = before;
      break;
    }
    if (!ok) return false;
  }
  size_t start = rest.find_first_not_of(' ');
  entry.url = std::string(rest.substr(std::min(start, rest.size())));
  return entry.since >= 0 && entry.unreachable >= 0;
}

// Reads one line; returns its slot, or -1 when it is unreadable.
int ParseLine(std::string_view line, BackoffEntry& entry) {
  if (line.size() > kBackoffMaxLineBytes) return -1;
  int slot = -1;
  std::string_view rest = line;
  if (!ParseNumber(NextWord(rest), slot) || !ParseNumber(NextWord(rest), entry.failures) ||
      !ParseNumber(NextWord(rest), entry.pauseSecs) ||
      !ParseNumber(NextWord(rest), entry.pausedUntil) || !ParseTail(rest, entry))
    return -1;
  if (slot < 0 || slot >= kMaxNodes || entry.failures < 0 || entry.pauseSecs < 0 ||
      entry.pausedUntil < 0)
    return -1;
  return slot;
}

// Opens `path` without following a link; only a regular file is kept (a FIFO
// does not hold the open up: O_NONBLOCK). On failure `error` has the errno
// value, or 0 when the file was refused; `why` says which.
int OpenRegular(const std::string& path, int flags, int& error, std::string& why) {
  int fd = open(path.c_str(), flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0640);
  error = fd < 0 ? errno : 0;
  if (fd < 0) {
    why = error == ELOOP ? "it is a link, which is not followed" : std::strerror(error);
    if (error == ELOOP) error = 0;
    return -1;
  }
  struct stat info;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    why = "it is not a regular file";
    close(fd);
    return -1;
  }
  return fd;
}

}  // namespace

bool ParseBackoffState(std::string_view text, BackoffTable& table) {
  bool whole = true;
  while (!text.empty()) {
    size_t end = std::min(text.find('\n'), text.size());
    std::string_view line = text.substr(0, end);
    text.remove_prefix(std::min(end + 1, text.size()));
    if (line.empty()) continue;
    BackoffEntry entry;
    int slot = ParseLine(line, entry);
    if (slot < 0) {
      whole = false;
      continue;
    }
    entry.present = true;
    entry.pauseSecs = std::min(entry.pauseSecs, kBackoffMaxPauseSecs);
    table.entries[slot] = std::move(entry);
  }
  return whole;
}

std::string FormatBackoffState(const BackoffTable& table) {
  std::string out;
  for (int slot = 0; slot < kMaxNodes; ++slot) {
    const BackoffEntry& entry = table.entries[slot];
    if (!entry.present) continue;
    out +=
        Format("%d %d %lld %lld since=%lld unreachable=%d", slot, entry.failures,
               static_cast<long long>(entry.pauseSecs), static_cast<long long>(entry.pausedUntil),
               static_cast<long long>(entry.since), entry.unreachable);
    for (int q = 0; q < entry.queryCount; ++q)
      out += Format("%s%08x", q == 0 ? " queries=" : ",", entry.queries[q]);
    out += " " + entry.url + "\n";
  }
  return out;
}

int OpenBackoffLock(const std::string& path, std::string& why) {
  int error = 0;
  return OpenRegular(path, O_RDWR | O_CREAT, error, why);
}

StateFileRead ReadBackoffState(const std::string& path, std::string& text, std::string& why) {
  text.clear();
  int error = 0;
  int fd = OpenRegular(path, O_RDONLY, error, why);
  if (fd < 0 && error == ENOENT) return StateFileRead::kRead;
  if (fd < 0) return error == 0 ? StateFileRead::kRefused : StateFileRead::kFailed;
  // One byte more than the limit tells a file that is too long.
  text.resize(kBackoffMaxStateBytes + 1);
  size_t done = 0;
  ssize_t n = 0;
  while (done < text.size() &&
         ((n = read(fd, text.data() + done, text.size() - done)) > 0 || (n < 0 && errno == EINTR)))
    if (n > 0) done += static_cast<size_t>(n);
  error = errno;
  close(fd);
  text.resize(done);
  if (n < 0) {
    why = std::strerror(error);
    return StateFileRead::kFailed;
  }
  if (done > kBackoffMaxStateBytes) {
    text.clear();
    why = Format("it is longer than %zu bytes", kBackoffMaxStateBytes);
    return StateFileRead::kRefused;
  }
  return StateFileRead::kRead;
}

bool ReplaceBackoffState(const std::string& path, const std::string& text, std::string& why) {
  std::string temporary;
  const size_t slash = path.rfind('/');
  const std::string dir = slash == std::string::npos ? "." : path.substr(0, slash);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  int fd = CreateUniqueFile(dir, name + ".tmp-", &temporary, 0640);
  if (fd < 0) {
    why = std::strerror(errno);
    return false;
  }
  bool written = WriteAll(fd, text);
  int error = errno;
  if (close(fd) != 0 && written) {
    written = false;
    error = errno;
  }
  if (written && std::rename(temporary.c_str(), path.c_str()) == 0) return true;
  if (written) error = errno;
  unlink(temporary.c_str());
  why = std::strerror(error);
  return false;
}

}  // namespace quorix
