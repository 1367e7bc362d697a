// The viewer's application, frames and text view: the start modes, the record's frame
// settings and the placements kept, the notifications, and the text view's table.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include <QFontMetrics>
#include <QAction>
#include <QLabel>
#include <QMdiArea>
#include <QPainter>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>
#include <cstring>
#include <fstream>

#include "host/window_placement.h"
#include "support/kurvan_fixture.h"
#include "trendview/child_frame.h"
#include "trendview/graf_view.h"
#include "trendview/kurvan_ids.h"
#include "trendview/language.h"
#include "trendview/main_frame.h"
#include "trendview/text_view.h"
#include "trendview/trend_doc.h"

// Under LeakSanitizer: the font and desktop-bus libraries keep a few allocations until the
// process ends.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\nleak:libdbus-1.so\n"; }

namespace {

using kurvantest::KurvanTest;
using kurvantest::LockIsFree;

class AppTest : public KurvanTest {
 protected:
  // The settings under the company's key (the record's key, or the program's).
  CKurvanProfile Registry(const std::string& key = "Kurvan") {
    CKurvanProfile p;
    p.setRegistryKey("Orvant GmbH");
    p.setAppKey(key);
    return p;
  }
  bool VisibleWindows() {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w->isVisible()) return true;
    return false;
  }
  CChildFrame* Child() { return app->mainFrame() ? app->mainFrame()->activeChild() : nullptr; }
  // Waits for the library's notifications to arrive and hands them over.
  void Deliver() {
    for (int i = 0; i < 20; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      app->ProcessNotifications();
    }
  }
  static uint16_t Pending(KurvanHandle h) {
    const uint8_t* rec = KurvanLock(h);
    const uint16_t n = TrendGetU16(rec, TREND_REC_PENDING);
    KurvanUnlock(h);
    return n;
  }
  static uint32_t Viewer(KurvanHandle h) {
    const uint8_t* rec = KurvanLock(h);
    const uint32_t v = TrendGetU32(rec, TREND_REC_VIEWER);
    KurvanUnlock(h);
    return v;
  }
};

TEST_F(AppTest, AnUnknownTrendNameGivesAnEmptyDocumentAndABeep) {
  ASSERT_TRUE(Start("/hTrend=" + host::SharedNamePrefix() + "NoSuchTrend"));
  ASSERT_NE(app->mainFrame(), nullptr);
  EXPECT_TRUE(app->mainFrame()->isVisible());
  ASSERT_EQ(app->mainFrame()->children().size(), 1u);
  EXPECT_EQ(Child()->document()->trendHandle(), 0);
  EXPECT_EQ(beeps, std::vector<int>{0});
  EXPECT_EQ(app->templateId(), KURVAN_RES_TREND);
  EXPECT_EQ(app->mainFrame()->windowTitle(), "Kurvan");
}

TEST_F(AppTest, ALiveTrendNamesTheViewerAndFollowsItsNotifications) {
  KurvanHandle h = Make(2, 200, 20, 0, 2, 1);
  Edit(h, [](uint8_t* rec) {
    TrendPutU16(rec, TREND_REC_LANGUAGE, 2);
    TrendPutText(rec, TREND_REC_NAME, TREND_NAME_BYTES, "Loop 1");
  });
  ASSERT_TRUE(Start("/hTrend=" + MapName(h)));
  EXPECT_TRUE(beeps.empty());
  EXPECT_EQ(Viewer(h), static_cast<uint32_t>(getpid()));
  EXPECT_EQ(KurvanLanguages().current(), 2);
  CChildFrame* child = Child();
  ASSERT_NE(child, nullptr);
  EXPECT_TRUE(child->isMaximized());
  EXPECT_EQ(child->windowTitle(), "Loop 1");
  EXPECT_EQ(app->mainFrame()->windowTitle(), "Kurvan");
  EXPECT_EQ(app->mainFrame()->shownMenu(), KURVAN_RES_TREND);
  EXPECT_TRUE(LockIsFree(h));

  // A sample while everything was drawn: 1125, drawn, +280 back to 0.
  Cycle(h, {12.5f, 3.0f}, {1});
  EXPECT_EQ(Pending(h), 1);
  Deliver();
  EXPECT_EQ(Pending(h), 0);
  const std::vector<KurvanTextRow>& rows = child->textView()->rows();
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0].label, "t = ");
  EXPECT_EQ(rows[1].label, "Analog 1 = ");
  EXPECT_EQ(rows[1].value, " 12.500");
  EXPECT_EQ(rows[2].value, "  3.000");
  EXPECT_EQ(rows[3].kind, KurvanTextRow::Digital);
  EXPECT_EQ(rows[3].state, 1);

  // The language of the record: 1127.
  ASSERT_EQ(KurvanSetLanguage(h, 1), 1);
  Deliver();
  EXPECT_EQ(KurvanLanguages().current(), 1);
  EXPECT_TRUE(LockIsFree(h));

  // Closing the child frame clears the viewer field.
  child->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(Viewer(h), 0u);
  EXPECT_TRUE(app->mainFrame()->children().empty());
  EXPECT_EQ(app->mainFrame()->shownMenu(), KURVAN_RES_MAIN_FRAME);
}

