#include "trendview/kurvan_app.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QLabel>
#include <QMdiArea>
#include <QPushButton>
#include <QSocketNotifier>
#include <QVBoxLayout>
#include <unistd.h>

#include "trendview/channel_dialog.h"
#include "trendview/child_frame.h"
#include "trendview/kurvan_ids.h"
#include "trendview/kurvan_ui.h"
#include "trendview/language.h"
#include "trendview/main_frame.h"
#include "trendview/trend_doc.h"

namespace {

CKurvanApp* g_app = nullptr;

constexpr char kTest[] = "/test";
constexpr char kTrend[] = "/hTrend=";
constexpr char kConfig[] = "/hConfig=";
constexpr char kRecentSection[] = "Recent File List";
constexpr int kDocumentMenus[] = {KURVAN_RES_TREND, 0};

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

}  // namespace

CKurvanApp* KurvanApp() { return g_app; }

CKurvanApp::CKurvanApp(const std::string& programPath) : programPath_(programPath) {
  g_app = this;
  std::string name = programPath.substr(programPath.rfind('/') + 1);
  const size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) name.resize(dot);
  programName_ = name;
  profile_.setProgram(name);
  KurvanLanguages().setListener([this] { LanguageChanged(); });
}

CKurvanApp::~CKurvanApp() {
  ExitInstance();
  KurvanLanguages().setListener(nullptr);
  if (g_app == this) g_app = nullptr;
}

std::intptr_t CKurvanApp::instanceHandle() const { return static_cast<std::intptr_t>(getpid()); }

QWidget* CKurvanApp::dialogParent() const { return mainFrame_; }

KurvanHandle CKurvanApp::OpenRecord(const std::string& name) { return KurvanOpen(name.c_str()); }

bool CKurvanApp::InitInstance(const std::string& commandLine) {
  std::string line = commandLine;
  // 1. The self-test trend; from here on it is shown as any other live trend.
  if (StartsWith(line, kTest)) {
    selfTest_ = KurvanCreate(instanceHandle(), 1, 200, 900, 1, 1, 1);
    uint8_t channels[KURVAN_CONFIG_BYTES] = {};
    uint8_t extra[KURVAN_EXTRA_BYTES] = {};
    TrendPutU32(channels, KURVAN_CFG_SIZE, KURVAN_CONFIG_BYTES);
    TrendPutU32(extra, KURVAN_EXTRA_SIZE, KURVAN_EXTRA_BYTES);
    KurvanGetChannelConfig(selfTest_, channels, extra);
    KurvanSetLanguage(selfTest_, 0);
    if (const uint8_t* rec = KurvanLock(selfTest_)) {
      line = kTrend + TrendGetText(rec, TREND_REC_MAPNAME, TREND_MAPNAME_BYTES);
      KurvanUnlock(selfTest_);
    }
  }
  // 2. The mode, and the named record.
  if (StartsWith(line, kTrend)) {
    mode_ = Mode::Trend;
    mappingName_ = line.substr(sizeof kTrend - 1);
  } else if (StartsWith(line, kConfig)) {
    mode_ = Mode::Config;
    mappingName_ = line.substr(sizeof kConfig - 1);
  } else {
    mode_ = line.empty() ? Mode::Empty : Mode::File;
  }
  if (mode_ == Mode::Trend || mode_ == Mode::Config) record_ = OpenRecord(mappingName_);

  // 3. The languages, with the language stored in the program's private profile.
  if (KurvanLanguages().Load(0, KURVAN_RES_MAIN_FRAME, kDocumentMenus, "Kurvan2", "Kurvan2", programPath_, profile_) != 0)
    return false;

  // 4. The settings key, and the recent files.
  profile_.setRegistryKey("Orvant GmbH");
  LoadRecentFiles();

  // 5. The document template's resource set.
  templateId_ = KURVAN_RES_TREND;
  if (record_) {
    if (const uint8_t* rec = KurvanLock(record_)) {
      templateId_ = TrendGetU16(rec, TREND_REC_TEMPLATE) ? KURVAN_RES_TREND : KURVAN_RES_TREND_VIEW;
      KurvanUnlock(record_);
    }
  }
  documentMenu_ = templateId_;

  // 6. The main frame, unless only the channel dialog is wanted.
  if (mode_ != Mode::Config) {
    mainFrame_ = new CMainFrame(this);
    if (!mainFrame_->create(record_, selfTest_ != 0)) return false;
  }

  // 7. What the mode shows.
  switch (mode_) {
    case Mode::Trend: {
      const KurvanHandle again = OpenRecord(mappingName_);
      if (record_) KurvanDestroy(record_);
      record_ = again;
      OpenNotifications();
      CChildFrame* child = NewDocument();
      int language = -1;
      if (uint8_t* rec = record_ ? KurvanLock(record_) : nullptr) {
        TrendPutU32(rec, TREND_REC_VIEWER, static_cast<uint32_t>(getpid()));
        language = TrendGetU16(rec, TREND_REC_LANGUAGE);
        KurvanUnlock(record_);
      } else {
        KurvanBeep(0);
      }
      if (language >= 0) KurvanLanguages().SetLanguage(language);
      mainFrame_->show();
      if (child) child->showMaximized();
      mainFrame_->updateCommandUI();
      return true;
    }
    case Mode::Config: {
      const KurvanHandle again = OpenRecord(mappingName_);
      if (record_) KurvanDestroy(record_);
      record_ = again;
      if (record_)
        KurvanConfigureChannels(record_, nullptr, [](int language) { KurvanLanguages().SetLanguage(language); });
      return false;
    }
    case Mode::File:
      if (CChildFrame* child = OpenDocumentFile(line)) record_ = child->document()->trendHandle();
      mainFrame_->show();
      return true;
    case Mode::Empty:
      mainFrame_->show();
      return true;
  }
  return true;
}

