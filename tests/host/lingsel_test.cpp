// The language-selection dialog: the languages offered, the one preselected, OK and Cancel.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QListWidget>
#include <QTimer>
#include <functional>

#include "host/lingsel.h"
#include "support/qt_texts.h"

// Under LeakSanitizer: the font and desktop-bus libraries keep a few allocations until the
// process ends.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\nleak:libdbus-1.so\n"; }

namespace {

QApplication* App() {
  static int argc = 1;
  static char name[] = "lingsel_tests";
  static char* argv[] = {name, nullptr};
  static QApplication* app = new QApplication(argc, argv);
  return app;
}

struct Seen {
  std::vector<int> offered;
  int selected = -1;
};

// Runs the dialog; `act` gets its list while it is open and ends it (true = OK).
int RunDialog(int* language, unsigned mask, Seen* seen, const std::function<bool(QListWidget*)>& act) {
  App();
  QTimer::singleShot(0, [&] {
    auto* dlg = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (!dlg) return;
    auto* list = dlg->findChild<QListWidget*>(LINGSEL_LIST_NAME);
    for (int i = 0; list && i < list->count(); ++i) seen->offered.push_back(list->item(i)->data(Qt::UserRole).toInt());
    seen->selected = list && list->currentItem() ? list->currentItem()->data(Qt::UserRole).toInt() : -1;
    if (list && act(list))
      dlg->accept();
    else
      dlg->reject();
  });
  return LanguageSelectDialog(0, nullptr, language, mask);
}

TEST(Lingsel, OffersTheMaskedLanguagesAndReturnsTheChoice) {
  Seen seen;
  int language = 2;
  EXPECT_EQ(RunDialog(&language, 7 | 64, &seen, [](QListWidget* l) {
              l->setCurrentRow(1);
              return true;
            }),
            1);
  EXPECT_EQ(seen.offered, (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(seen.selected, 2);
  EXPECT_EQ(language, 1);
  EXPECT_STREQ(LingselLanguageName(2), "Fran\u00e7ais");
  EXPECT_EQ(LingselLanguageName(6), nullptr);
}

TEST(Lingsel, CancelOrNothingToOfferKeepsTheLanguage) {
  Seen seen;
  int language = 3;  // not offered: the first one offered is preselected
  EXPECT_EQ(RunDialog(&language, 0x22, &seen, [](QListWidget*) { return false; }), 0);
  EXPECT_EQ(seen.offered, (std::vector<int>{1, 5}));
  EXPECT_EQ(seen.selected, 1);
  EXPECT_EQ(language, 3);

  // No language offered, or nowhere to put the choice: no dialog at all.
  App();
  EXPECT_EQ(LanguageSelectDialog(0, nullptr, &language, 0), 0);
  EXPECT_EQ(LanguageSelectDialog(0, nullptr, nullptr, 7), 0);
  EXPECT_EQ(language, 3);
}

// Qt's own dialogs follow the language: a file dialog's buttons, back to English and on.
TEST(Lingsel, QtDialogsSpeakTheLanguage) {
  App();
  const struct {
    int language;
    bool inUse;
    QStringList open, save;
  } cases[] = {
      {0, true, {"Abbrechen", "\u00d6ffnen"}, {"Abbrechen", "Speichern"}},
      {2, true, {"Annuler", "Ouvrir"}, {"Annuler", "Enregistrer"}},
      {1, true, {"Cancel", "Open"}, {"Cancel", "Save"}},
      {0, true, {"Abbrechen", "\u00d6ffnen"}, {"Abbrechen", "Speichern"}},
      {0, true, {"Abbrechen", "\u00d6ffnen"}, {"Abbrechen", "Speichern"}},  // again: nothing changes
      {7, false, {"Cancel", "Open"}, {"Cancel", "Save"}},                   // no such language: Qt's own
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.language);
    EXPECT_EQ(LingselUseQtTexts(c.language), c.inUse);
    EXPECT_EQ(qttexts::FileDialogButtons(QFileDialog::AcceptOpen), c.open);
    EXPECT_EQ(qttexts::FileDialogButtons(QFileDialog::AcceptSave), c.save);
  }
  EXPECT_STREQ(LingselQtCode(5), "nl");
  EXPECT_EQ(LingselQtCode(-1), nullptr);
}

}  // namespace