// A channel configuration set while the trend is shown reaches its graph at once, without a
// resize: the scale header names the new channel name, a hidden curve is gone, and the
// scale's range and the colours are drawn anew.
TEST_F(AppTest, ASetChannelConfigurationRedrawsTheOpenGraph) {
  KurvanHandle h = Make(2, 200, 20, 0, 2, 0);
  ASSERT_TRUE(Start("/hTrend=" + MapName(h)));
  CChildFrame* child = Child();
  ASSERT_NE(child, nullptr);
  CTrendGrafView* graf = child->grafView();
  for (float v : {2.0f, 4.0f, 6.0f, 8.0f}) Cycle(h, {v, 10.0f - v});
  uint8_t config[KURVAN_CONFIG_BYTES] = {};
  TrendPutU32(config, KURVAN_CFG_SIZE, KURVAN_CONFIG_BYTES);
  ASSERT_EQ(KurvanGetChannelConfig(h, config, nullptr), 1);
  TrendPutI16(config, KURVAN_CFG_LEFT_SCALE, 0);
  TrendPutI16(config, KURVAN_CFG_RIGHT_SCALE, -1);
  const uint32_t first = KURVAN_CFG_ANALOG, second = KURVAN_CFG_ANALOG + TREND_ANALOG_BYTES;
  TrendPutText(config, first + TREND_CH_NAME, TREND_CH_NAME_BYTES, "Before");
  TrendPutU16(config, first + TREND_CH_SHOWN, 1);
  TrendPutU16(config, second + TREND_CH_SHOWN, 1);
  ASSERT_EQ(KurvanSetChannelConfig(h, config, nullptr), 1);
  ASSERT_TRUE(trendtest::WaitFor([&] {
    app->ProcessNotifications();
    graf->drawNow();
    return graf->geometry().leftName == "[Before]";
  })) << "the first configuration reaches the graph";
  ASSERT_FALSE(graf->tooSmall());
  EXPECT_EQ(graf->geometry().analogCount, 2);
  const QImage before = graf->image().copy();

  // New name, range and colour of the scale's channel; the second curve hidden.
  TrendPutText(config, first + TREND_CH_NAME, TREND_CH_NAME_BYTES, "After");
  TrendPutF32(config, first + TREND_CH_MIN, -50.0f);
  TrendPutF32(config, first + TREND_CH_MAX, 250.0f);
  TrendPutU32(config, first + TREND_CH_COLOR, 0x0000FFu);
  TrendPutU16(config, second + TREND_CH_SHOWN, 0);
  ASSERT_EQ(KurvanSetChannelConfig(h, config, nullptr), 1);
  EXPECT_TRUE(trendtest::WaitFor([&] {
    app->ProcessNotifications();
    graf->drawNow();
    return graf->geometry().leftName == "[After]";
  })) << "the new configuration is drawn without a resize";
  EXPECT_EQ(graf->geometry().analogCount, 1) << "the hidden curve is gone";
  EXPECT_NE(graf->image(), before);
  bool red = false;
  const QImage& now = graf->image();
  for (int y = 0; y < now.height() && !red; ++y)
    for (int x = 0; x < now.width() && !red; ++x) red = now.pixelColor(x, y) == QColor(255, 0, 0);
  EXPECT_TRUE(red) << "the curve in its new colour";
  EXPECT_TRUE(LockIsFree(h));
}

