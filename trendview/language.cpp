#include "trendview/language.h"

#include <dlfcn.h>

#include "host/lingsel.h"
#include "trendview/kurvan_ids.h"
#include "trendview/kurvan_profile.h"
#include "trendview/kurvan_ui.h"

CLanguageManager& KurvanLanguages() {
  static CLanguageManager manager;
  return manager;
}

CLanguageManager::CLanguageManager() : select_(&LanguageSelectDialog) {}

CLanguageManager::~CLanguageManager() { Unload(); }

void CLanguageManager::Unload() {
  for (Module& m : modules_) {
    if (m.handle) dlclose(m.handle);
    m = Module();
  }
}

int CLanguageManager::Load(int defaultLanguage, int mainMenuId, const int* documentMenuIds,
                           const std::string& libraryBase, const std::string& helpBase, const std::string& programPath,
                           const CKurvanProfile& profile) {
  // Folder and base name of the program; a name without an extension is taken whole.
  const size_t slash = programPath.rfind('/');
  if (slash == std::string::npos) return -1;
  const std::string folder = programPath.substr(0, slash + 1);
  std::string base = programPath.substr(slash + 1);
  const size_t dot = base.rfind('.');
  if (dot != std::string::npos && dot > 0) base.resize(dot);
  libraryPattern_ = folder + (libraryBase.empty() ? base : libraryBase);
  helpPattern_ = folder + (helpBase.empty() ? base : helpBase);
  mainMenuId_ = mainMenuId;
  documentMenuId_ = documentMenuIds ? documentMenuIds[0] : 0;

  // The program holds no resources of its own: every language comes from its library.
  for (int i = 0; i < KURVAN_LANGUAGES; ++i) {
    Module& m = modules_[i];
    if (m.handle) dlclose(m.handle);
    m = Module();
    const std::string file = libraryPattern_ + KURVAN_LANGUAGE_LETTERS[i] + ".so";
    void* handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) continue;
    auto fn = reinterpret_cast<KurvanResourcesFn>(dlsym(handle, KURVAN_RESOURCE_SYMBOL));
    const KurvanResourceTable* table = fn ? fn() : nullptr;
    if (!table || table->version != KURVAN_RESOURCE_VERSION) {
      dlclose(handle);
      continue;
    }
    m.handle = handle;
    m.table = table;
    m.file = file;
  }

  auto present = [this](int i) { return i >= 0 && i < KURVAN_LANGUAGES && modules_[i].table; };
  int language = profile.getInt("Settings", "Language", defaultLanguage);
  if (!present(language)) language = defaultLanguage;
  for (int i = 0; !present(language) && i < KURVAN_LANGUAGES; ++i)
    if (present(i)) language = i;
  if (SetLanguage(language) != 0) {
    KurvanMessageBox(nullptr, QStringLiteral("DLL-Error"), KurvanBox::Exclamation);
    return -1;
  }
  return 0;
}

int CLanguageManager::SetLanguage(int index) {
  if (index < 0 || index >= KURVAN_LANGUAGES || !modules_[index].table) return -1;
  current_ = index;
  helpFile_ = helpPattern_ + KURVAN_LANGUAGE_LETTERS[index] + ".hlp";
  // Qt's own dialogs (files, print, preview) speak the language too; the letters are the
  // selection dialog's numbering.
  LingselUseQtTexts(index);
  if (listener_) listener_();
  return 0;
}

bool CLanguageManager::SelectLanguage(std::intptr_t instance, QWidget* parent, CKurvanProfile& profile) {
  if (!select_) return false;
  int index = current_;
  if (!select_(instance, parent, &index, mask())) return false;
  SetLanguage(index);
  profile.writeInt("Settings", "Language", index);
  return true;
}

unsigned CLanguageManager::mask() const {
  unsigned m = 0;
  for (int i = 0; i < KURVAN_LANGUAGES; ++i)
    if (modules_[i].table) m |= 1u << i;
  return m;
}

const KurvanResourceTable* CLanguageManager::table() const { return modules_[current_].table; }

QString CLanguageManager::string(int id) const { return QString::fromLatin1(KurvanFindString(table(), id)); }

const KurvanMenu* CLanguageManager::menu(int id) const { return KurvanFindMenu(table(), id); }

const KurvanDialog* CLanguageManager::dialog(int id) const { return KurvanFindDialog(table(), id); }

QString CLanguageManager::dialogText(int dialogId, int controlId) const {
  return QString::fromLatin1(KurvanFindDialogText(dialog(dialogId), controlId));
}

const KurvanToolBar* CLanguageManager::toolBar(int id) const { return KurvanFindToolBar(table(), id); }
