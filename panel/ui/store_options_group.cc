#include "panel/ui/store_options_group.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>

#include "panel/core/store_options.h"
#include "panel/ui/widgets_common.h"
#include "platform/int_parse.h"

namespace quorix::panelui {
namespace {

// The field's number, or -1 when it holds none (the check then names it).
int32_t NumberIn(const QLineEdit* field) {
  int32_t value = -1;
  std::string text = FromQ(field->text());
  return ParseLeadingInt(text, value, {IntBlanks::kAny, IntOverflow::kReject}) ? value : -1;
}

}  // namespace

StoreOptionsGroup::StoreOptionsGroup(QWidget* parent)
    : QGroupBox(QStringLiteral("Several web servers:"), parent) {
  setObjectName(QStringLiteral("storeOptions"));
  auto* form = new QFormLayout(this);
  auto field = [&](const char* name, const char* label, const char* placeholder) {
    auto* edit = new QLineEdit(this);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setPlaceholderText(QString::fromLatin1(placeholder));
    form->addRow(QString::fromLatin1(label), edit);
    connect(edit, &QLineEdit::textChanged, this, [this] { Check(); });
    return edit;
  };
  store_ = field("sharedStore", "Shared &store:", "empty: files on this server");
  prefix_ = field("sharedStorePrefix", "Key &prefix:", "quorix:");
  passwordFile_ = field("sharedStorePasswordFile", "Pass&word file:", "/etc/quorix/store.password");
  timeout_ = field("sharedStoreTimeoutMs", "Store &time-out (ms):", "100");
  rateLimit_ = field("rateLimitPerMinute", "Searches per &minute:", "0: no limit");
  proxies_ = field("trustedProxies", "Trusted pro&xies:", "10.0.0.0/8");
  problem_ = new QLabel(this);
  problem_->setObjectName(QStringLiteral("storeProblem"));
  problem_->setWordWrap(true);
  problem_->setStyleSheet(QStringLiteral("color: #b00020"));
  form->addRow(problem_);
}

void StoreOptionsGroup::Show(const Config& config) {
  shown_ = config;
  store_->setText(ToQ(config.sharedStore));
  prefix_->setText(ToQ(config.sharedStorePrefix));
  passwordFile_->setText(ToQ(config.sharedStorePasswordFile));
  timeout_->setText(QString::number(config.sharedStoreTimeoutMs));
  rateLimit_->setText(QString::number(config.rateLimitPerMinute));
  proxies_->setText(ToQ(config.trustedProxies));
  Check();
}

Config StoreOptionsGroup::Edited(const Config& base) const {
  Config config = base;
  config.sharedStore = FromQ(store_->text().trimmed());
  config.sharedStorePrefix = FromQ(prefix_->text().trimmed());
  config.sharedStorePasswordFile = FromQ(passwordFile_->text().trimmed());
  config.sharedStoreTimeoutMs = NumberIn(timeout_);
  config.rateLimitPerMinute = NumberIn(rateLimit_);
  config.trustedProxies = FromQ(proxies_->text().simplified());
  return config;
}

void StoreOptionsGroup::Check() {
  problem_->setText(ToQ(panel::StoreOptionsProblem(Edited(shown_))));
  problem_->setVisible(!problem_->text().isEmpty());
}

bool StoreOptionsGroup::Store(Config& config) {
  Config edited = Edited(config);
  std::string problem = panel::StoreOptionsProblem(edited);
  problem_->setText(ToQ(problem));
  problem_->setVisible(!problem.empty());
  if (!problem.empty()) return false;
  config = std::move(edited);
  return true;
}

}  // namespace quorix::panelui