TEST_F(AppTest, TheCloseNoteEndsTheViewer) {
  KurvanHandle h = Make(1, 200, 10, 0, 1, 0);
  ASSERT_TRUE(Start("/hTrend=" + MapName(h)));
  ASSERT_TRUE(app->mainFrame()->isVisible());
  ASSERT_EQ(KurvanShowFrame(h, 0), 1);  // asks the viewer named in +300 to close
  Deliver();
  EXPECT_FALSE(app->mainFrame()->isVisible());
  EXPECT_EQ(Viewer(h), 0u);
}

TEST_F(AppTest, ConfigModeRunsOnlyTheDialog) {
  KurvanHandle h = Make(2, 200, 10, 0, 2, 1);
  Edit(h, [](uint8_t* rec) { TrendPutU16(rec, TREND_REC_LANGUAGE, 1); });
  auto bytes = [](KurvanHandle h) {
    const uint8_t* rec = KurvanLock(h);
    std::vector<uint8_t> v(rec, rec + TREND_REC_LIBRARY);  // the lock after it changes
    KurvanUnlock(h);
    return v;
  };
  const std::vector<uint8_t> before = bytes(h);
  onDialog = [](QDialog*) { return KURVAN_ID_CANCEL; };
  EXPECT_FALSE(Start("/hConfig=" + MapName(h)));
  EXPECT_EQ(dialogs, std::vector<QString>{"Channels"}) << "in the record's language";
  EXPECT_EQ(bytes(h), before);
  EXPECT_EQ(app->mainFrame(), nullptr);
  EXPECT_FALSE(VisibleWindows());

  onDialog = [](QDialog*) { return KURVAN_ID_OK; };
  EXPECT_FALSE(Start("/hConfig=" + MapName(h)));
  Edit(h, [](uint8_t* rec) { EXPECT_EQ(TrendGetU16(rec, TREND_REC_CONFIG_CHANGED), 1); });
  EXPECT_FALSE(VisibleWindows());
  EXPECT_TRUE(LockIsFree(h));

  // No such record: no dialog.
  dialogs.clear();
  EXPECT_FALSE(Start("/hConfig=" + host::SharedNamePrefix() + "NoSuchTrend"));
  EXPECT_TRUE(dialogs.empty());
}

TEST_F(AppTest, TheTemplateFollowsTheRecord) {
  KurvanHandle h = Make(1, 200, 10, 0, 1, 0);
  Edit(h, [](uint8_t* rec) { TrendPutU16(rec, TREND_REC_TEMPLATE, 0); });
  ASSERT_TRUE(Start("/hConfig=" + MapName(h)) == false);
  EXPECT_EQ(app->templateId(), KURVAN_RES_TREND_VIEW);
  ASSERT_TRUE(Start(""));
  EXPECT_EQ(app->templateId(), KURVAN_RES_TREND);
  EXPECT_TRUE(app->mainFrame()->children().empty());
  EXPECT_EQ(app->mainFrame()->shownMenu(), KURVAN_RES_MAIN_FRAME);
}

TEST_F(AppTest, SelfTestFeedsItsOwnTrend) {
  ASSERT_TRUE(Start("/test"));
  const KurvanHandle self = app->selfTest();
  ASSERT_NE(self, 0);
  EXPECT_TRUE(app->mainFrame()->selfTestRunning());
  EXPECT_EQ(Viewer(self), static_cast<uint32_t>(getpid()));
  for (int i = 0; i < 3; ++i) app->mainFrame()->SelfTestSample();
  Deliver();
  const uint8_t* rec = KurvanLock(self);
  EXPECT_EQ(TrendGetU16(rec, TREND_REC_VALID), 3);
  EXPECT_EQ(TrendGetU16(rec, TREND_REC_PENDING), 0);
  EXPECT_FLOAT_EQ(TrendGetF32(rec, TREND_REC_SAMPLES + 4 * 2), 2.0f);
  KurvanUnlock(self);
  app->ExitInstance();
  EXPECT_EQ(KurvanBlockBytes(self), 0u) << "destroyed at exit";
}

