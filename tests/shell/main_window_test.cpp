// The main window as the user meets it: the title, the menu commands in the three languages,
// the save prompt, projects that cannot be opened, dropped files, the views, the help and info
// commands, and the communication view. Offscreen Qt, settings in a temporary folder, a
// firmware that only hands its images back, and a recorder that answers the message boxes.
#include <gtest/gtest.h>

#include <QAction>
#include <QDialog>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QUrl>
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "host/ini_file.h"
#include "host/lingsel.h"
#include "runtime/fw_image.h"
#include "shell/com_channel.h"
#include "shell/firmware_link.h"
#include "shell/main_window.h"
#include "shell/project.h"
#include "shell/script.h"
#include "shell/settings.h"
#include "shell/shell_dialogs.h"
#include "shell/shell_texts.h"
#include "shell/shell_ui.h"
#include "shell/shell_util.h"
#include "shell/sim_loop.h"
#include "simlayer/SIM.h"
#include "support/config_folder.h"
#include "support/qt_texts.h"
#include "support/shell_app.h"
#include "support/test_env.h"

namespace {

namespace fs = std::filesystem;

// The firmware hands its images back as they stand.
int g_ticks;
const SimFirmwareAdapter kImagesBack = {
    [] {}, [] {},
    [] {
      ++g_ticks;
      SimState().saveRequest = 0;
    },
    [](uint32_t) {}};

// An I/O view: a window that counts the messages the main window sends it.
struct StandInView : QWidget, SimMessageTarget {
  std::vector<int> seen;
  intptr_t send(int id, intptr_t, intptr_t) override {
    seen.push_back(id);
    return 0;
  }
  int count(int id) const { return static_cast<int>(std::count(seen.begin(), seen.end(), id)); }
};

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ShellTestApp();
    g_ticks = 0;
    SimSetFirmware(&kImagesBack);
    std::memset(&SimState(), 0, sizeof(SimHostState));
    root = config.emplace("simwin").root();
    ASSERT_EQ(SimInitIni(SimState()), 0);
    SimAttachProjectBuffers(SimState());
    SimState().language = 1;
    SimTheSettings() = SimReadSettings();
    SimRecentLoad(SimIniPath());
    SimLoadProject(nullptr);
    SimSetProjectName("");
  }
  void TearDown() override {
    SimSetFirmware(nullptr);
    config.reset();
  }
  // The four I/O views, owned by the window.
  std::vector<StandInView*> AddViews(SimMainWindow& w) {
    std::vector<StandInView*> views;
    for (int i = 0; i < SIM_VIEW_IO_COUNT; ++i) {
      auto* v = new StandInView;
      v->resize(120, 80);
      w.setView(SIM_VIEW_IO_FIRST + i, v);
      views.push_back(v);
    }
    return views;
  }
  long Ini(const char* key) { return host::IniGetInt(SimIniPath(), "Settings", key, -1); }
  fs::path root;
  std::optional<ScopedConfigFolder> config;  // XDG_CONFIG_HOME while the test runs
  BoxRecorder boxes{SIM_BOX_NO};
};

// --- Title ------------------------------------------------------------------------------------

TEST_F(WindowTest, TheTitleNamesTheOperatingVersionAndTheProjectInTheLanguage) {
  SimMainWindow w;
  w.newProject();
  EXPECT_EQ(w.windowTitle().toStdString(), "Simulation SIM/MX74-2 (OP 4) - (NEW)");
  const struct {
    int language;
    const char* project;
    const char* title;
  } cases[] = {
      {0, "", "Simulation SIM/MX74-2 (BV 4) - (NEU)"},
      {2, "", "Simulation SIM/MX74-2 (VU 4) - (NOUVEAU)"},
      {1, "/data/Plant 3/my project.sdg", "Simulation SIM/MX74-2 (OP 4) - MY PROJECT.SDG"},
      {1, "/data/other.sdg*", "Simulation SIM/MX74-2 (OP 4) - OTHER.SDG"},
  };
  for (const auto& c : cases) {
    SimState().language = static_cast<uint16_t>(c.language);
    SimSetProjectName(c.project);
    w.refreshTitle();
    EXPECT_EQ(w.windowTitle().toStdString(), c.title);
  }
  EXPECT_STREQ(SimState().projectName, "/data/other.sdg*") << "the name itself keeps its case";
}

