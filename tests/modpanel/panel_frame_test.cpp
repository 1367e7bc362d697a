// The module panel's application and frame: the title from the command line, the context
// menu and About box, the version text, the position kept per title, the messages of the
// endpoint, and the close.
#include <gtest/gtest.h>

#include <QLabel>
#include <QMenu>
#include <QScreen>
#include <QSettings>
#include <QTimer>
#include <fstream>

#include "modpanel/tq500_app.h"
#include "modpanel/version_text.h"
#include "support/modpanel_fixture.h"

namespace {

using paneltest::PanelTest;

class FrameTest : public PanelTest {
 protected:
  void StorePosition(const std::string& title, int x, int y) {
    QSettings s(CMainFrame::SettingsFile(), QSettings::IniFormat);
    s.setValue(QString::fromLatin1(("Settings/WindowPos." + title + ".x").c_str()), x);
    s.setValue(QString::fromLatin1(("Settings/WindowPos." + title + ".y").c_str()), y);
    s.sync();
  }
  QSize Screen() { return QGuiApplication::primaryScreen()->geometry().size(); }
};

TEST_F(FrameTest, TheTitleIsTheWholeCommandLineOrTQ500) {
  {
    CTQ500App app("/opt/sim/tq500");
    ASSERT_TRUE(app.InitInstance("", TQ500_SW_HIDE));
    EXPECT_EQ(app.frame()->title(), "TQ500");
    EXPECT_EQ(app.endpoint(), nullptr);  // nobody can reach a panel started by hand
    EXPECT_FALSE(app.frame()->isVisible());
    EXPECT_EQ(app.frame()->size(), QSize(CMainFrame::kWidth, CMainFrame::kHeight));
    EXPECT_EQ(app.frame()->minimumSize(), app.frame()->maximumSize());  // not resizable
    EXPECT_FALSE(app.frame()->windowFlags() & Qt::WindowMaximizeButtonHint);
  }
  CTQ500App app("/opt/sim/tq500");
  const std::string identity = "TQ500:" + std::to_string(getpid()) + "000077";
  ASSERT_TRUE(app.InitInstance(identity, TQ500_SW_SHOW));
  EXPECT_EQ(app.frame()->title(), identity);
  EXPECT_TRUE(app.frame()->isVisible());
  ASSERT_NE(app.endpoint(), nullptr);
  EXPECT_EQ(app.endpoint()->name(), identity);
}

TEST_F(FrameTest, TheEndpointsMessagesReachTheFrameAndOthersAnswerZero) {
  CTQ500App app("/opt/sim/tq500");
  ASSERT_TRUE(app.InitInstance("TQ500:1", TQ500_SW_HIDE));
  auto call = [&](uint32_t message, uint32_t wParam, int32_t lParam, const std::string& payload = {},
                  std::string* reply = nullptr) {
    host::IpcFrame f;
    f.message = message;
    f.wParam = wParam;
    f.lParam = lParam;
    f.payload = payload;
    std::string ignored;
    return app.OnMessage(f, reply ? reply : &ignored);
  };
  EXPECT_EQ(call(TQ500_MSG_SET_TEXT, 0, 0, "TQ500 - #3"), 1);
  std::string text;
  EXPECT_EQ(call(TQ500_MSG_GET_TEXT, 0, 0, {}, &text), 10);
  EXPECT_EQ(text, "TQ500 - #3");
  EXPECT_EQ(call(TQ500_MSG_ADD_MODULE, TQ500_CODE_COUPLER, 23), 0);
  EXPECT_EQ(call(TQ500_MSG_ADD_MODULE, 1049, 24), 0);
  EXPECT_EQ(app.frame()->view()->placeCount(), 2);
  EXPECT_EQ(call(TQ500_MSG_SET_OUTPUT, 1 * 256, 0b0100), 0);  // internal: slot 1 is place 1
  EXPECT_FALSE(app.frame()->view()->panel(1)->GetDlgItem(TQ500_ID_CHECK)->isEnabled());
  EXPECT_EQ(call(TQ500_MSG_SHOW_WINDOW, TQ500_SW_SHOW, 0), 0);
  EXPECT_TRUE(app.frame()->isVisible());
  // Other message numbers, and system commands other than close: 0, nothing changes.
  for (uint32_t m : {0u, 1u, 2024u, 2028u, 0x10u, 0xFFFFFFFFu}) EXPECT_EQ(call(m, 1, 1), 0) << m;
  const QSize size = app.frame()->size();
  EXPECT_EQ(call(TQ500_MSG_SYSCOMMAND, TQ500_SC_SIZE, 0), 0);
  EXPECT_EQ(call(TQ500_MSG_SYSCOMMAND, 0xF030, 0), 0);  // maximise
  EXPECT_EQ(app.frame()->size(), size);
  EXPECT_TRUE(app.frame()->isVisible());
  EXPECT_EQ(app.frame()->view()->placeCount(), 2);
  // Close: the frame closes and keeps its position under its title.
  int destroyed = 0;
  app.frame()->setOnDestroyed([&] { ++destroyed; });
  app.frame()->move(150, 120);
  EXPECT_EQ(call(TQ500_MSG_SYSCOMMAND, TQ500_SC_CLOSE | 3, 0), 0);
  EXPECT_EQ(destroyed, 1);
  EXPECT_FALSE(app.frame()->isVisible());
  QSettings s(CMainFrame::SettingsFile(), QSettings::IniFormat);
  EXPECT_EQ(s.value("Settings/WindowPos.TQ500 - #3.x").toInt(), app.frame()->pos().x());
  EXPECT_EQ(s.value("Settings/WindowPos.TQ500 - #3.y").toInt(), app.frame()->pos().y());
  EXPECT_TRUE(CMainFrame::SettingsFile().endsWith("/Local AppWizard-Generated Applications/TQ500.ini"));
}

TEST_F(FrameTest, EveryAddMessageAppliesTheStoredPositionOfTheTitleWhenItIsOnTheScreen) {
  frame->setTitle("TQ500 - #4");
  const QSize screen = Screen();
  struct Case {
    int x, y;
    bool applied;
  };
  const Case cases[] = {
      {0, 50, false},
      {screen.width() - 20, 50, false},
      {50, 0, false},
      {50, screen.height() - 20, false},
      {-5, 50, false},
      {screen.width() - 21, screen.height() - 21, true},
      {1, 1, true},
      {77, 66, true},
  };
  for (const Case& c : cases) {
    frame->move(33, 44);
    StorePosition("TQ500 - #4", c.x, c.y);
    Add(65, -1);
    EXPECT_EQ(frame->pos(), c.applied ? QPoint(c.x, c.y) : QPoint(33, 44)) << c.x << "," << c.y;
  }
  // Another title has its own position; none stored: the frame stays.
  frame->setTitle("TQ500 - #5");
  frame->move(33, 44);
  Add(65, -1);
  EXPECT_EQ(frame->pos(), QPoint(33, 44));
  EXPECT_EQ(frame->StoredPosition(), QPoint(-1, -1));
}

TEST_F(FrameTest, TheContextMenuOpensTheAboutBoxWithTheVersion) {
  QMenu menu;
  frame->buildContextMenu(&menu);
  ASSERT_EQ(menu.actions().size(), 1);
  EXPECT_EQ(menu.actions()[0]->text(), "Inf&o");
  QString line;
  QString title;
  QTimer::singleShot(0, [&] {
    if (auto* about = dynamic_cast<CAboutDlg*>(QApplication::activeModalWidget())) {
      line = about->versionLine();
      title = about->windowTitle();
      about->accept();
    }
  });
  menu.actions()[0]->trigger();
  EXPECT_EQ(title, QString::fromLatin1("Info \xFC" "ber TQ500"));
  std::string text;
  ASSERT_NE(GetModuleVersionText("/opt/sim/tq500", &text, true), 0u);
  EXPECT_EQ(line, QString::fromLatin1(("TQ500 Version " + text).c_str()));

  // The About box by version.
  const TQ500FileVersion release{1, 4, 100, 1}, beta{1, 4, 100, 0};
  EXPECT_EQ(CAboutDlg(nullptr, "/opt/sim/tq500", &release).versionLine(), "TQ500 Version 1.4.100");
  EXPECT_EQ(CAboutDlg(nullptr, "/opt/sim/tq500", &beta).versionLine(), "TQ500 Version 1.4.100 Beta");
  EXPECT_EQ(CAboutDlg(nullptr, "/opt/sim/tq500", nullptr).versionLine(), "TQ500 Version ");
}

TEST_F(FrameTest, TheVersionTextsLongShortAndBeta) {
  const std::string program = (folder / "tq500").string();
  std::string text = "unchanged";
  struct Case {
    TQ500FileVersion v;
    bool longForm;
    const char* text;
    uint32_t packed;
  };
  const Case cases[] = {
      {{1, 4, 100, 1}, true, "1.4.100", 0x01046401u},
      {{1, 4, 100, 0}, true, "1.4.100 Beta", 0x01046400u},
      {{1, 4, 100, 0}, false, "1.4.100 Beta", 0x01046400u},
      {{2, 1, 7, 3}, false, "2.1 SR3", 0x02010703u},
      {{300, 1, 1000, 2}, true, "300.1.1000", 0xFF01FF02u},  // each part at most 255 in the number
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TQ500_VersionText(c.v, program, &text, c.longForm), c.packed);
    EXPECT_EQ(text, c.text);
  }
  // The service release text from the program's ".dat" file.
  EXPECT_EQ(TQ500_DataFileOf(program), program + ".dat");
  EXPECT_EQ(TQ500_DataFileOf("/a.b/tq500.exe"), "/a.b/tq500.dat");
  EXPECT_EQ(TQ500_DataFileOf("/a.b/tq500"), "/a.b/tq500.dat");
  std::ofstream(program + ".dat") << "[Version]\nServiceRelease=Service Pack 2\n";
  TQ500_VersionText({2, 1, 7, 3}, program, &text, false);
  EXPECT_EQ(text, "2.1 Service Pack 2");
  TQ500_VersionText({2, 1, 7, 3}, program, &text, true);
  EXPECT_EQ(text, "2.1.7");
}

}  // namespace
