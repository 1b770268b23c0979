// Small pieces every control panel window shares: text conversion between the
// logic's UTF-8 and Qt, window placement, the drawn icons, list views and
// digit-only fields.
#pragma once

#include <QColor>
#include <QIcon>
#include <QLineEdit>
#include <QMetaObject>
#include <QPixmap>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTreeWidget>
#include <string>
#include <utility>
#include <vector>

#include "panel/core/panel_log.h"

namespace quorix::panelui {

inline QString ToQ(const std::string& text) { return QString::fromStdString(text); }
inline std::string FromQ(const QString& text) { return text.toStdString(); }
// Text that separates its lines with CR LF, shown with plain line breaks.
QString DisplayLines(const std::string& text);

inline QColor ToColor(panel::Rgb rgb) { return QColor(rgb.r, rgb.g, rgb.b); }

// Runs `call(*widget)` later on the widget's own thread, unless the widget is
// gone by then. Safe from any thread: how a worker reports to a window.
template <typename Widget, typename Call>
void PostToWidget(const QPointer<Widget>& widget, Call call) {
  QMetaObject::invokeMethod(
      widget.data(),
      [widget, call = std::move(call)]() mutable {
        if (widget) call(*widget);
      },
      Qt::QueuedConnection);
}

// Moves `window` (size kept) so that it is centred on its primary screen.
void CentreOnScreen(QWidget* window);
// Centres `window` over `parent`, then pulls it back inside the screen.
void CentreOverParent(QWidget* window, QWidget* parent);

// The drawn icons: "quorix-control-panel", "nodes", "options", "verify".
QPixmap PanelPixmap(const QString& name, int size);
QIcon PanelIcon(const QString& name);

// A report-style list: one column per entry of `columns`, of the given
// widths; the last column widens to fill the list. Rows are selected whole;
// `multiple` allows several at once.
QTreeWidget* MakeReportList(const QStringList& columns, const std::vector<int>& widths,
                            bool multiple, QWidget* parent);
// The selected rows, from the top.
std::vector<int> SelectedRows(const QTreeWidget* list);

// Lets `edit` take digits only.
void AcceptDigitsOnly(QLineEdit* edit);

}  // namespace quorix::panelui