TEST_F(WindowTest, CtrlPAndCtrlTMarkTheTitleAlsoWhileAnIoViewHasTheFocus) {
  SimControl control;
  SimSetTheControl(&control);
  SimMainWindow w;
  w.newProject();
  w.show();
  auto* view = new QLineEdit;
  w.setView(SIM_VIEW_IO_FIRST, view);
  view->show();
  QApplication::setActiveWindow(view);
  view->setFocus();
  QApplication::processEvents();
  QTest::keyClick(view, Qt::Key_P, Qt::ControlModifier);
  EXPECT_EQ(w.windowTitle().toStdString(), "Simulation SIM/MX74-2 (OP 4) - (NEW)  [Pause]");
  QTest::keyClick(view, Qt::Key_T, Qt::ControlModifier);
  EXPECT_EQ(w.windowTitle().toStdString(), "Simulation SIM/MX74-2 (OP 4) - (NEW)  [Pause]  [Turbo]");
  EXPECT_TRUE(w.action(SIM_CMD_PAUSE)->isChecked());
  EXPECT_TRUE(view->text().isEmpty()) << "the keys went to the commands, not into the view";
  QTest::keyClick(view, Qt::Key_P, Qt::ControlModifier);
  QTest::keyClick(view, Qt::Key_T, Qt::ControlModifier);
  EXPECT_EQ(SimState().pauseCount, 0);
  EXPECT_EQ(SimState().turbo, 0);
  SimSetTheControl(nullptr);
}

// --- Save prompt ------------------------------------------------------------------------------

TEST_F(WindowTest, NewAsksBeforeAChangedProjectIsLost) {
  SimMainWindow w;
  w.newProject();
  SimState().data[100] ^= 0x5A;
  const uint8_t changed = SimState().data[100];
  SimState().reloadRequest = 0;

  // Cancel keeps everything.
  boxes.answers = {SIM_BOX_CANCEL};
  w.command(SIM_CMD_NEW);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, "(NEW)\nwas changed.\n\nWould you like to save the changes?");
  EXPECT_EQ(boxes.boxes[0].caption, "Simulation SIM/MX74-2");
  EXPECT_EQ(boxes.boxes[0].style, SIM_BOX_WARNING_YES_NO_CANCEL);
  EXPECT_EQ(SimState().data[100], changed);
  EXPECT_EQ(SimState().reloadRequest, 0);

  // Yes on the demo project asks for a name; cancelling that keeps everything as well.
  boxes.answers = {SIM_BOX_YES};
  std::string title;
  OnNextModal([](QWidget* d) { static_cast<QDialog*>(d)->reject(); }, &title);
  w.command(SIM_CMD_NEW);
  EXPECT_EQ(title, "Save As");
  EXPECT_EQ(SimState().data[100], changed);
  EXPECT_EQ(SimState().reloadRequest, 0);

  // No goes on without writing anything.
  boxes.answers = {SIM_BOX_NO};
  w.command(SIM_CMD_NEW);
  EXPECT_EQ(SimState().reloadRequest, 1);
  EXPECT_NE(SimState().data[100], changed);
  for (const auto& e : fs::recursive_directory_iterator(root)) EXPECT_NE(e.path().extension(), ".sdg") << e.path();
  // The new project is unchanged: no question.
  const size_t asked = boxes.boxes.size();
  w.command(SIM_CMD_NEW);
  EXPECT_EQ(boxes.boxes.size(), asked);
}

TEST_F(WindowTest, YesSavesANamedProjectIntoItsFile) {
  SimMainWindow w;
  const std::string path = (root / "Plant.sdg").string();
  ASSERT_EQ(w.saveProject(path, true), 1);
  SimState().data[100] = 0x77;
  boxes.answers = {SIM_BOX_YES};
  w.command(SIM_CMD_NEW);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, path + "\nwas changed.\n\nWould you like to save the changes?");
  std::ifstream in(path, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const size_t data = 0x2000C;  // after the engineering section and the data section's length
  ASSERT_GT(bytes.size(), data + 100);
  EXPECT_EQ(static_cast<uint8_t>(bytes[data + 100]), 0x77);
  EXPECT_FALSE(SimProjectHasName()) << "then New went on";
}

