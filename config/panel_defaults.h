// The control panel's defaults for a new configuration.
#pragma once

#include "config/settings.h"

namespace quorix {

// Resets `config` to the control panel's defaults: every value 0 or empty
// except over-request factor 2, cache period 10 minutes, the advanced search
// form, the info line on, the default log, debug, language and template file
// names, a limit of 60 searches a minute per visitor, a page deadline of 1.5
// seconds, and all 64 node slots unconfigured.
void ApplyPanelDefaults(Config& config);

}  // namespace quorix
