#include "search/request/answer_requests.h"

#include "config/settings_reader.h"
#include "platform/text.h"
#include "search/request/diag_log.h"

namespace quorix {

void WriteAnswerHeader(AnswerFormat format, PageOutput& page) {
  if (format == AnswerFormat::kHtml)
    page.Printf("Content-type: %s;\n\n", "text/html");
  else
    page.Printf("Content-type: %s\n\n", AnswerContentType(format));
}

SelfAddress SelfAddressOf(const CgiEnvironment& environment) {
  std::string https = AsciiLower(EnvironmentValue(environment, "HTTPS"));
  return {https == "on" || https == "1", EnvironmentValue(environment, "HTTP_HOST"),
          EnvironmentValue(environment, "SCRIPT_NAME")};
}

int AnswerOpenSearchDescription(const std::string& settingsPath, const CgiEnvironment& environment,
                                PageOutput& page) {
  Config config;
  DiagLog log(page, config);
  log.KeepOffPage();
  LoadConfig(settingsPath, config, log, -1, QueryDump());
  // The document changes little; when it is built from the Host header, a
  // shared cache must keep one copy per host, so that a request with a forged
  // Host cannot plant its address for other visitors.
  const bool fixedAddress = UsablePublicBaseUrl(config.publicBaseUrl);
  if (!config.publicBaseUrl.empty() && !fixedAddress)
    log.Logf(kLogWarning, "PublicBaseUrl \"%s\" is not an http or https address: not used",
             config.publicBaseUrl.c_str());
  page.Printf("Content-type: %s\nCache-Control: public, max-age=3600\n%s\n",
              AnswerContentType(AnswerFormat::kOpenSearch), fixedAddress ? "" : "Vary: Host\n");
  page.Write(OpenSearchDescriptionDocument(config, SelfAddressOf(environment)));
  page.Flush();
  return 0;
}

}  // namespace quorix