// --- Restart ---------------------------------------------------------------------------------

// A restart whose restart project cannot be written (its name in the settings folder is
// taken): the engineering the firmware handed back (a download's) is not thrown away. The
// program goes on, the firmware starts again with it, the user is told on the error output and
// in "SimError.log", and the project counts as changed, so that the question offers to save it.
TEST_F(WindowTest, ARestartThatCannotWriteItsProjectKeepsTheEngineering) {
  SimMainWindow w;
  fs::create_directory(SimRestartProjectPath() + ".tmp");
  std::memcpy(g_fwImage, SimState().engineering, SIM_ENGINEERING_SIZE);
  g_fwImage[0x1000] ^= 0xA5;  // the downloaded engineering
  const uint8_t downloaded = g_fwImage[0x1000];
  SIM_ShowErrorBoxes(0);
  std::remove("SimError.log");
  SIM_CloseErrorLog();
  testing::internal::CaptureStderr();
  SimRequestRestart();  // the images back from the firmware, then the shell's restart
  w.send(SIM_MSG_RESTART, 1, 0);
  const std::string err = testing::internal::GetCapturedStderr();
  SIM_CloseErrorLog();
  SIM_ShowErrorBoxes(1);
  EXPECT_FALSE(SimProcessRestartRequested());
  EXPECT_EQ(SimState().endFlag, 0);
  EXPECT_EQ(SimState().reloadRequest, 1);
  EXPECT_EQ(SimState().engineering[0x1000], downloaded);
  EXPECT_FALSE(fs::exists(SimRestartProjectPath()));
  EXPECT_NE(err.find("The restart project"), std::string::npos) << err;
  std::ifstream log("SimError.log", std::ios::binary);
  const std::string logged((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
  EXPECT_NE(logged.find("The restart project " + SimRestartProjectPath()), std::string::npos) << logged;
  EXPECT_TRUE(SimProjectChanged());
  boxes.answers = {SIM_BOX_CANCEL};
  w.command(SIM_CMD_NEW);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, "(NEW)\nwas changed.\n\nWould you like to save the changes?");
  fs::remove_all(SimRestartProjectPath() + ".tmp");
}

// --- Opening --------------------------------------------------------------------------------

TEST_F(WindowTest, AProjectThatCannotBeOpenedSaysWhyAndLeavesTheDemo) {
  SimMainWindow w;
  const std::string good = (root / "good.sdg").string(), other = (root / "Other Firmware.sdg").string();
  ASSERT_EQ(SimSaveProject(good.c_str()), 1);
  fs::copy_file(good, other);
  {
    std::fstream f(other, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(8 + 14);  // the engineering image's identification
    f.put('9');
  }
  const struct {
    std::string path;
    const char* text;
  } cases[] = {
      {other, "The file %s requires a different firmware version!"},
      {(root / "missing.sdg").string(), "The file %s could not be read!"},
      {(root / (std::string(300, 'n') + ".sdg")).string(), "The file %s could not be read!"},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(w.openProject(good), SIM_PROJECT_LOADED);
    boxes.boxes.clear();
    EXPECT_NE(w.openProject(c.path), SIM_PROJECT_LOADED) << c.path;
    ASSERT_EQ(boxes.boxes.size(), 1u) << c.path;
    std::string text = c.text;
    text.replace(text.find("%s"), 2, c.path);
    EXPECT_EQ(boxes.boxes[0].text, text);
    EXPECT_EQ(boxes.boxes[0].caption, "Simulation SIM/MX74-2");
    EXPECT_TRUE(SimProjectIsDemo()) << c.path;
    EXPECT_TRUE(w.windowTitle().endsWith("(NEW)"));
  }
}

TEST_F(WindowTest, ADroppedProjectOpensAfterTheSavePrompt) {
  SimMainWindow w;
  w.show();
  auto drop = [&](const std::string& path) {
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(path))});
    // The drop goes where the drag was taken in.
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&w, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent e(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&w, &e);
    QApplication::processEvents();
  };
  const std::string first = (root / "Dropped Plant.sdg").string(), second = (root / "second.sdg").string();
  ASSERT_EQ(SimSaveProject(first.c_str()), 1);
  ASSERT_EQ(SimSaveProject(second.c_str()), 1);
  drop(first);
  EXPECT_STREQ(SimState().projectName, first.c_str());
  EXPECT_TRUE(w.windowTitle().endsWith("DROPPED PLANT.SDG"));
  EXPECT_TRUE(boxes.boxes.empty());

  SimState().data[7] ^= 1;
  boxes.answers = {SIM_BOX_CANCEL};
  drop(second);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, first + "\nwas changed.\n\nWould you like to save the changes?");
  EXPECT_STREQ(SimState().projectName, first.c_str()) << "Cancel keeps the project";

  boxes.answers = {SIM_BOX_NO};
  drop(second);
  EXPECT_STREQ(SimState().projectName, second.c_str());
}

