// The trend viewer's application: the start modes of its command line, the document
// template, the main frame, the library's notifications and the exit.
//
// Command line (the whole text after the program name, recognised by its first characters):
//   "/test"             a self-test trend made here, then shown as with "/hTrend="
//   "/hTrend=<name>"    the live view of the shared trend record of that name
//   "/hConfig=<name>"   only the channel configuration dialog for that record; no main window
//   a file path         that saved trend file
//   empty               the main window without a document
#pragma once

#include <QObject>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "trendview/kurvan_profile.h"
#include "trendview/kurvex/kurvex.h"
#include "trendview/trend_view.h"

class CChildFrame;
class CMainFrame;
class CTrendDoc;
class QSocketNotifier;
class QWidget;

class CKurvanApp {
 public:
  enum class Mode { Empty, Trend, Config, File };

  // `programPath` is the program's own file: its folder holds the language libraries, its
  // name (without an extension, if any) is the default settings key.
  explicit CKurvanApp(const std::string& programPath);
  ~CKurvanApp();
  CKurvanApp(const CKurvanApp&) = delete;
  CKurvanApp& operator=(const CKurvanApp&) = delete;

  // The start-up steps; false when the program is to end at once (no language library, the
  // "/hConfig=" mode after its dialog).
  bool InitInstance(const std::string& commandLine);
  // Ends the self-test trend and releases the records; closes what is still open.
  void ExitInstance();

  // A new document on the application's record, in a new child frame.
  CChildFrame* NewDocument();
  // A document of a saved trend file; null when the file cannot be read (a message says so).
  CChildFrame* OpenDocumentFile(const std::string& path);
  // The save dialog for the document's record, then the file.
  void SaveDocumentAs(CTrendDoc* doc);
  // Commands of the application: open, recent files, about.
  bool onCommand(int id, KurvanCmdUI* ui);
  void ShowAbout();

  // Takes the library's waiting notifications: 1125 and 1127 go to every child frame, 16
  // closes the main frame.
  void ProcessNotifications();

  Mode mode() const { return mode_; }
  CMainFrame* mainFrame() const { return mainFrame_; }
  QWidget* dialogParent() const;
  CKurvanProfile& profile() { return profile_; }
  KurvanHandle record() const { return record_; }
  KurvanHandle selfTest() const { return selfTest_; }
  std::intptr_t instanceHandle() const;
  // The document template's resource set: 129, or 138 for a record with +1138 = 0.
  int templateId() const { return templateId_; }
  // The document menu the template has now (its resource set until the first change of
  // language, then 129).
  int documentMenuId() const { return documentMenu_; }
  const std::string& programPath() const { return programPath_; }

  const std::vector<std::string>& recentFiles() const { return recent_; }
  void AddRecentFile(const std::string& path);

 private:
  CChildFrame* CreateChild(std::unique_ptr<CTrendDoc> doc);
  KurvanHandle OpenRecord(const std::string& name);
  void OpenNotifications();
  void LoadRecentFiles();
  void LanguageChanged();

  std::string programPath_;
  std::string programName_;
  Mode mode_ = Mode::Empty;
  std::string mappingName_;
  KurvanHandle record_ = 0;
  KurvanHandle selfTest_ = 0;
  int templateId_ = 129;
  int documentMenu_ = 129;
  CKurvanProfile profile_;
  CMainFrame* mainFrame_ = nullptr;
  int notifyFd_ = -1;
  QSocketNotifier* notifier_ = nullptr;
  unsigned nextChild_ = 1;
  std::vector<std::string> recent_;
};

// The running application (null when there is none).
CKurvanApp* KurvanApp();
