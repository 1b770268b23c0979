// Small pieces every control panel window shares: text conversion between the
// logic's UTF-8 and Qt, window placement, the drawn icons, list views and
// digit-only fields.
#pragma once

#include <QColor>
#include <QIcon>
#include <QLineEdit>
#include <QPixmap>
#include <QString>
#include <QStringList>
#include <QTreeWidget>
#include <string>
#include <vector>

#include "panel/core/panel_log.h"

namespace quorix::panelui {

inline QString ToQ(const std::string& text) { return QString::fromStdString(text); }
inline std::string FromQ(const QString& text) { return text.toStdString(); }
// Text that separates its lines with CR LF, shown with plain line breaks.
QString DisplayLines(const std::string& text);

inline QColor ToColor(panel::Rgb rgb) { return QColor(rgb.r, rgb.g, rgb.b); }

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