void CKurvanApp::ExitInstance() {
  delete mainFrame_;
  mainFrame_ = nullptr;
  delete notifier_;
  notifier_ = nullptr;
  if (notifyFd_ >= 0) KurvanNotifyClose(notifyFd_);
  notifyFd_ = -1;
  if (selfTest_) KurvanDestroy(selfTest_);
  selfTest_ = 0;
  // The mapped record (a loaded file's record went with its document).
  if (mode_ == Mode::Trend || mode_ == Mode::Config) KurvanDestroy(record_);
  record_ = 0;
}

// The library's notifications arrive on a socket named after this process; it is open before
// the process id goes into a record.
void CKurvanApp::OpenNotifications() {
  if (notifyFd_ >= 0) return;
  notifyFd_ = KurvanNotifyOpen();
  if (notifyFd_ < 0) return;
  notifier_ = new QSocketNotifier(notifyFd_, QSocketNotifier::Read);
  QObject::connect(notifier_, &QSocketNotifier::activated, [this] { ProcessNotifications(); });
}

void CKurvanApp::ProcessNotifications() {
  if (notifyFd_ < 0) return;
  KurvanNote note;
  while (KurvanNotifyRead(notifyFd_, &note)) {
    if (!mainFrame_) continue;
    switch (note.message) {
      case KURVAN_MSG_SAMPLES:
      case KURVAN_MSG_LANGUAGE:
      case KURVAN_MSG_CONFIG:
        mainFrame_->sendToChildren(static_cast<int>(note.message), note.wParam, note.lParam);
        break;
      case KURVAN_MSG_CLOSE:
        mainFrame_->close();
        break;
      default:
        break;
    }
  }
}

CChildFrame* CKurvanApp::CreateChild(std::unique_ptr<CTrendDoc> doc) {
  if (!mainFrame_) return nullptr;
  CTrendDoc* d = doc.get();
  auto* child = new CChildFrame(std::move(doc), nextChild_++);
  mainFrame_->addChild(child);
  child->RestorePlacement(profile_, mainFrame_->section());
  mainFrame_->mdiArea()->setActiveSubWindow(child);
  d->UpdateAllViews();
  mainFrame_->updateCommandUI();
  return child;
}

CChildFrame* CKurvanApp::NewDocument() { return CreateChild(std::make_unique<CTrendDoc>(record_)); }

CChildFrame* CKurvanApp::OpenDocumentFile(const std::string& path) {
  // A document read from a file starts without a record: a file that is refused leaves it
  // empty.
  auto doc = std::make_unique<CTrendDoc>(0);
  doc->setPath(path);
  if (doc->Load(path) == TREND_FILE_IO) {
    KurvanMessageBox(dialogParent(), KurvanLanguages().string(KURVAN_STR_OPEN_ERROR), KurvanBox::Exclamation);
    return nullptr;
  }
  AddRecentFile(path);
  return CreateChild(std::move(doc));
}