TEST_F(AppTest, FileModeOpensTheFileHeld) {
  KurvanHandle h = Make(1, 200, 10, 0, 1, 0);
  Cycle(h, {7.0f});
  const std::string path = folder + "/trend.krv";
  ASSERT_EQ(TrendFileSave(h, path.c_str()), TREND_FILE_OK);
  ASSERT_TRUE(Start(path));
  CChildFrame* child = Child();
  ASSERT_NE(child, nullptr);
  EXPECT_EQ(app->record(), child->document()->trendHandle());
  EXPECT_EQ(child->windowTitle(), "trend.krv - Trend");
  app->mainFrame()->updateCommandUI();
  EXPECT_TRUE(app->mainFrame()->action(KURVAN_CMD_HOLD)->isChecked());
  EXPECT_FALSE(app->mainFrame()->action(KURVAN_CMD_HOLD)->isEnabled());
  ASSERT_FALSE(app->recentFiles().empty());
  EXPECT_EQ(app->recentFiles()[0], path);

  // A file that is not a trend file: an empty document and a beep.
  const std::string bad = folder + "/bad.krv";
  std::ofstream(bad) << "not a trend";
  ASSERT_TRUE(Start(bad));
  ASSERT_NE(Child(), nullptr);
  EXPECT_EQ(Child()->document()->trendHandle(), 0);
  EXPECT_EQ(beeps, std::vector<int>{-1});
  // A file that cannot be read: a message, no document.
  ASSERT_TRUE(Start(folder + "/missing.krv"));
  EXPECT_EQ(Child(), nullptr);
  EXPECT_EQ(boxes.size(), 1u);
}

// A FIFO in place of a trend file holds nothing up: the message that it cannot be read and
// the main window come at once (a writer that opens the FIFO after 60 s, far above what a
// start takes on a loaded machine, would end the wait of a viewer that waited for one).
TEST_F(AppTest, AFifoInPlaceOfAFileGivesAMessageAndTheWindowAtOnce) {
  const std::string fifo = folder + "/fifo.trd";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  constexpr auto kWriterAfter = std::chrono::seconds(60);
  std::atomic<bool> done{false};
  std::thread writer([&] {
    const auto end = std::chrono::steady_clock::now() + kWriterAfter;
    while (!done && std::chrono::steady_clock::now() < end) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (done) return;
    const int fd = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
    if (fd >= 0) close(fd);
  });
  const auto start = std::chrono::steady_clock::now();
  const bool started = Start(fifo);
  const auto took = std::chrono::steady_clock::now() - start;
  done = true;
  writer.join();
  ASSERT_TRUE(started);
  EXPECT_LT(took, kWriterAfter) << "it waited for a writer";
  EXPECT_EQ(boxes.size(), 1u) << "the file cannot be read";
  EXPECT_EQ(Child(), nullptr);
  ASSERT_NE(app->mainFrame(), nullptr);
  EXPECT_TRUE(app->mainFrame()->isVisible());
}

TEST_F(AppTest, SaveAsWritesTheFileAndRetitles) {
  KurvanHandle h = Make(1, 200, 10, 0, 1, 0);
  Cycle(h, {1.0f});
  ASSERT_TRUE(Start("/hTrend=" + MapName(h)));
  filePath = QString::fromStdString(folder + "/copy");
  app->mainFrame()->command(KURVAN_CMD_FILE_SAVE_AS);
  EXPECT_TRUE(std::filesystem::exists(folder + "/copy.krv"));
  EXPECT_EQ(Child()->windowTitle(), "copy.krv - Trend");
  EXPECT_TRUE(LockIsFree(h));
}

