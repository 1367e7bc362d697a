// The shell's smaller windows: the message boxes of the main window (with a hook that tests
// answer), the splash shown at start, the info box, the communication view, the showing of the
// view windows, and the language texts put into the windows.
#pragma once

#include <QDialog>
#include <QString>
#include <functional>

class QLineEdit;
class QPushButton;
class SimMainWindow;

// A text of the firmware or the shell's tables (8-bit code page) for a window.
inline QString Latin1(const char* text) { return QString::fromLatin1(text); }

// --- Message boxes ---------------------------------------------------------------------------
enum SimBoxStyle : int { SIM_BOX_WARNING_OK = 0, SIM_BOX_WARNING_YES_NO_CANCEL = 1 };
// Answers, numbered as the desktop's message boxes number them.
enum SimBoxAnswer : int { SIM_BOX_OK = 1, SIM_BOX_CANCEL = 2, SIM_BOX_YES = 6, SIM_BOX_NO = 7 };

// A message box over `owner`; the answer. With a hook installed the hook answers instead
// (nothing is shown).
int SimMessageBox(QWidget* owner, const QString& caption, const QString& text, SimBoxStyle style);
using SimMessageBoxHook = std::function<int(const QString& caption, const QString& text, SimBoxStyle style)>;
void SimSetMessageBoxHook(SimMessageBoxHook hook);

// --- Splash ----------------------------------------------------------------------------------
// The splash's picture in the program's resources.
inline constexpr char SIM_SPLASH_BITMAP[] = ":/assets/splash.png";
inline constexpr int SIM_SPLASH_MIN_WIDTH = 350, SIM_SPLASH_MIN_HEIGHT = 250;

// show true: opens the splash with the picture (false, and no splash, when it cannot be loaded
// or is smaller than 350 x 250), the program's name, "Version " and the version text (no such line
// without a text), and the wait cursor. show false: waits until `timeMs` have passed since the
// opening (the window keeps painting meanwhile), then closes it and restores the cursor; true.
bool SimSplash(const QString& bitmap, long timeMs, const QString& versionText, bool show);
// The splash window while it is open (null otherwise).
QWidget* SimSplashWindow();

// --- Info box --------------------------------------------------------------------------------
// The info box (modal): the info caption, the fixed texts of the language, the firmware's
// version and the program's, the info picture. Centred on the owner (on the screen while the
// owner is minimised). Closed by OK (ids 1 and 2) with 1; message 2032 closes it five seconds
// later.
class SimInfoDialog : public QDialog {
 public:
  static constexpr int kCloseLater = 2032;
  static constexpr int kCloseNow = 2033;
  static constexpr int kLaterMs = 5000;
  explicit SimInfoDialog(QWidget* owner);
  intptr_t send(int id, intptr_t wParam, intptr_t lParam);
  // The texts it shows, top to bottom.
  QStringList texts() const;
};
// Runs the info box over the main window; its result.
int SimInfoBox(QWidget* owner);

// --- Communication view ----------------------------------------------------------------------
// The request edit (at most 1023 characters) with its send button and the response edit; the
// channel for PC tools shows its traffic in both (SimComSetViewWindows).
class SimCommView : public QDialog {
 public:
  static constexpr int kSend = 2039;
  static constexpr int kMaxRequest = 1023;
  explicit SimCommView(QWidget* owner);
  ~SimCommView() override;
  // 2039: unless a script plays, the request edit's text goes to the channel as a typed
  // request (a text that gives no frame beeps). Menu commands forwarded by the main window
  // (30034, 30045) have no effect of their own here.
  intptr_t send(int id, intptr_t wParam, intptr_t lParam);
  void command(int id);
  QLineEdit* requestEdit() const { return request_; }
  QLineEdit* responseEdit() const { return response_; }
  QPushButton* sendButton() const { return send_; }
  // The captions of the language.
  void takeLanguageTexts();
  // Closed by its frame or Escape: the communication view's flag is cleared.
  void reject() override;

 private:
  QLineEdit* request_;
  QLineEdit* response_;
  QPushButton* send_;
};

// --- Views and language texts ----------------------------------------------------------------
// Sent to each I/O view after the language or the device changed: it lays itself out anew.
constexpr int SIM_WM_INITDIALOG = 0x0110;

// Check marks of "&Input/Output" and "&Communication" ("&Communication" enabled only while the
// I/O views are shown); hides the I/O views, the plant window and the communication view, then
// shows the I/O views when their flag is set and the communication view when both flags are;
// lays the views out beside the main window; writes [Settings] "ViewIO".
void SimShowViews(SimMainWindow* main);
// The language's texts into the windows: the I/O views' captions (then WM_INITDIALOG to each
// view, which lays it out anew and takes its labels from SimTexts()), the plant buttons
// (buttons named "SimPlantButton" and "SimDisturbButton" of the plant window), the
// communication view, the main window's title. Called at start and after a language change.
void SimLanguageTexts(SimMainWindow* main);
// The help document of the language: the program's folder and the document's name.
QString SimHelpDocumentPath();
// The program's folder (set at start; the folder of the running program by default).
void SimSetProgramFolder(const QString& folder);
QString SimProgramFolder();