// --- Views ----------------------------------------------------------------------------------

TEST_F(WindowTest, CommunicationWaitsForTheIoViews) {
  SimMainWindow w;
  w.show();
  std::vector<StandInView*> views = AddViews(w);
  w.createCommView();
  SimState().ioViewsShown = 0;
  SimState().commViewShown = 1;
  SimShowViews(&w);
  EXPECT_FALSE(w.action(SIM_CMD_VIEW_COMM)->isEnabled());
  EXPECT_TRUE(w.action(SIM_CMD_VIEW_COMM)->isChecked());
  EXPECT_FALSE(w.commView()->isVisible()) << "hidden even with its own flag set";
  EXPECT_FALSE(views[0]->isVisible());
  EXPECT_EQ(Ini("ViewIO"), 0);

  w.command(SIM_CMD_VIEW_IO);
  EXPECT_TRUE(w.action(SIM_CMD_VIEW_IO)->isChecked());
  EXPECT_TRUE(w.action(SIM_CMD_VIEW_COMM)->isEnabled());
  EXPECT_TRUE(w.commView()->isVisible());
  for (StandInView* v : views) {
    EXPECT_TRUE(v->isVisible());
    EXPECT_GT(v->x(), w.frameGeometry().right()) << "beside the main window";
  }
  EXPECT_LT(views[0]->y(), views[1]->y());
  EXPECT_EQ(Ini("ViewIO"), 1);

  w.command(SIM_CMD_VIEW_COMM);
  EXPECT_FALSE(w.commView()->isVisible());
  EXPECT_EQ(SimState().commViewShown, 0);
  w.command(SIM_CMD_VIEW_COMM);
  w.commView()->reject();  // its own frame closes it
  EXPECT_EQ(SimState().commViewShown, 0);
  EXPECT_FALSE(w.action(SIM_CMD_VIEW_COMM)->isChecked());

  // The cycle's messages reach the views: every cycle without Turbo, every tenth with it.
  SimState().cycleCount = 0;
  w.send(SIM_MSG_PRECYCLE, 0, 0);
  w.send(SIM_MSG_POSTCYCLE, 0, 0);
  SimState().turbo = 1;
  for (int i = 0; i < 10; ++i) {
    w.send(SIM_MSG_PRECYCLE, 0, 0);
    w.send(SIM_MSG_POSTCYCLE, 0, 0);
  }
  SimState().turbo = 0;
  EXPECT_EQ(views[2]->count(SIM_MSG_IO_TAKE), 11);
  EXPECT_EQ(views[2]->count(SIM_MSG_IO_REFRESH), 2);
}

