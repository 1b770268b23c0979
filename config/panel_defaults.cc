#include "config/panel_defaults.h"

namespace quorix {

void ApplyPanelDefaults(Config& config) {
  config = Config{};
  config.allVexaNodes = true;
  config.overRequestFactor = 2;
  config.cacheValidPeriodMins = 10;
  config.formFormat = 2;
  config.showSearchTime = 0;
  config.showVexaInfo = 1;
  config.logging = 0;
  config.logFileName = "./logs/searchwords.log";
  config.debugLogging = 0;
  config.debugFileName = "./logs/Quorix.log";
  config.languageFileName = "English.vlang";
  config.templateFilename = "search_template.html";
  config.mergeDuplicates = 1;
  config.showSources = 1;
  config.pageMarkup = 1;
  config.useDateTime = 1;
  config.spelling = 1;
  config.spellingWhenLessThan = 10;
  config.recommended = 1;
  config.recommendedMax = 5;
  config.nodeBackoffSecs = 60;
  config.pageDeadlineMs = 1500;
  config.rateLimitPerMinute = 60;
}

}  // namespace quorix
