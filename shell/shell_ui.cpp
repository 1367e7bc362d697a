#include "shell/shell_ui.h"

#include <QAbstractButton>
#include <QAction>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScreen>
#include <QWidget>
#include <algorithm>
#include <vector>

#include "host/ini_file.h"
#include "shell/shell_util.h"

namespace {

std::vector<std::string> FilterParts(const std::string& filter) {
  std::vector<std::string> parts;
  std::string f = filter.substr(0, 256);
  size_t start = 0;
  for (size_t bar; (bar = f.find('|', start)) != std::string::npos; start = bar + 1) parts.push_back(f.substr(start, bar - start));
  if (start < f.size()) parts.push_back(f.substr(start));
  return parts;
}

void ShowWith(QWidget* w, unsigned cmd) {
  switch (cmd) {
    case SIM_SHOW_HIDE: w->hide(); break;
    case SIM_SHOW_MINIMIZED: w->showMinimized(); break;
    case SIM_SHOW_MAXIMIZED: w->showMaximized(); break;
    default: w->showNormal(); break;
  }
}

}  // namespace

unsigned SimReadWindowPos(QWidget* w, unsigned startCmd, const std::string& section, const std::string& key,
                          const std::string& file) {
  SimWindowPlacement p;
  if (!SimParseWindowPlacement(host::IniGetString(file, section, key, ""), &p)) {
    ShowWith(w, startCmd);
    return startCmd;
  }
  unsigned cmd = startCmd == SIM_SHOW_NORMAL || startCmd == SIM_SHOW_SHOW ? p.showCmd : startCmd;
  // A placement from a screen that is no longer there comes back onto a present one.
  QList<QRect> areas;
  for (const QScreen* screen : QGuiApplication::screens()) areas << screen->availableGeometry();
  const QRect r = SimOntoScreens(QRect(p.left, p.top, p.right - p.left, p.bottom - p.top), areas);
  w->setGeometry(r);
  ShowWith(w, cmd);
  return cmd;
}

void SimWriteWindowPos(QWidget* w, const std::string& section, const std::string& key, const std::string& file) {
  SimWindowPlacement p;
  p.showCmd = w->isMaximized() ? SIM_SHOW_MAXIMIZED : w->isMinimized() ? SIM_SHOW_MINIMIZED : SIM_SHOW_NORMAL;
  QRect r = w->normalGeometry().isValid() ? w->normalGeometry() : w->geometry();
  p.left = r.left();
  p.top = r.top();
  p.right = r.left() + r.width();
  p.bottom = r.top() + r.height();
  host::IniWriteString(file, section, key, SimFormatWindowPlacement(p));
}

QRect SimOntoScreens(const QRect& frame, const QList<QRect>& areas) {
  if (areas.isEmpty()) return frame;
  // The strip a user takes the window by: its top, as wide as the window up to 40 pixels.
  const QRect grip(frame.left(), frame.top(), frame.width(), std::min(frame.height(), 20));
  const int need = std::min(frame.width(), 40);
  for (const QRect& a : areas) {
    const QRect on = a.intersected(grip);
    if (!on.isEmpty() && on.width() >= need) return frame;
  }
  const QRect& a = areas.first();
  const int x = std::clamp(frame.left(), a.left(), std::max(a.left(), a.right() + 1 - frame.width()));
  const int y = std::clamp(frame.top(), a.top(), std::max(a.top(), a.bottom() + 1 - frame.height()));
  return QRect(QPoint(x, y), frame.size());
}

SimViewPlaces SimPlaceViews(const QRect& window, const QRect& area, const std::vector<QSize>& column,
                            const std::vector<QSize>& below, int gap) {
  SimViewPlaces out;
  // Into the area along one axis: the view's start so that it ends inside (its start first).
  auto inside = [](int start, int length, int low, int high) {
    return std::max(low, std::min(start, high + 1 - length));
  };

  // The column views in groups, each as high as the area allows (at least one view).
  struct Group {
    size_t first = 0, count = 0;
    int width = 0, height = 0;
  };
  std::vector<Group> groups;
  for (size_t i = 0; i < column.size(); ++i) {
    const QSize& s = column[i];
    if (groups.empty() || groups.back().height + gap + s.height() > area.height()) {
      groups.push_back(Group{i, 0, 0, -gap});
    }
    Group& g = groups.back();
    ++g.count;
    g.width = std::max(g.width, s.width());
    g.height += gap + s.height();
  }
  int total = 0;
  for (const Group& g : groups) total += g.width + gap;
  const int rightStart = window.right() + 1 + gap;
  const int leftEnd = window.left() - gap;  // exclusive right edge of the nearest group
  enum { kRight, kLeft, kPushed } side = kPushed;
  if (rightStart + total - gap <= area.right() + 1)
    side = kRight;
  else if (leftEnd - (total - gap) >= area.left())
    side = kLeft;
  out.column.resize(column.size());
  int x = side == kRight ? rightStart : side == kLeft ? leftEnd : area.right() + 1 - (total - gap);
  for (const Group& g : groups) {
    int gx = side == kLeft ? x - g.width : x;
    gx = inside(gx, g.width, area.left(), area.right());
    int y = inside(window.top(), g.height, area.top(), area.bottom());
    for (size_t i = g.first; i < g.first + g.count; ++i) {
      out.column[i] = QPoint(inside(gx, column[i].width(), area.left(), area.right()),
                             inside(y, column[i].height(), area.top(), area.bottom()));
      y += column[i].height() + gap;
    }
    x = side == kLeft ? x - g.width - gap : x + g.width + gap;
  }

  int y = window.bottom() + 1 + gap;
  for (const QSize& s : below) {
    out.below.emplace_back(inside(window.left(), s.width(), area.left(), area.right()),
                           inside(y, s.height(), area.top(), area.bottom()));
    y += s.height() + gap;
  }
  return out;
}

