#include "panel/ui/widgets_common.h"

#include <QGuiApplication>
#include <QHeaderView>
#include <QPainter>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QSvgRenderer>
#include <algorithm>

// The icons are compiled into this static library; their registration must be
// pulled in by hand (and outside any namespace).
static void RegisterIconResources() { Q_INIT_RESOURCE(icons); }

namespace quorix::panelui {

QString DisplayLines(const std::string& text) {
  QString shown = ToQ(text);
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return shown;
}

void CentreOnScreen(QWidget* window) {
  QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return;
  QRect area = screen->geometry();
  QSize size = window->frameGeometry().size();
  window->move(area.x() + (area.width() - size.width()) / 2,
               area.y() + (area.height() - size.height()) / 2);
}

void CentreOverParent(QWidget* window, QWidget* parent) {
  QScreen* screen = QGuiApplication::primaryScreen();
  if (!parent || !screen) return;
  QRect outer = parent->frameGeometry();
  QSize size = window->frameGeometry().size();
  int x = outer.center().x() - size.width() / 2;
  int y = outer.center().y() - size.height() / 2;
  QRect area = screen->geometry();
  x = std::max(x, 0);
  y = std::max(y, 0);
  if (x + size.width() > area.right() + 1) x = area.right() + 1 - size.width();
  if (y + size.height() > area.bottom() + 1) y = area.bottom() + 1 - size.height();
  window->move(x, y);
}

QPixmap PanelPixmap(const QString& name, int size) {
  static const bool registered = (RegisterIconResources(), true);
  (void)registered;
  QSvgRenderer renderer(QStringLiteral(":/icons/%1.svg").arg(name));
  qreal ratio = qApp ? qApp->devicePixelRatio() : 1.0;
  QPixmap pixmap(QSize(size, size) * ratio);
  pixmap.fill(Qt::transparent);
  if (renderer.isValid()) {
    QPainter painter(&pixmap);
    renderer.render(&painter);
  }
  pixmap.setDevicePixelRatio(ratio);
  return pixmap;
}

QIcon PanelIcon(const QString& name) {
  QIcon icon;
  for (int size : {16, 24, 32, 48, 64, 128}) icon.addPixmap(PanelPixmap(name, size));
  return icon;
}

QTreeWidget* MakeReportList(const QStringList& columns, const std::vector<int>& widths,
                            bool multiple, QWidget* parent) {
  auto* list = new QTreeWidget(parent);
  list->setColumnCount(columns.size());
  list->setHeaderLabels(columns);
  list->setRootIsDecorated(false);
  list->setItemsExpandable(false);
  list->setUniformRowHeights(true);
  list->setAllColumnsShowFocus(true);
  list->setSelectionBehavior(QAbstractItemView::SelectRows);
  list->setSelectionMode(multiple ? QAbstractItemView::ExtendedSelection
                                  : QAbstractItemView::SingleSelection);
  list->setContextMenuPolicy(Qt::CustomContextMenu);
  list->header()->setStretchLastSection(true);
  list->header()->setSectionsMovable(false);
  list->header()->setMinimumSectionSize(16);
  for (size_t i = 0; i < widths.size() && static_cast<int>(i) < columns.size(); ++i)
    list->setColumnWidth(static_cast<int>(i), widths[i]);
  return list;
}

std::vector<int> SelectedRows(const QTreeWidget* list) {
  std::vector<int> rows;
  for (int row = 0; row < list->topLevelItemCount(); ++row)
    if (list->topLevelItem(row)->isSelected()) rows.push_back(row);
  return rows;
}

void AcceptDigitsOnly(QLineEdit* edit) {
  edit->setValidator(
      new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
}

}  // namespace quorix::panelui
