// Waiting for what a page's own script adds, for the browser tests.
#include <chrono>
#include <thread>

#include "tests/e2e/headless_browser.h"

namespace quorix::e2e {
namespace {

constexpr auto kPollInterval = std::chrono::milliseconds(100);

// `text` as a script string literal.
std::string ScriptString(const std::string& text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'' || c == '\\') out += '\\';
    if (c == '\n') {
      out += "\\n";
      continue;
    }
    out += c;
  }
  return out + "'";
}

}  // namespace

bool HeadlessBrowser::SetScriptsEnabled(bool enabled, std::string* error) {
  std::string reply;
  return Call("Emulation.setScriptExecutionDisabled",
              std::string("{\"value\":") + (enabled ? "false" : "true") + "}", &reply, error);
}

bool HeadlessBrowser::WaitUntil(const std::string& expression, int timeoutMs, std::string* error) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  std::string value;
  for (;;) {
    if (!Eval("(" + expression + ") ? 'yes' : 'no'", &value, error)) return false;
    if (value == "yes") return true;
    if (std::chrono::steady_clock::now() >= deadline) break;
    std::this_thread::sleep_for(kPollInterval);
  }
  *error = "still not true after " + std::to_string(timeoutMs) + " ms: " + expression;
  return false;
}

bool HeadlessBrowser::WaitFor(const std::string& selector, int timeoutMs, PageElement* element,
                              std::string* error) {
  std::string found = "document.querySelector(" + ScriptString(selector) + ")";
  return WaitUntil(found, timeoutMs, error) &&
         Eval(found + ".textContent.trim()", &element->text, error) &&
         Eval(found + ".href", &element->href, error);
}

bool HeadlessBrowser::OpenAndWaitFor(const std::string& url, const std::string& selector,
                                     int timeoutMs, PageElement* element, std::string* error) {
  return Open(url, error) && WaitFor(selector, timeoutMs, element, error);
}

}  // namespace quorix::e2e
