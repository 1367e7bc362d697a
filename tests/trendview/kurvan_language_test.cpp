// The viewer's language libraries: which language a start takes, the missing ones, and the
// language command with the selection dialog.
#include <gtest/gtest.h>

#include <QAction>
#include <QMenuBar>
#include <fstream>

#include "support/kurvan_fixture.h"
#include "support/qt_texts.h"
#include "trendview/kurvan_ids.h"
#include "trendview/language.h"
#include "trendview/main_frame.h"

namespace {

using kurvantest::KurvanTest;

class LanguageTest : public KurvanTest {
 protected:
  // The language stored in the program's private profile, read at start-up.
  void StoreStartLanguage(int language) {
    std::ofstream(configFolder + "/Kurvan.ini") << "[Settings]\nLanguage=" << language << "\n";
  }
};

TEST_F(LanguageTest, StartLanguageFromTheProfileOrTheFallbacks) {
  struct Case {
    std::vector<char> libraries;
    int stored;  // -1: none stored
    int expected;
    unsigned mask;
  } cases[] = {
      {{'g', 'e', 'f'}, -1, 0, 7},
      {{'g', 'e', 'f'}, 2, 2, 7},
      {{'g', 'e', 'f'}, 7, 0, 7},  // outside 0..5: the default language
      {{'g', 'e', 'f'}, 4, 0, 7},  // no library of its own
      {{'e'}, 0, 1, 2},            // only "e": index 1 whatever is stored
      {{'e'}, -1, 1, 2},
      {{'e', 'f'}, 0, 1, 6},
  };
  for (const Case& c : cases) {
    std::filesystem::remove(configFolder + "/Kurvan.ini");
    if (c.stored >= 0) StoreStartLanguage(c.stored);
    ASSERT_TRUE(Start("", ProgramWith(c.libraries)));
    EXPECT_EQ(KurvanLanguages().current(), c.expected) << c.stored;
    EXPECT_EQ(KurvanLanguages().mask(), c.mask) << c.stored;
    EXPECT_TRUE(boxes.empty());
  }
}

TEST_F(LanguageTest, NoLibraryEndsTheProgram) {
  EXPECT_FALSE(Start("", ProgramWith({})));
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0], "DLL-Error");
  EXPECT_EQ(app->mainFrame(), nullptr);
  // A path without a folder finds nothing either.
  CLanguageManager& lang = KurvanLanguages();
  CKurvanProfile profile;
  EXPECT_EQ(lang.Load(0, 128, nullptr, "Kurvan2", "Kurvan2", "Kurvan", profile), -1);
}

TEST_F(LanguageTest, ProgramNameWithOrWithoutExtension) {
  // The libraries are named from the base name given; the program's own name needs no
  // extension, and one is dropped.
  for (const char* name : {"Kurvan", "Kurvan.bin"}) {
    ASSERT_TRUE(Start("", ProgramWith({'g', 'e'}, name))) << name;
    EXPECT_EQ(KurvanLanguages().mask(), 3u) << name;
    EXPECT_NE(KurvanLanguages().moduleFile(1).find("/Kurvan2e.so"), std::string::npos);
    EXPECT_EQ(app->profile().appKey(), "Kurvan") << name;
  }
}

TEST_F(LanguageTest, SetLanguageRefusesWhatIsNotThere) {
  ASSERT_TRUE(Start("", ProgramWith({'g', 'e'})));
  CLanguageManager& lang = KurvanLanguages();
  EXPECT_EQ(lang.SetLanguage(-1), -1);
  EXPECT_EQ(lang.SetLanguage(6), -1);
  EXPECT_EQ(lang.SetLanguage(2), -1);  // no "f" library
  EXPECT_EQ(lang.current(), 0);
  EXPECT_EQ(lang.SetLanguage(1), 0);
  EXPECT_EQ(lang.current(), 1);
  EXPECT_EQ(lang.string(KURVAN_STR_IDLE), "Ready");
  EXPECT_NE(lang.helpFile().find("Kurvan2e.hlp"), std::string::npos);
}

struct FakeSelect {
  static inline int calls = 0;
  static inline unsigned mask = 0;
  static inline int offered = -1;
  static inline int answer = 0;  // the index chosen, -1 = cancelled
  static int Run(std::intptr_t, QWidget*, int* language, unsigned m) {
    ++calls;
    mask = m;
    offered = *language;
    if (answer < 0) return 0;
    *language = answer;
    return 1;
  }
};

TEST_F(LanguageTest, TheLanguageCommandSetsAndStoresTheChoice) {
  ASSERT_TRUE(Start(""));
  CLanguageManager& lang = KurvanLanguages();
  const auto real = lang.selectDialog();
  lang.setSelectDialog(&FakeSelect::Run);
  FakeSelect::calls = 0;
  FakeSelect::answer = 2;
  app->mainFrame()->command(KURVAN_CMD_LANGUAGE);
  EXPECT_EQ(FakeSelect::calls, 1);
  EXPECT_EQ(FakeSelect::mask, 7u);
  EXPECT_EQ(FakeSelect::offered, 0);
  EXPECT_EQ(lang.current(), 2);
  EXPECT_EQ(app->profile().getInt("Settings", "Language", -1), 2);

  // Cancelled: nothing changes.
  FakeSelect::answer = -1;
  app->mainFrame()->command(KURVAN_CMD_LANGUAGE);
  EXPECT_EQ(lang.current(), 2);

  // Without the selection dialog the command does nothing.
  lang.setSelectDialog(nullptr);
  FakeSelect::calls = 0;
  app->mainFrame()->command(KURVAN_CMD_LANGUAGE);
  EXPECT_EQ(FakeSelect::calls, 0);
  lang.setSelectDialog(real);
}

TEST_F(LanguageTest, MenusFollowTheLanguage) {
  ASSERT_TRUE(Start(""));
  CMainFrame* frame = app->mainFrame();
  ASSERT_NE(frame, nullptr);
  EXPECT_EQ(frame->shownMenu(), KURVAN_RES_MAIN_FRAME);
  EXPECT_EQ(frame->menuBar()->actions().first()->text(), "&Datei");
  ASSERT_EQ(KurvanLanguages().SetLanguage(2), 0);
  EXPECT_EQ(frame->menuBar()->actions().first()->text(), "&Fichier");
  EXPECT_EQ(frame->action(KURVAN_CMD_FILE_OPEN)->shortcut(), QKeySequence("Ctrl+O"));
  EXPECT_EQ(frame->windowTitle(), "Kurvan");
}

// Qt's own dialogs (files, print, preview) speak the program's language with its menus.
TEST_F(LanguageTest, QtDialogsSpeakTheProgramsLanguage) {
  ASSERT_TRUE(Start(""));
  EXPECT_EQ(qttexts::FileDialogButtons(QFileDialog::AcceptSave), (QStringList{"Abbrechen", "Speichern"}));
  EXPECT_EQ(qttexts::FileDialogButtons(QFileDialog::AcceptOpen), (QStringList{"Abbrechen", "\u00d6ffnen"}));
  ASSERT_EQ(KurvanLanguages().SetLanguage(1), 0);
  EXPECT_EQ(qttexts::FileDialogButtons(QFileDialog::AcceptSave), (QStringList{"Cancel", "Save"}));
  ASSERT_EQ(KurvanLanguages().SetLanguage(2), 0);
  EXPECT_EQ(qttexts::FileDialogButtons(QFileDialog::AcceptSave), (QStringList{"Annuler", "Enregistrer"}));
  ASSERT_EQ(KurvanLanguages().SetLanguage(0), 0);
}

}  // namespace
