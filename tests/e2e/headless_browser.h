// Headless Chromium driven over its DevTools pipe: open a page, run script in
// it, follow what a click starts, and take screenshots.
#pragma once

#include <sys/types.h>

#include <string>

namespace quorix::e2e {

// What a visitor sees of one element: its text, and its address when it is a link.
struct PageElement {
  std::string text;
  std::string href;
};

// The system's Chromium, or "" when it is not installed.
std::string FindChromium();

class HeadlessBrowser {
 public:
  HeadlessBrowser() = default;
  HeadlessBrowser(const HeadlessBrowser&) = delete;
  HeadlessBrowser& operator=(const HeadlessBrowser&) = delete;
  ~HeadlessBrowser() { Stop(); }

  // Starts `chromium` with a new profile in `profileDir` and a `width` x `height`
  // window; its output goes to `logFile`. False with `error` set on failure.
  bool Start(const std::string& chromium, const std::string& profileDir, int width, int height,
             const std::string& logFile, std::string* error);
  void Stop();

  // Loads `url` and waits until the page has loaded.
  bool Open(const std::string& url, std::string* error);
  // Runs `script` (which starts a navigation, e.g. a click) and waits until the
  // next page has loaded.
  bool RunAndWaitForPage(const std::string& script, std::string* error);
  // Evaluates `expression` and returns its value converted to a string
  // ("" for null or undefined). False when the script throws.
  bool Eval(const std::string& expression, std::string* value, std::string* error);
  // Eval for an expression whose value is a promise: waits for it to settle.
  bool EvalAwait(const std::string& expression, std::string* value, std::string* error);
  // Runs a whole script (statements, not an expression) in the page.
  bool RunScript(const std::string& source, std::string* error);
  // Shows pages as a window of `width` x `height` CSS pixels would, as a phone
  // when `mobile`.
  bool Resize(int width, int height, bool mobile, std::string* error);
  // Turns the pages' own scripts off (or on again) for the pages opened next.
  bool SetScriptsEnabled(bool enabled, std::string* error);
  // Waits up to `timeoutMs` until `expression` is true in the open page.
  bool WaitUntil(const std::string& expression, int timeoutMs, std::string* error);
  // Waits up to `timeoutMs` until `selector` matches an element of the open
  // page, and gives the first one's text and address.
  bool WaitFor(const std::string& selector, int timeoutMs, PageElement* element,
               std::string* error);
  // Open, then WaitFor.
  bool OpenAndWaitFor(const std::string& url, const std::string& selector, int timeoutMs,
                      PageElement* element, std::string* error);
  // Writes a PNG of the whole page (at most `maxHeight` pixels tall) to `path`.
  bool Screenshot(const std::string& path, int maxHeight, std::string* error);

 private:
  // Sends a DevTools command and returns its answer message.
  bool Call(const std::string& method, const std::string& params, std::string* reply,
            std::string* error);
  bool ReadMessage(std::string* message, int timeoutMs);
  bool WaitForNewDocument(std::string* error);
  bool Evaluate(const std::string& script, bool await, std::string* value, std::string* error);

  pid_t pid_ = -1;
  int toBrowser_ = -1;
  int fromBrowser_ = -1;
  std::string pending_;  // bytes read past the last whole message
  std::string sessionId_;
  int nextId_ = 1;
  int width_ = 0;
};

// The string value of the first "`key`":"..." in a JSON text, decoded.
bool JsonStringField(const std::string& json, const std::string& key, std::string* value);
// Standard base64 decoding; false on a character outside the alphabet.
bool DecodeBase64(const std::string& text, std::string* bytes);

}  // namespace quorix::e2e
