// The trend viewer's languages: one resource library per language letter "gefisd", loaded
// from beside the program ("<folder>/Kurvan2<letter>.so"); one of them is the current one,
// whose strings, menus, dialog texts and tool bar the windows show. The language-selection
// dialog (host/lingsel.h) offers the languages whose library is present.
#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <string>

#include "trendview/kurvan_resources.h"

class CKurvanProfile;
class QWidget;

constexpr int KURVAN_LANGUAGES = 6;
constexpr const char KURVAN_LANGUAGE_LETTERS[] = "gefisd";

class CLanguageManager {
 public:
  using SelectDialogFn = int (*)(std::intptr_t instance, QWidget* parent, int* language, unsigned mask);

  // Finds the language-selection dialog.
  CLanguageManager();
  ~CLanguageManager();
  CLanguageManager(const CLanguageManager&) = delete;
  CLanguageManager& operator=(const CLanguageManager&) = delete;

  // Loads the libraries "<folder of programPath>/<libraryBase><letter>.so" (an empty base
  // means the program's own name; the program's name needs no extension), takes the language
  // stored in the profile ("Settings"/"Language"; outside 0..5 or without its library the
  // default language, and without that one the first language that has a library) and makes
  // it current. 0 on success; -1 when there is no folder in the path or no language could be
  // set ("DLL-Error" is shown then).
  int Load(int defaultLanguage, int mainMenuId, const int* documentMenuIds, const std::string& libraryBase,
           const std::string& helpBase, const std::string& programPath, const CKurvanProfile& profile);
  // Frees every library.
  void Unload();
  // Makes language `index` current and tells the listener; 0, or -1 when the index is outside
  // 0..5 or has no library.
  int SetLanguage(int index);
  // The language command: runs the selection dialog over `parent` with the present languages;
  // when the user chose one it becomes current and is stored in the profile. Does nothing
  // without a selection dialog. True when the language was changed.
  bool SelectLanguage(std::intptr_t instance, QWidget* parent, CKurvanProfile& profile);

  int current() const { return current_; }
  // Bit i set when the library of language i is loaded.
  unsigned mask() const;
  const KurvanResourceTable* table() const;
  const std::string& moduleFile(int index) const { return modules_[index].file; }
  const std::string& helpFile() const { return helpFile_; }
  int mainMenuId() const { return mainMenuId_; }
  int documentMenuId() const { return documentMenuId_; }

  // Resources of the current language; an empty text or null when it has none of that id.
  QString string(int id) const;
  const KurvanMenu* menu(int id) const;
  const KurvanDialog* dialog(int id) const;
  QString dialogText(int dialogId, int controlId) const;
  const KurvanToolBar* toolBar(int id) const;

  SelectDialogFn selectDialog() const { return select_; }
  void setSelectDialog(SelectDialogFn fn) { select_ = fn; }
  // Called after every change of the current language (the main frame rebuilds its menus,
  // bars and texts).
  void setListener(std::function<void()> listener) { listener_ = std::move(listener); }

 private:
  struct Module {
    void* handle = nullptr;
    const KurvanResourceTable* table = nullptr;
    std::string file;
  };
  Module modules_[KURVAN_LANGUAGES];
  int current_ = 0;
  int mainMenuId_ = 0;
  int documentMenuId_ = 0;
  std::string libraryPattern_;  // folder + base; the letter and ".so" follow
  std::string helpPattern_;
  std::string helpFile_;
  SelectDialogFn select_ = nullptr;
  std::function<void()> listener_;
};

// The program's one language manager.
CLanguageManager& KurvanLanguages();
