// Behaviour of node querying that differs between the search program and the
// control panel's verification run. The defaults are the search program's.
#pragma once

#include <string>

#include "nodequery/response_parser.h"

namespace quorix {

class NodeBackoff;

// The query template of a Vexa node that names no description document.
inline constexpr const char* kVexaQueryTemplate =
    "?vexa_query={searchTerms}&vexa_page={startPage?}&vexa_per_page={count?}&vexa_and={"
    "searchAll?}&vexa_xml=1";
// The control panel's shorter form (the URL builder appends the rest).
inline constexpr const char* kPanelVexaQueryTemplate =
    "?vexa_query={searchTerms}&vexa_page={startPage?}&vexa_per_page={count?}";

struct NodeQueryOptions {
  std::string vexaTemplate = kVexaQueryTemplate;
  // A failed send names the host only and is followed by "(Error: <reason>)".
  bool detailedSendFailure = false;
  ParseOptions parse;
  // When set, paused nodes are skipped and every outcome is recorded (the
  // search program's dispatch only).
  NodeBackoff* backoff = nullptr;

  // The options of the control panel's verification run.
  static NodeQueryOptions ControlPanel() {
    NodeQueryOptions options;
    options.vexaTemplate = kPanelVexaQueryTemplate;
    options.detailedSendFailure = true;
    options.parse.panelPlaceholders = true;
    options.parse.logUnrecognisedBody = true;
    options.parse.colonInSettingsMismatch = true;
    options.parse.panelAllocationLabel = true;
    return options;
  }
};

}  // namespace quorix