void CKurvanApp::SaveDocumentAs(CTrendDoc* doc) {
  // The document string: "\n<doc name>\n<new name>\n<filter name>\n<extension>\n...".
  const QString docString = KurvanLanguages().string(documentMenu_);
  const QString ext = docString.section('\n', 4, 4).isEmpty() ? QStringLiteral(".krv") : docString.section('\n', 4, 4);
  const QString filter = docString.section('\n', 3, 3) + "|*" + ext + "||";
  QString name = QString::fromStdString(doc->path());
  if (name.isEmpty()) {
    if (const uint8_t* rec = doc->Lock()) {
      name = QString::fromLatin1(TrendGetText(rec, TREND_REC_NAME, TREND_NAME_BYTES).c_str()) + ext;
      doc->Unlock();
    }
  }
  QString path = KurvanFileDialog(dialogParent(), true, filter, name);
  if (path.isEmpty()) return;
  if (QFileInfo(path).suffix().isEmpty()) path += ext;
  const TrendFileStatus status = doc->Save(path.toStdString());
  if (status == TREND_FILE_IO) {
    KurvanMessageBox(dialogParent(), KurvanLanguages().string(KURVAN_STR_SAVE_ERROR), KurvanBox::Exclamation);
    return;
  }
  if (status != TREND_FILE_OK) return;
  doc->setPath(path.toStdString());
  AddRecentFile(doc->path());
  doc->UpdateAllViews();
}

void CKurvanApp::LoadRecentFiles() {
  recent_.clear();
  for (int i = 1; i <= KURVAN_RECENT_COUNT; ++i) {
    const std::string file = profile_.getString(kRecentSection, "File" + std::to_string(i), "");
    if (!file.empty()) recent_.push_back(file);
  }
}

void CKurvanApp::AddRecentFile(const std::string& path) {
  const std::string full = QFileInfo(QString::fromStdString(path)).absoluteFilePath().toStdString();
  std::erase(recent_, full);
  recent_.insert(recent_.begin(), full);
  if (recent_.size() > static_cast<size_t>(KURVAN_RECENT_COUNT)) recent_.resize(KURVAN_RECENT_COUNT);
  for (size_t i = 0; i < recent_.size(); ++i) profile_.writeString(kRecentSection, "File" + std::to_string(i + 1), recent_[i]);
  if (mainFrame_) mainFrame_->LanguageChanged();
}

void CKurvanApp::LanguageChanged() {
  // Every template now uses the language's document menu.
  if (mainFrame_) documentMenu_ = KurvanLanguages().documentMenuId();
  if (mainFrame_) mainFrame_->LanguageChanged();
}

bool CKurvanApp::onCommand(int id, KurvanCmdUI* ui) {
  if (id == KURVAN_CMD_FILE_OPEN) {
    if (!ui) {
      const QString docString = KurvanLanguages().string(documentMenu_);
      const QString ext = docString.section('\n', 4, 4);
      const QString path =
          KurvanFileDialog(dialogParent(), false, docString.section('\n', 3, 3) + "|*" + ext + "||", QString());
      if (!path.isEmpty()) OpenDocumentFile(path.toStdString());
    }
    return true;
  }
  if (id >= KURVAN_CMD_MRU_FIRST && id < KURVAN_CMD_MRU_FIRST + KURVAN_RECENT_COUNT) {
    const size_t n = static_cast<size_t>(id - KURVAN_CMD_MRU_FIRST);
    if (ui)
      ui->enabled = n < recent_.size();
    else if (n < recent_.size())
      OpenDocumentFile(std::string(recent_[n]));
    return true;
  }
  if (id == KURVAN_CMD_ABOUT) {
    if (!ui) ShowAbout();
    return true;
  }
  return false;
}

// Dialog 100; its control 1006 is shown only in language 0.
void CKurvanApp::ShowAbout() {
  const CLanguageManager& lang = KurvanLanguages();
  const KurvanDialog* d = lang.dialog(KURVAN_DLG_ABOUT);
  if (!d) return;
  QDialog dialog(dialogParent());
  dialog.setWindowTitle(QString::fromLatin1(d->title));
  auto* layout = new QVBoxLayout(&dialog);
  for (int i = 0; i < d->count; ++i) {
    const KurvanDialogItem& item = d->items[i];
    if (item.id == KURVAN_ID_OK) continue;
    auto* label = new QLabel(QString::fromLatin1(item.text), &dialog);
    label->setObjectName(QString::number(item.id));
    label->setVisible(item.id != KURVAN_DLG_ABOUT_GERMAN || lang.current() == 0);
    layout->addWidget(label);
  }
  auto* buttons = new QDialogButtonBox(&dialog);
  buttons->addButton(lang.dialogText(KURVAN_DLG_ABOUT, KURVAN_ID_OK), QDialogButtonBox::AcceptRole);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  layout->addWidget(buttons);
  KurvanRunDialog(&dialog);
}