TEST_F(AppTest, TheRecordChoosesSettingsKeySectionAndSize) {
  struct Case {
    const char* what;
    const char* key;
    const char* section;
    int16_t instance;
    int32_t width, height;
    const char* expectSection;
    QSize expectSize;
  } cases[] = {
      {"instance 3", "", "", 3, 0, 0, "Settings.Trend.3", QSize(640, 480)},
      {"own section", "", "Loop", 0, 0, 0, "Loop", QSize(640, 480)},
      {"width 100", "", "", 0, 100, 300, "Settings.Trend", QSize(640, 480)},
      {"width 500", "", "", 0, 500, 300, "Settings.Trend", QSize(500, 300)},
      {"own key", "Owner", "", 0, 0, 0, "Settings.Trend", QSize(640, 480)},
      {"key that is a path", "../../x", "", 0, 0, 0, "Settings.Trend", QSize(640, 480)},
  };
  for (const Case& c : cases) {
    KurvanHandle h = Make(1, 200, 10, 0, 1, 0);
    Edit(h, [&](uint8_t* rec) {
      TrendPutText(rec, TREND_REC_PROFILE, TREND_PROFILE_BYTES, c.key);
      TrendPutText(rec, TREND_REC_SECTION, TREND_SECTION_BYTES, c.section);
      TrendPutI16(rec, TREND_REC_INSTANCE, c.instance);
      TrendPutI32(rec, TREND_REC_FRAME_WIDTH, c.width);
      TrendPutI32(rec, TREND_REC_FRAME_HEIGHT, c.height);
      TrendPutU16(rec, TREND_REC_TOOLBAR_DEFAULT, 0);
    });
    ASSERT_TRUE(Start("/hTrend=" + MapName(h))) << c.what;
    CMainFrame* frame = app->mainFrame();
    EXPECT_EQ(frame->section(), c.expectSection) << c.what;
    EXPECT_EQ(frame->size(), c.expectSize) << c.what;
    // A key that is not a plain name keeps the program's own (it names a file).
    const std::string key = *c.key && !strchr(c.key, '/') ? c.key : "Kurvan";
    EXPECT_EQ(app->profile().appKey(), key) << c.what;
    // The bar defaults are written once; the closed frame leaves its placement there.
    EXPECT_EQ(Registry(key).getInt(c.expectSection, "ToolBar", -1), 0) << c.what;
    EXPECT_EQ(Registry(key).getInt(c.expectSection, "StatusBar", -1), 1) << c.what;
    frame->close();
    host::WindowPlacement p;
    EXPECT_TRUE(host::ParseWindowPlacement(Registry(key).getString(c.expectSection, "WindowPos", ""), &p)) << c.what;
    EXPECT_EQ(p.right - p.left, c.expectSize.width()) << c.what;
    EXPECT_EQ(Registry(key).getInt("WindowSettings", "WindowVisible.MainFrame", -1), 1) << c.what;
    EXPECT_TRUE(Registry(key).has("WindowSettings", "WindowSize.ChildFrame.0.0")) << c.what;
    EXPECT_TRUE(Registry(key).has(std::string(c.expectSection) + ".1", "WindowPos")) << c.what;
    EXPECT_EQ(Registry(key).getInt(c.expectSection, "WindowActive", -1), 1) << c.what;
    std::filesystem::remove_all(configFolder + "/Orvant GmbH");
  }
}

TEST_F(AppTest, StoredPlacementsAreAppliedOnlyWhenLargeEnough) {
  struct Case {
    const char* stored;
    QSize expect;
  } cases[] = {
      {"0,1,-1,-1,-1,-1,10,20,90,220", QSize(640, 480)},  // 80 wide: ignored
      {"0,1,-1,-1,-1,-1,10,20,310,60", QSize(640, 480)},  // 40 high: ignored
      {"0,1,-1,-1,-1,-1,10,20,410,320", QSize(400, 300)},
      {"nonsense", QSize(640, 480)},
  };
  for (const Case& c : cases) {
    Registry().writeString("Settings.Trend", "WindowPos", c.stored);
    ASSERT_TRUE(Start(""));
    EXPECT_EQ(app->mainFrame()->size(), c.expect) << c.stored;
    EXPECT_TRUE(app->mainFrame()->isVisible()) << c.stored;
    std::filesystem::remove_all(configFolder + "/Orvant GmbH");
  }
  // Closed while maximised, the normal placement is stored.
  ASSERT_TRUE(Start(""));
  app->mainFrame()->showMaximized();
  app->mainFrame()->close();
  host::WindowPlacement p;
  ASSERT_TRUE(host::ParseWindowPlacement(Registry().getString("Settings.Trend", "WindowPos", ""), &p));
  EXPECT_EQ(p.showCmd, 1u);
}

