#include "search/page/page_tail.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "config/lang_keys.h"
#include "platform/text.h"

namespace quorix {
namespace {

// `text` with every double quote doubled.
std::string DoubleQuotes(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    out += c;
    if (c == '"') out += '"';
  }
  return out;
}

// The query as it goes between the log line's quotes.
std::string LoggedQuery(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    unsigned char byte = static_cast<unsigned char>(c);
    if (c == '"')
      out += "\"\"";
    else if (c == '\r')
      out += "\\r";
    else if (c == '\n')
      out += "\\n";
    else if (c == '\t')
      out += "\\t";
    else if (byte < 0x20 || byte == 0x7F)
      out += Format("\\x%02X", byte);
    else
      out += c;
  }
  return out;
}

std::string CategoriesField(const VexaQuery& query, const Config& config) {
  if (config.useCats == 0) return ", No cats";
  if (query.cat.empty() || query.cat[0] == -1) return ", \"Cat = All\"";
  std::string field = ", \"Cat = ";
  for (size_t i = 0; i < query.cat.size(); ++i) {
    if (i > 0) field += ", ";
    int32_t number = query.cat[i];
    // Category numbers come from the request unchecked.
    if (number >= 0 && static_cast<size_t>(number) < config.categoryNames.size())
      field += DoubleQuotes(config.categoryNames[number]);
    else
      field += std::to_string(number);
  }
  return field + "\"";
}

}  // namespace

std::string PageFooter(std::string_view poweredBy, bool currentMarkup) {
  if (currentMarkup)
    return "\n<p class=\"poweredby\"><small>" + std::string(poweredBy) + " <a href=\"" +
           std::string(kProductHomePage) +
           "\" target=\"_blank\" rel=\"noopener\">Vexa Search Engine</a></small></p>\n";
  return "\n<center><p><small>" + std::string(poweredBy) + " <a href=\"" +
         std::string(kProductHomePage) +
         "\" target=\"_blank\"><b>Vexa Search Engine</b></a></small></p></center>\n";
}

std::string SearchLogLine(const std::tm& localTime, const VexaQuery& query,
                          const RequestOutcome& outcome, const Config& config) {
  std::string line =
      Format("%d-%02d-%02d, %02d:%02d:%02d, %s, \"%s\", Matches = %d", localTime.tm_year + 1900,
             localTime.tm_mon + 1, localTime.tm_mday, localTime.tm_hour, localTime.tm_min,
             localTime.tm_sec, query.clientAddress.c_str(), LoggedQuery(query.query).c_str(),
             outcome.matches);
  line += outcome.readFromCache ? ", READCACHE" : ", QUERY";
  line += query.wordMatchAll ? ", AND" : ", OR";
  line += Format(", PerPage = %d, PageNum = %d", query.itemsPerPage, query.currentPageNum);
  line += CategoriesField(query, config);
  line += Format(", Time = %.3f\r\n", outcome.searchSeconds);
  return line;
}

int AppendSearchLogLine(const std::string& path, std::string_view line) {
  int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return errno;
  // One write() of the whole line: the kernel appends it in one piece, so
  // concurrent searches never interleave their lines.
  ssize_t written = ::write(fd, line.data(), line.size());
  int error = written < 0 ? errno : (static_cast<size_t>(written) < line.size() ? ENOSPC : 0);
  ::close(fd);
  return error;
}

std::string SearchLogErrorText(int errorNumber) {
  switch (errorNumber) {
    case ENOENT:
      return "No such file or directory. ";
    case EBADF:
      return "Bad file number. ";
    case ENOMEM:
      return "Not enough memory for operation. ";
    case EACCES:
      return "Permission denied. ";
    case EEXIST:
      return "File exists. ";
    case EXDEV:
      return "Cross device link. ";
    case EINVAL:
      return "Invalid argument. ";
    case EMFILE:
      return "Too many open files. ";
    case ENOSPC:
      return "No space left on device. ";
    case EDEADLK:
      return "Resource deadlock. ";
    default:
      return Format("Unknown file error: %d. ", errorNumber);
  }
}

std::tm CurrentLocalTime() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local;
}

PageTail::PageTail(PageOutput& page, const Config& config, const VexaQuery& query,
                   PageTemplate& pageTemplate, LogSink& log, LocalTimeSource now)
    : page_(page),
      config_(config),
      query_(query),
      pageTemplate_(pageTemplate),
      log_(log),
      now_(std::move(now)) {}

void PageTail::WritePageTail(const ResultPage&, const RequestOutcome& outcome) {
  if (!pageTemplate_.isOpen()) return;
  page_.Write(PageFooter(config_.langStrings[kStrPoweredBy], config_.pageMarkup == 1));
  pageTemplate_.WriteTail([this](std::string_view text) { page_.Write(text); });
  LogSearch(config_, query_, outcome, now_(), log_);
}

void LogSearch(const Config& config, const VexaQuery& query, const RequestOutcome& outcome,
               const std::tm& localTime, LogSink& log) {
  if (config.logging != 1 || !query.queryPresent) return;
  int error =
      AppendSearchLogLine(config.logFileName, SearchLogLine(localTime, query, outcome, config));
  if (error == 0) return;
  // A warning, not an error: every visitor would see it, with the log's path.
  log.Logf(kLogWarning,
           "%sLog filename and path not found (%s). Check that you specified the correct log "
           "filename in your Indexer settings.",
           SearchLogErrorText(error).c_str(), config.logFileName.c_str());
}

}  // namespace quorix
