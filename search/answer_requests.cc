#include "search/answer_requests.h"

#include "config/settings_reader.h"
#include "platform/text.h"
#include "search/diag_log.h"

namespace quorix {
namespace {

std::string Lookup(const CgiEnvironment& environment, const char* name) {
  auto found = environment.find(name);
  return found == environment.end() ? std::string() : found->second;
}

}  // namespace

void WriteAnswerHeader(AnswerFormat format, PageOutput& page) {
  if (format == AnswerFormat::kHtml)
    page.Printf("Content-type: %s;\n\n", "text/html");
  else
    page.Printf("Content-type: %s\n\n", AnswerContentType(format));
}

SelfAddress SelfAddressOf(const CgiEnvironment& environment) {
  std::string https = AsciiLower(Lookup(environment, "HTTPS"));
  return {https == "on" || https == "1", Lookup(environment, "HTTP_HOST"),
          Lookup(environment, "SCRIPT_NAME")};
}

int AnswerOpenSearchDescription(const std::string& settingsPath,
                                const CgiEnvironment& environment, PageOutput& page) {
  Config config;
  DiagLog log(page, config);
  log.KeepOffPage();
  LoadConfig(settingsPath, config, log, -1, QueryDump());
  WriteAnswerHeader(AnswerFormat::kOpenSearch, page);
  page.Write(OpenSearchDescriptionDocument(config, SelfAddressOf(environment)));
  page.Flush();
  return 0;
}

}  // namespace quorix