TEST_F(AppTest, TheRecordCanHideTheBars) {
  KurvanHandle h = Make(1, 200, 10, 0, 1, 0);
  Edit(h, [](uint8_t* rec) {
    TrendPutU16(rec, TREND_REC_TOOLBAR, 0);
    TrendPutU16(rec, TREND_REC_STATUSBAR, 0);
  });
  ASSERT_TRUE(Start("/hTrend=" + MapName(h)));
  CMainFrame* frame = app->mainFrame();
  EXPECT_FALSE(frame->toolBar()->isVisible());
  EXPECT_FALSE(frame->statusBar()->isVisible());
  frame->updateCommandUI();
  EXPECT_FALSE(frame->action(KURVAN_CMD_VIEW_TOOLBAR)->isChecked());
  frame->command(KURVAN_CMD_VIEW_TOOLBAR);
  EXPECT_TRUE(frame->toolBar()->isVisible());
  EXPECT_TRUE(frame->action(KURVAN_CMD_VIEW_TOOLBAR)->isChecked());
}

TEST_F(AppTest, CursorSwitchAndAbout) {
  ASSERT_TRUE(Start(""));
  CMainFrame* frame = app->mainFrame();
  const bool before = KurvanCursorOn();
  frame->command(KURVAN_CMD_CURSOR);
  EXPECT_NE(KurvanCursorOn(), before);
  EXPECT_EQ(frame->action(KURVAN_CMD_CURSOR)->isChecked(), KurvanCursorOn());
  frame->command(KURVAN_CMD_CURSOR);
  EXPECT_EQ(KurvanCursorOn(), before);

  // Control 1006 of the About box shows only in language 0.
  for (int language : {0, 1}) {
    ASSERT_EQ(KurvanLanguages().SetLanguage(language), 0);
    bool shown = true;
    onDialog = [&](QDialog* d) {
      QLabel* label = d->findChild<QLabel*>("1006");
      shown = label && !label->isHidden();
      return KURVAN_ID_OK;
    };
    frame->command(KURVAN_CMD_ABOUT);
    EXPECT_EQ(shown, language == 0) << language;
  }
  // Commands nobody handles yet are disabled.
  frame->updateCommandUI();
  EXPECT_FALSE(frame->action(KURVAN_CMD_COPY)->isEnabled());
  EXPECT_TRUE(frame->action(KURVAN_CMD_FILE_OPEN)->isEnabled());
}

