// What the tests of the simulator's windows share: the one Qt application of the test binary
// (offscreen), a recorder that answers the main window's message boxes, and a way to act on
// a modal dialog once it is open.
#pragma once

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "shell/shell_dialogs.h"

inline QApplication* ShellTestApp() {
  if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance())) return app;
  static int argc = 1;
  static char name[] = "shell_tests";
  static char* argv[] = {name, nullptr};
  return new QApplication(argc, argv);
}

// Records every box and answers it: the next queued answer, else `fallback`.
class BoxRecorder {
 public:
  struct Box {
    std::string caption, text;
    SimBoxStyle style;
  };
  explicit BoxRecorder(int fallback = SIM_BOX_NO) : fallback_(fallback) {
    SimSetMessageBoxHook([this](const QString& caption, const QString& text, SimBoxStyle style) {
      boxes.push_back({caption.toStdString(), text.toStdString(), style});
      if (answers.empty()) return fallback_;
      const int a = answers.front();
      answers.pop_front();
      return a;
    });
  }
  ~BoxRecorder() { SimSetMessageBoxHook({}); }
  BoxRecorder(const BoxRecorder&) = delete;
  BoxRecorder& operator=(const BoxRecorder&) = delete;

  std::vector<Box> boxes;
  std::deque<int> answers;

 private:
  int fallback_;
};

// Runs `act` on the modal dialog that the next call opens (from the event loop that the dialog
// runs); `act` must end the dialog. The dialog's window title is kept in *title.
inline void OnNextModal(std::function<void(QWidget* dialog)> act, std::string* title = nullptr) {
  auto poll = std::make_shared<std::function<void()>>();
  *poll = [act, title, poll] {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal) {
      QTimer::singleShot(5, *poll);
      return;
    }
    if (title) *title = modal->windowTitle().toStdString();
    act(modal);
    *poll = nullptr;  // the lambda no longer keeps itself
  };
  QTimer::singleShot(0, *poll);
}