QString SimDialogFilter(const std::string& filter) {
  std::vector<std::string> parts = FilterParts(filter);
  QStringList out;
  for (size_t i = 0; i + 1 < parts.size(); i += 2) {
    QString patterns = QString::fromLatin1(parts[i + 1].c_str()).replace(';', ' ');
    QString name = QString::fromLatin1(parts[i].c_str());
    // The name often names its patterns already: "SIM/MX74-2 (*.sdg)".
    out << (name.contains('(') ? name.left(name.indexOf('(')).trimmed() : name) + " (" + patterns + ")";
  }
  return out.join(";;");
}

int SimFilterIndexFor(const std::string& filter, const std::string& file) {
  size_t dot = file.rfind('.');
  size_t slash = file.rfind('/');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return 0;
  std::string want = "*" + file.substr(dot);
  std::vector<std::string> parts = FilterParts(filter);
  for (size_t i = 1; i < parts.size(); i += 2)
    if (QString::fromLatin1(parts[i].c_str()).compare(QString::fromLatin1(want.c_str()), Qt::CaseInsensitive) == 0)
      return static_cast<int>(i / 2);
  return 0;
}

void SimSetUpFileDialog(QFileDialog* dlg, const QString& title, const std::string& file, const std::string& filter,
                        const std::string& folder, bool save) {
  dlg->setWindowTitle(title);
  dlg->setDirectory(QString::fromLocal8Bit(folder.c_str()));
  QString filters = SimDialogFilter(filter);
  dlg->setNameFilter(filters);
  QStringList list = filters.split(";;");
  int index = save ? SimFilterIndexFor(filter, file) : 0;
  if (index < list.size()) dlg->selectNameFilter(list[index]);
  dlg->setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  // A save dialog must be able to make a new file.
  dlg->setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  dlg->setOption(QFileDialog::DontConfirmOverwrite, !save);
  if (!file.empty()) dlg->selectFile(QString::fromLocal8Bit(file.c_str()));
}

static bool RunDialog(QWidget* owner, const QString& title, std::string* file, const std::string& filter,
                      std::string* folder, bool save) {
  QFileDialog dlg(owner);
  SimSetUpFileDialog(&dlg, title, *file, filter, *folder, save);
  if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return false;
  QString chosen = dlg.selectedFiles().first();
  *file = chosen.toLocal8Bit().toStdString();
  *folder = QFileInfo(chosen).absolutePath().toLocal8Bit().toStdString();
  return true;
}

bool SimOpenFileDialog(QWidget* owner, const QString& title, std::string* file, const std::string& filter,
                       std::string* folder) {
  return RunDialog(owner, title, file, filter, folder, false);
}
bool SimSaveFileDialog(QWidget* owner, const QString& title, std::string* file, const std::string& filter,
                       std::string* folder) {
  return RunDialog(owner, title, file, filter, folder, true);
}

void SimSetCheck(QAbstractButton* button, bool on) {
  if (button && button->isChecked() != on) button->setChecked(on);
}

void SimSetItemText(QWidget* item, const QString& text) {
  if (auto* edit = qobject_cast<QLineEdit*>(item)) {
    if (edit->text().left(511) != text.left(511)) edit->setText(text);
  } else if (auto* label = qobject_cast<QLabel*>(item)) {
    if (label->text().left(511) != text.left(511)) label->setText(text);
  } else if (auto* button = qobject_cast<QAbstractButton*>(item)) {
    if (button->text().left(511) != text.left(511)) button->setText(text);
  } else {
    return;
  }
  item->update();
}

void SimRecentRebuildMenu(QMenu* menu, const QString& placeholderCaption, std::function<void(int)> open) {
  if (!menu) return;
  for (QAction* a : menu->actions()) {
    int id = a->data().toInt();
    if (id >= SIM_RECENT_PLACEHOLDER_ID && id < SIM_RECENT_FIRST_ID + SIM_RECENT_COUNT) {
      menu->removeAction(a);
      delete a;
    }
  }
  QList<QAction*> all = menu->actions();
  QAction* before = all.size() >= 2 ? all[all.size() - 2] : nullptr;
  std::vector<SimRecentMenuItem> items = SimRecentMenu();
  if (items.empty()) {
    auto* a = new QAction(placeholderCaption, menu);
    a->setData(SIM_RECENT_PLACEHOLDER_ID);
    a->setEnabled(false);
    menu->insertAction(before, a);
    return;
  }
  for (const SimRecentMenuItem& item : items) {
    auto* a = new QAction(QString::fromLocal8Bit(item.text.c_str()), menu);
    a->setData(item.id);
    int id = item.id;
    QObject::connect(a, &QAction::triggered, menu, [open, id] {
      if (open) open(id);
    });
    menu->insertAction(before, a);
  }
}