TEST_F(WindowTest, AChosenLanguageRenamesMenusViewsAndTitleAndRestartsTheFirmware) {
  SimMainWindow w;
  std::vector<StandInView*> views = AddViews(w);
  w.createCommView();
  SimState().pauseCount = 0x7FFFFFFF;
  w.syncMarks();
  SimState().reloadRequest = 0;
  std::vector<int> offered;
  OnNextModal([&](QWidget* d) {
    auto* list = d->findChild<QListWidget*>(LINGSEL_LIST_NAME);
    for (int i = 0; i < list->count(); ++i) offered.push_back(list->item(i)->data(Qt::UserRole).toInt());
    list->setCurrentRow(2);
    static_cast<QDialog*>(d)->accept();
  });
  w.command(SIM_CMD_LANGUAGE);
  QApplication::processEvents();
  EXPECT_EQ(offered, (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(SimState().language, 2);
  EXPECT_EQ(SimState().reloadRequest, 1);
  EXPECT_EQ(Ini("Language"), 2);
  EXPECT_EQ(w.menu(SIM_MENU_FILE)->title().toStdString(), "&Fichier");
  EXPECT_EQ(w.action(SIM_CMD_NEW)->text().toStdString(), "&Nouveau\tCtrl+N");
  EXPECT_EQ(w.action(SIM_CMD_SAVE_AS)->text().toStdString(), "Enregistrer &sous...");
  EXPECT_TRUE(w.action(SIM_CMD_PAUSE)->isChecked()) << "the marks come back with the new menu";
  EXPECT_TRUE(w.windowTitle().startsWith("Simulation SIM/MX74-2 (VU 4) - (NOUVEAU)"));
  const char* captions[] = {"Modules Slot A", "Modules Slot P", "Modules Slot B", "Modules Slot C"};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(views[static_cast<size_t>(i)]->windowTitle().toStdString(), captions[i]);
    EXPECT_EQ(views[static_cast<size_t>(i)]->count(SIM_WM_INITDIALOG), 1) << "laid out anew";
  }
  EXPECT_EQ(w.commView()->sendButton()->text().toStdString(), "&Envoyer");
  SimState().pauseCount = 0;
  // Qt's own dialogs follow the program's language.
  EXPECT_EQ(qttexts::FileDialogButtons(QFileDialog::AcceptSave), (QStringList{"Annuler", "Enregistrer"}));
  SimState().language = 0;
  SimLanguageTexts(&w);
  EXPECT_EQ(qttexts::FileDialogButtons(QFileDialog::AcceptSave), (QStringList{"Abbrechen", "Speichern"}));
  EXPECT_EQ(qttexts::FileDialogButtons(QFileDialog::AcceptOpen), (QStringList{"Abbrechen", "\u00d6ffnen"}));
  SimState().language = 2;
  SimLanguageTexts(&w);

  // Cancel changes nothing.
  SimState().reloadRequest = 0;
  OnNextModal([](QWidget* d) { static_cast<QDialog*>(d)->reject(); });
  w.command(SIM_CMD_LANGUAGE);
  EXPECT_EQ(SimState().language, 2);
  EXPECT_EQ(SimState().reloadRequest, 0);
  SimState().language = 1;
  SimLanguageTexts(&w);
  EXPECT_EQ(qttexts::FileDialogButtons(QFileDialog::AcceptSave), (QStringList{"Cancel", "Save"}));
}

// --- Where the views go ----------------------------------------------------------------------

// Beside the window as far as the screen allows: its right, its left, or pushed into the
// screen; a column too tall for the screen goes on in a next one; the views under the window
// stay on the screen too.
TEST(ViewPlaces, TheViewsStayOnTheScreen) {
  const QRect screen(0, 0, 1600, 1200);
  const std::vector<QSize> io = {{300, 200}, {300, 160}, {320, 240}, {300, 200}};  // A, P, B, C
  const std::vector<QSize> under = {{450, 120}};
  enum Side { kRight, kLeft, kPushed };
  const struct {
    const char* what;
    QRect area, window;
    std::vector<QSize> column;
    Side side;
    int columns;
  } cases[] = {
      {"room at the right", screen, {100, 100, 446, 480}, io, kRight, 1},
      {"panel at the right edge", screen, {1150, 100, 446, 480}, io, kLeft, 1},
      {"panel at the bottom right", screen, {1150, 900, 446, 480}, io, kLeft, 1},
      {"no room on either side", {0, 0, 800, 1200}, {200, 0, 446, 480}, io, kPushed, 1},
      {"a low screen: two columns", {0, 0, 1600, 500}, {100, 0, 446, 480}, io, kRight, 2},
      {"smaller than the panel and one view", {0, 0, 500, 400}, {0, 0, 446, 480}, {{300, 200}}, kPushed, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const SimViewPlaces places = SimPlaceViews(c.window, c.area, c.column, under, 4);
    ASSERT_EQ(places.column.size(), c.column.size());
    ASSERT_EQ(places.below.size(), under.size());
    std::vector<int> lefts;
    for (size_t i = 0; i < c.column.size(); ++i) {
      const QRect r(places.column[i], c.column[i]);
      if (c.column[i].width() <= c.area.width() && c.column[i].height() <= c.area.height())
        EXPECT_TRUE(c.area.contains(r)) << i;
      if (c.side == kRight) EXPECT_GT(r.left(), c.window.right()) << i;
      if (c.side == kLeft) EXPECT_LT(r.right(), c.window.left()) << i;
      if (std::find(lefts.begin(), lefts.end(), r.left()) == lefts.end()) lefts.push_back(r.left());
      // No two views of the column overlap.
      for (size_t j = 0; j < i; ++j) EXPECT_FALSE(r.intersects(QRect(places.column[j], c.column[j]))) << i << " " << j;
    }
    EXPECT_EQ(static_cast<int>(lefts.size()), c.columns);
    const QRect below(places.below[0], under[0]);
    if (under[0].height() <= c.area.height()) EXPECT_TRUE(c.area.contains(below));
  }
  // The order down the column is kept: A above P above B.
  const SimViewPlaces right = SimPlaceViews({100, 100, 446, 480}, screen, io, {}, 4);
  EXPECT_EQ(right.column[0], QPoint(550, 100));
  EXPECT_EQ(right.column[1], QPoint(550, 304));
  EXPECT_LT(right.column[2].y(), right.column[3].y());
}

// A remembered placement that lies on no present screen comes back onto one; one that can
// still be taken by its top stays.
TEST(ViewPlaces, APlacementOffEveryScreenComesBack) {
  const QList<QRect> screens = {QRect(0, 0, 1600, 1200), QRect(1600, 0, 1280, 1024)};
  const struct {
    QRect stored, expected;
  } cases[] = {
      {{100, 100, 446, 480}, {100, 100, 446, 480}},
      {{2000, 200, 446, 480}, {2000, 200, 446, 480}},    // on the second screen
      {{3500, 200, 446, 480}, {1154, 200, 446, 480}},    // a screen that is gone
      {{-900, -700, 446, 480}, {0, 0, 446, 480}},
      {{1500, 1190, 446, 480}, {1500, 1190, 446, 480}},  // its top still on the first one
      {{300, 1300, 446, 480}, {300, 720, 446, 480}},
      {{-20, 5000, 2000, 1500}, {0, 0, 2000, 1500}},     // bigger than the screen: its top left
  };
  for (const auto& c : cases) EXPECT_EQ(SimOntoScreens(c.stored, screens), c.expected) << c.stored.x() << "," << c.stored.y();
  EXPECT_EQ(SimOntoScreens(QRect(5000, 5000, 10, 10), {}), QRect(5000, 5000, 10, 10)) << "no screen: left alone";
}

// The main window at its screen's right edge: the views come up inside the screen.
TEST_F(WindowTest, TheViewsOfAWindowAtTheScreensEdgeStayOnTheScreen) {
  SimMainWindow w;
  w.show();
  std::vector<StandInView*> views = AddViews(w);
  QScreen* screen = w.screen();
  ASSERT_NE(screen, nullptr);
  const QRect area = screen->availableGeometry();
  w.move(area.right() + 1 - w.frameGeometry().width(), area.top());
  SimState().ioViewsShown = 1;
  SimShowViews(&w);
  for (StandInView* v : views) {
    ASSERT_TRUE(v->isVisible());
    EXPECT_TRUE(area.contains(v->frameGeometry())) << v->frameGeometry().x() << "," << v->frameGeometry().y();
  }
}

// --- Options, help and info -----------------------------------------------------------------

TEST_F(WindowTest, OptionsToggleTheirMarksAndAChangedDeviceReloadsTheFirmware) {
  SimMainWindow w;
  ASSERT_EQ(SimTheSettings().autoLoad, 1);
  EXPECT_TRUE(w.action(SIM_CMD_AUTOLOAD)->isChecked());
  w.command(SIM_CMD_AUTOLOAD);
  EXPECT_EQ(SimTheSettings().autoLoad, 0);
  EXPECT_FALSE(w.action(SIM_CMD_AUTOLOAD)->isChecked());
  w.command(SIM_CMD_TOPMOST);
  EXPECT_EQ(SimTheSettings().topmost, 1);
  EXPECT_EQ(Ini("Topmost"), 1);
  EXPECT_TRUE(w.action(SIM_CMD_TOPMOST)->isChecked());
  EXPECT_TRUE(w.windowFlags() & Qt::WindowStaysOnTopHint);
  w.command(SIM_CMD_TOPMOST);
  EXPECT_EQ(Ini("Topmost"), 0);
  EXPECT_FALSE(w.windowFlags() & Qt::WindowStaysOnTopHint);

  // The dialogs come with their own part: without it their items are greyed.
  EXPECT_FALSE(w.action(SIM_CMD_DEVICE)->isEnabled());
  EXPECT_FALSE(w.action(SIM_CMD_MODULES)->isEnabled());
  bool changed = false;
  int asked = 0;
  SimMainWindowHooks hooks;
  hooks.deviceDialog = [&](QWidget* owner) {
    EXPECT_EQ(owner, &w);
    ++asked;
    return changed;
  };
  hooks.moduleDialog = hooks.deviceDialog;
  w.setHooks(hooks);
  for (int id : {SIM_CMD_DEVICE, SIM_CMD_MODULES}) {
    EXPECT_TRUE(w.action(id)->isEnabled());
    for (bool c : {false, true}) {
      changed = c;
      SimState().reloadRequest = 0;
      w.command(id);
      EXPECT_EQ(SimState().reloadRequest, c ? 1 : 0) << id;
    }
  }
  EXPECT_EQ(asked, 4);
  // The trend items are there for the trend binding, but not shown yet.
  for (int id : {SIM_CMD_TREND_FAST, SIM_CMD_TREND_MEDIUM, SIM_CMD_TREND_SLOW, SIM_CMD_TREND_L1READ, SIM_CMD_TREND_SETTINGS}) {
    ASSERT_NE(w.action(id), nullptr) << id;
    EXPECT_FALSE(w.action(id)->isVisible()) << id;
  }
}

TEST_F(WindowTest, IndexWithoutItsDocumentNamesTheDocument) {
  SimMainWindow w;
  SimSetProgramFolder(QString::fromStdString(root.string()));
  w.command(SIM_CMD_INDEX);
  SimState().language = 0;
  w.command(SIM_CMD_INDEX);
  SimSetProgramFolder(QString());
  ASSERT_EQ(boxes.boxes.size(), 2u);
  EXPECT_EQ(boxes.boxes[0].text, "Error while opening the file!\n\n" + root.string() + "/DOK/MX74-2bae.pdf");
  EXPECT_EQ(boxes.boxes[1].text, "Fehler beim \u00d6ffnen der Datei!\n\n" + root.string() + "/DOK/MX74-2bag.pdf");
}

TEST_F(WindowTest, TheInfoBoxShowsTheFirmwaresAndTheProgramsVersions) {
  SimMainWindow w;
  SimState().firmwareMajor = 4;
  SimState().firmwareMinor = 2;
  QStringList texts;
  std::string caption;
  OnNextModal(
      [&](QWidget* d) {
        auto* info = dynamic_cast<SimInfoDialog*>(d);
        ASSERT_NE(info, nullptr);
        texts = info->texts();
        info->send(2, 0, 0);
      },
      &caption);
  EXPECT_EQ(w.send(SIM_MSG_INFO, 0, 0), 1);
  EXPECT_EQ(caption, "SIM/MX74-2 - Info");
  EXPECT_TRUE(texts.contains("Version 4.02")) << texts.join('|').toStdString();
  EXPECT_TRUE(texts.contains("Version 1.0 SR1")) << texts.join('|').toStdString();
  EXPECT_TRUE(texts.contains("Controller MX74-2"));
}

// --- Communication view ---------------------------------------------------------------------

TEST_F(WindowTest, TheCommunicationViewSendsItsRequestUnlessAScriptPlays) {
  SimMainWindow w;
  w.createCommView();
  SimCommView* v = w.commView();
  char frame[SIM_TEXT_SIZE];
  uint16_t length = 0;
  v->requestEdit()->setText("18");
  v->sendButton()->click();
  ASSERT_EQ(SimComPollRequest(frame, sizeof frame, &length), 1);
  EXPECT_EQ(std::string(frame, length), std::string("\x04" "0018\x05"));
  const char answer[] = "\x02" "18=23,15\x03" "x";
  SimComPostResponse(answer, sizeof answer - 1);
  EXPECT_EQ(v->responseEdit()->text().toStdString(), "18=23,15") << "the channel shows the answer";

  const std::string script = (root / "play.txt").string();
  std::ofstream(script) << "wait 100\n";
  ASSERT_TRUE(SimScriptPlay(script));
  v->sendButton()->click();
  EXPECT_EQ(SimComPollRequest(frame, sizeof frame, &length), 0);
  SimScriptClose();
  EXPECT_EQ(v->requestEdit()->maxLength(), 1023);
}

// --- Program version --------------------------------------------------------------------------

TEST(ProgramVersion, BetaWithoutServiceReleaseElseTheServiceRelease) {
  const struct {
    const char* version;
    uint32_t number;
    const char* text;
  } cases[] = {
      {"2.1.5.0", 0x02010500u, "2.1.5 Beta"}, {"2.1.5.3", 0x02010503u, "2.1 SR3"},
      {"255.0.0.255", 0xFF0000FFu, "255.0 SR255"}, {"", 0, "(none)"},
      {"2.1.5", 0, "(none)"}, {"2.1.5.256", 0, "(none)"}, {"2.1.x.0", 0, "(none)"}, {"2.1.5.0.1", 0, "(none)"},
  };
  for (const auto& c : cases) {
    std::string text = "(none)";
    EXPECT_EQ(SimProgramVersionOf(c.version, &text), c.number) << c.version;
    EXPECT_EQ(text, c.text) << c.version;
  }
  EXPECT_EQ(SimProgramVersionOf("1.0.0.1", nullptr), 0x01000001u);
  EXPECT_EQ(SimProgramVersionOf(nullptr, nullptr), 0u);
}

// --- Splash -----------------------------------------------------------------------------------

TEST(Splash, APictureThatIsMissingOrTooSmallGivesNoSplash) {
  ShellTestApp();
  const fs::path small = fs::path(testenv::FreshFolder("splash")) / "small.png";
  QImage(349, 250, QImage::Format_RGB32).save(QString::fromStdString(small.string()));
  EXPECT_FALSE(SimSplash(QString::fromStdString(small.string()), 100, "1.0", true));
  EXPECT_FALSE(SimSplash(":/assets/none.png", 100, "1.0", true));
  EXPECT_EQ(SimSplashWindow(), nullptr);
  fs::remove(small);

  QElapsedTimer t;
  t.start();
  ASSERT_TRUE(SimSplash(SIM_SPLASH_BITMAP, 150, "1.0 SR1", true));
  ASSERT_NE(SimSplashWindow(), nullptr);
  EXPECT_GE(SimSplashWindow()->width(), SIM_SPLASH_MIN_WIDTH + 2);
  EXPECT_TRUE(SimSplash(SIM_SPLASH_BITMAP, 150, QString(), false));
  EXPECT_GE(t.elapsed(), 150) << "closed after its time";
  EXPECT_EQ(SimSplashWindow(), nullptr);
}

}  // namespace