TEST_F(AppTest, TheTextViewTable) {
  KurvanHandle h = Make(2, 1000, 10, 0, 2, 2);
  ASSERT_TRUE(Start("/hTrend=" + MapName(h)));
  CChildFrame* child = Child();
  ASSERT_NE(child, nullptr);
  // Without samples: an empty table.
  child->send(KURVAN_MSG_NEW_SAMPLES, 0, 0);
  EXPECT_TRUE(child->textView()->rows().empty());

  // A gap on analog 1 and on digital 0; digital 1 hidden.
  Edit(h, [](uint8_t* rec) { TrendPutU16(rec, TrendDigitalChannel(1) + TREND_CH_SHOWN, 0); });
  const float a[2] = {12.5f, 0.0f};
  const unsigned char d[2] = {0, 1};
  KurvanCycle(h, a, d, 1);
  Edit(h, [](uint8_t* rec) {
    TrendPutU32(rec, TREND_REC_SAMPLES + 10 * 4, TREND_GAP_ANALOG_BITS);  // analog 1, slot 0
    rec[TREND_REC_SAMPLES + 2 * 10 * 4] = TREND_GAP_DIGITAL;               // digital 0, slot 0
  });
  child->send(KURVAN_MSG_NEW_SAMPLES, 0, 0);
  const std::vector<KurvanTextRow>& rows = child->textView()->rows();
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0].value, "00:00:01");
  EXPECT_EQ(rows[1].value, " 12.500");
  EXPECT_EQ(rows[2].label, "Analog 2 = ");
  EXPECT_EQ(rows[2].value, "") << "a gap shows the label and no value";
  EXPECT_EQ(rows[3].label, "Digital 1 = ");
  EXPECT_EQ(rows[3].state, -1);

  // Absolute time: the date row comes first.
  Edit(h, [](uint8_t* rec) {
    TrendPutI16(rec, TREND_REC_ABS_TIME, 1);
    TrendPutI32(rec, TREND_REC_TIME_BASE, 959558400);
  });
  child->send(KURVAN_MSG_NEW_SAMPLES, 0, 0);
  ASSERT_EQ(child->textView()->rows().size(), 5u);
  EXPECT_EQ(child->textView()->rows()[0].kind, KurvanTextRow::Date);
  EXPECT_EQ(child->textView()->rows()[1].label, "");

  // Its image for the clipboard, and its print.
  EXPECT_NE(child->textView()->send(KURVAN_MSG_GET_BITMAP, 0, 0), 0);
  QImage page(2000, 2000, QImage::Format_RGB32);
  QPainter painter(&page);
  const intptr_t printed = child->textView()->send(KURVAN_MSG_PRINT, 0, reinterpret_cast<intptr_t>(&painter));
  painter.end();
  EXPECT_GT(printed, 0);
  EXPECT_EQ(child->textView()->send(KURVAN_MSG_PRINT, 0, 0), 0);
  EXPECT_TRUE(LockIsFree(h));
}

TEST_F(AppTest, TheTextViewTakesAQuarterOfTheFrame) {
  KurvanHandle h = Make(1, 200, 10, 0, 1, 0);
  ASSERT_TRUE(Start("/hTrend=" + MapName(h)));
  CChildFrame* child = Child();
  ASSERT_NE(child, nullptr);
  for (int width : {1200, 200}) {
    child->showNormal();
    child->resize(width, 300);
    const QList<int> sizes = child->splitter()->sizes();
    const int total = sizes[0] + sizes[1];
    // A quarter, at least 90 pixels and at least what the table needs.
    EXPECT_EQ(sizes[0], std::min(total, std::max({90, total / 4, child->textView()->tableWidth()}))) << width;
  }
}

// A table wider than a quarter of the frame widens its pane: with a long channel name and
// the absolute time, the date and the clock stay whole beside "t =".
TEST_F(AppTest, TheTextViewPaneHoldsItsWholeTable) {
  KurvanHandle h = Make(1, 200, 10, 0, 1, 0);
  ASSERT_TRUE(Start("/hTrend=" + MapName(h)));
  CChildFrame* child = Child();
  ASSERT_NE(child, nullptr);
  Edit(h, [](uint8_t* rec) {
    TrendPutText(rec, TrendAnalogChannel(0) + TREND_CH_NAME, TREND_CH_NAME_BYTES, "Temperature zone");
    TrendPutI16(rec, TREND_REC_ABS_TIME, 1);
    TrendPutI32(rec, TREND_REC_TIME_BASE, 1797811200);  // December 2026
  });
  const float a[1] = {12.5f};
  const unsigned char d[1] = {0};
  KurvanCycle(h, a, d, 1);
  child->showNormal();
  child->resize(480, 300);
  child->send(KURVAN_MSG_NEW_SAMPLES, 0, 0);
  const std::vector<KurvanTextRow>& rows = child->textView()->rows();
  ASSERT_EQ(rows.size(), 3u);
  const QFontMetrics fm(child->textView()->font());
  int label = 0;
  for (const KurvanTextRow& r : rows) label = std::max(label, fm.horizontalAdvance(r.label));
  const int pane = child->splitter()->sizes()[0];
  for (const KurvanTextRow& r : rows) EXPECT_LE(label + fm.horizontalAdvance(r.value), pane) << r.value.toStdString();
}

}  // namespace
