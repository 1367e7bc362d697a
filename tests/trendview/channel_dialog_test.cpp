// Dialog 103: what it shows of the channel block, the OK rules, the colour cell, the scale and
// time choices, and the "/hConfig=" mode with the dialog confirmed.
#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QGuiApplication>
#include <QScreen>
#include <cfloat>
#include <cstring>

#include "support/grid_fixture.h"
#include "trendview/channel_dialog.h"
#include "trendview/kurvan_ids.h"
#include "trendview/kurvan_profile.h"
#include "trendview/language.h"

namespace {

using CD = CChannelDialog;
using gridtest::OpenEditor;

uint32_t Analog(int i) { return KURVAN_CFG_ANALOG + TREND_ANALOG_BYTES * i; }
uint32_t Digital(int j) { return KURVAN_CFG_DIGITAL + TREND_DIGITAL_BYTES * j; }

class ChannelDialogTest : public kurvantest::KurvanTest {
 protected:
  void SetUp() override {
    KurvanTest::SetUp();
    CKurvanProfile profile;
    ASSERT_EQ(KurvanLanguages().Load(0, KURVAN_RES_MAIN_FRAME, nullptr, "Kurvan2", "Kurvan2", KURVAN_PROGRAM, profile), 0);
    ASSERT_EQ(KurvanLanguages().SetLanguage(1), 0);  // English
  }
  // A block with `analog` and `digital` channels: names "A<i>"/"D<j>", sources, every other
  // channel shown, even colours, analog scales 0..100 (i + 1).
  static KurvanChannelData Data(int analog, int digital) {
    KurvanChannelData d;
    d.analogCount = static_cast<uint16_t>(analog);
    d.digitalCount = static_cast<uint16_t>(digital);
    uint8_t* c = d.config;
    TrendPutU32(c, KURVAN_CFG_SIZE, KURVAN_CONFIG_BYTES);
    TrendPutI16(c, KURVAN_CFG_LEFT_SCALE, 0);
    TrendPutI16(c, KURVAN_CFG_RIGHT_SCALE, 1);
    TrendPutI16(c, KURVAN_CFG_ABS_TIME, 1);
    TrendPutI16(c, KURVAN_CFG_TIME_OPTION, 3);
    for (int i = 0; i < 8; ++i) {
      TrendPutText(c, Analog(i) + TREND_CH_NAME, TREND_CH_NAME_BYTES, ("A" + std::to_string(i + 1)).c_str());
      TrendPutText(c, Analog(i) + TREND_CH_SOURCE, TREND_CH_SOURCE_BYTES, ("AI" + std::to_string(i + 1)).c_str());
      TrendPutU16(c, Analog(i) + TREND_CH_SHOWN, i % 2 == 0);
      TrendPutU32(c, Analog(i) + TREND_CH_COLOR, 0x102030 + 2 * i);
      TrendPutF32(c, Analog(i) + TREND_CH_MIN, 0.0f);
      TrendPutF32(c, Analog(i) + TREND_CH_MAX, 100.0f * (i + 1));
    }
    for (int j = 0; j < 16; ++j) {
      TrendPutText(c, Digital(j) + TREND_CH_NAME, TREND_CH_NAME_BYTES, ("D" + std::to_string(j + 1)).c_str());
      TrendPutText(c, Digital(j) + TREND_CH_SOURCE, TREND_CH_SOURCE_BYTES, ("DI" + std::to_string(j + 1)).c_str());
      TrendPutU16(c, Digital(j) + TREND_CH_SHOWN, j % 2 == 0);
      TrendPutU32(c, Digital(j) + TREND_CH_COLOR, 0x405060 + 2 * j);
    }
    return d;
  }
  // Types into a cell of the channel grid as its item holds it.
  static void Type(CD& d, int row, int col, const QString& text) { d.channelGrid().table()->item(row - 1, col)->setText(text); }
};

TEST_F(ChannelDialogTest, ShowsTheChannelBlock) {
  KurvanChannelData data = Data(2, 1);
  CD d(&data, nullptr);
  EXPECT_EQ(d.windowTitle(), "Channels");
  CCellGrid& g = d.channelGrid();
  ASSERT_EQ(g.Rows(), 4);
  ASSERT_EQ(g.Cols(), CD::COL_COUNT);
  EXPECT_EQ(g.FixedRows(), 1);
  const char* headings[] = {"Channel", "Show", "Name", "Colour", "Minimum", "Maximum"};
  const int widths[] = {1800, 700, 1800, 600, 800, 800};
  const int settings[] = {1, 4, 1, 1, 7, 7};
  // The columns take their stored widths, or more where the heading needs it: every heading
  // is whole at the table's font, with room for the cell's margins.
  const QFontMetrics fm(g.table()->font());
  for (int c = 0; c < CD::COL_COUNT; ++c) {
    EXPECT_EQ(g.TextMatrix(0, c), headings[c]);
    EXPECT_GE(g.ColWidth(c), widths[c]);
    EXPECT_GE(g.table()->columnWidth(c), fm.horizontalAdvance(headings[c]) + 8) << headings[c];
    EXPECT_EQ(g.ColumnSetting(c), settings[c]);
  }
  struct Row {
    const char* source;
    int shown;
    const char* name;
    uint32_t colour;
    const char* min;
    const char* max;
    int scaleEditable;
  } rows[] = {
      {"a1: AI1", 1, "A1", 0x102031, "0.000", "100.000", 1},
      {"a2: AI2", 0, "A2", 0x102033, "0.000", "200.000", 1},
      {"d1: DI1", 1, "D1", 0x405061, "", "", 0},
  };
  for (int r = 1; r <= 3; ++r) {
    const Row& e = rows[r - 1];
    EXPECT_EQ(g.TextMatrix(r, CD::COL_SOURCE), e.source);
    EXPECT_EQ(g.GetEditable(r, CD::COL_SOURCE), 0);
    EXPECT_EQ(g.GetCheck(r, CD::COL_SHOWN), e.shown) << r;
    EXPECT_EQ(g.TextMatrix(r, CD::COL_NAME), e.name);
    EXPECT_EQ(g.GetEditable(r, CD::COL_NAME), 1);
    EXPECT_EQ(g.GetKind(r, CD::COL_COLOUR), CELL_BUTTON);
    EXPECT_EQ(g.CellBackColor(r, CD::COL_COLOUR), e.colour) << "with its lowest bit set";
    EXPECT_EQ(g.CellForeColor(r, CD::COL_COLOUR), e.colour);
    EXPECT_EQ(g.TextMatrix(r, CD::COL_MINIMUM), e.min);
    EXPECT_EQ(g.TextMatrix(r, CD::COL_MAXIMUM), e.max);
    EXPECT_EQ(g.GetEditable(r, CD::COL_MAXIMUM), e.scaleEditable);
  }

  CPropertyList& p = d.propertyList();
  ASSERT_EQ(p.Rows(), 4);
  EXPECT_EQ(p.TextMatrix(0, 0), "Setting");
  EXPECT_EQ(p.ColWidth(0), 2500);
  EXPECT_EQ(p.TextMatrix(CD::PROP_LEFT_SCALE, 0), "Left scale");
  EXPECT_EQ(p.TextMatrix(CD::PROP_LEFT_SCALE, 1), "A1");
  EXPECT_EQ(p.Item(CD::PROP_LEFT_SCALE, 1)->text, "00000001|#0;---|#1;A1|#2;A2");
  EXPECT_EQ(p.TextMatrix(CD::PROP_RIGHT_SCALE, 0), "Right scale");
  EXPECT_EQ(p.TextMatrix(CD::PROP_RIGHT_SCALE, 1), "A2");
  EXPECT_EQ(p.TextMatrix(CD::PROP_TIME, 0), "Time display");
  EXPECT_EQ(p.TextMatrix(CD::PROP_TIME, 1), "Absolute time");
  EXPECT_EQ(p.Item(CD::PROP_TIME, 1)->text, "00000001|#1;Absolute time|#0;Elapsed time");

  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  EXPECT_LE((d.geometry().center() - screen.center()).manhattanLength(), 2) << "centred on the desktop";
}

TEST_F(ChannelDialogTest, OkRules) {
  struct Case {
    const char* min;
    const char* max;
    float storedMin, storedMax;
  } cases[] = {
      {"5", "5", 5.0f, 5.01f},
      {"5", "4", 5.0f, 5.01f},
      {"-2", "7.5", -2.0f, 7.5f},
      {"abc", "10", 0.0f, 10.0f},  // not a number: 0
      {"1,5", "2,25", 1.5f, 2.25f},
      {"-1e50", "1e50", -FLT_MAX, FLT_MAX},  // within the float's range
  };
  for (const Case& c : cases) {
    KurvanChannelData data = Data(2, 2);
    CD d(&data, nullptr);
    Type(d, 2, CD::COL_MINIMUM, c.min);
    Type(d, 2, CD::COL_MAXIMUM, c.max);
    d.accept();
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_FLOAT_EQ(TrendGetF32(data.config, Analog(1) + TREND_CH_MIN), c.storedMin) << c.min;
    EXPECT_FLOAT_EQ(TrendGetF32(data.config, Analog(1) + TREND_CH_MAX), c.storedMax) << c.max;
  }
  // A limit too large for 0.01 to count still leaves the maximum above the minimum.
  KurvanChannelData data = Data(1, 0);
  CD d(&data, nullptr);
  Type(d, 1, CD::COL_MINIMUM, "1e9");
  Type(d, 1, CD::COL_MAXIMUM, "1e9");
  d.accept();
  EXPECT_GT(TrendGetF32(data.config, Analog(0) + TREND_CH_MAX), TrendGetF32(data.config, Analog(0) + TREND_CH_MIN));
}

TEST_F(ChannelDialogTest, NamesAreCutTo16AndShownFollowsTheCheckBox) {
  KurvanChannelData data = Data(2, 2);
  const KurvanChannelData before = data;
  CD d(&data, nullptr);
  Type(d, 1, CD::COL_NAME, "ABCDEFGHIJKLMNOPQRST");
  Type(d, 4, CD::COL_NAME, "abcdefghijklmnopqrst");
  gridtest::PressSpace(d.channelGrid(), 1, CD::COL_SHOWN);
  gridtest::PressSpace(d.channelGrid(), 4, CD::COL_SHOWN);
  d.accept();
  EXPECT_EQ(TrendGetText(data.config, Analog(0), 17), "ABCDEFGHIJKLMNOP");
  EXPECT_EQ(TrendGetText(data.config, Digital(1), 17), "abcdefghijklmnop");
  EXPECT_EQ(data.config[Analog(0) + 16], 0) << "terminated inside the name";
  EXPECT_EQ(TrendGetText(data.config, Analog(0) + TREND_CH_SOURCE, 33), "AI1") << "the next field is untouched";
  EXPECT_EQ(TrendGetText(data.config, Digital(1) + TREND_CH_SOURCE, 33), "DI2");
  EXPECT_EQ(TrendGetU16(data.config, Analog(0) + TREND_CH_SHOWN), 0);
  EXPECT_EQ(TrendGetU16(data.config, Digital(1) + TREND_CH_SHOWN), 1);
  // Past the rows shown, nothing is touched.
  const uint32_t from = Digital(2);
  EXPECT_EQ(std::memcmp(data.config + from, before.config + from, KURVAN_CONFIG_BYTES - from), 0);
}

TEST_F(ChannelDialogTest, OkOnAnUntouchedDialogChangesNothing) {
  KurvanChannelData data = Data(4, 2);
  TrendPutF32(data.config, Analog(0) + TREND_CH_MAX, 1000000.0f);
  TrendPutF32(data.config, Analog(1) + TREND_CH_MIN, 12345.678f);
  TrendPutF32(data.config, Analog(1) + TREND_CH_MAX, 123456.789f);
  TrendPutF32(data.config, Analog(2) + TREND_CH_MIN, 0.0001f);
  TrendPutF32(data.config, Analog(2) + TREND_CH_MAX, 0.0002f);  // a span below 0.01
  TrendPutF32(data.config, Analog(3) + TREND_CH_MIN, 9.0f);
  TrendPutF32(data.config, Analog(3) + TREND_CH_MAX, 9.0f);  // as the library gave it
  TrendPutI16(data.config, KURVAN_CFG_LEFT_SCALE, 5);  // a channel this trend does not have
  TrendPutI16(data.config, KURVAN_CFG_ABS_TIME, 7);    // non-zero, not one of the choices
  const KurvanChannelData before = data;
  CD d(&data, nullptr);
  EXPECT_EQ(d.channelGrid().TextMatrix(1, CD::COL_MAXIMUM), "1000000.000") << "shown in full";
  d.accept();
  for (uint32_t i = 0; i < KURVAN_CONFIG_BYTES; ++i) ASSERT_EQ(data.config[i], before.config[i]) << "byte " << i;
}

TEST_F(ChannelDialogTest, ScaleAndTimeChoices) {
  struct Case {
    int left, right, time;  // combo indices: 0 "---", i + 1 analog channel i
    int16_t storedLeft, storedRight, storedTime;
  } cases[] = {
      {0, 0, 1, -1, -1, 0},
      {2, 1, 0, 1, 0, 1},
  };
  for (const Case& c : cases) {
    KurvanChannelData data = Data(2, 0);
    CD d(&data, nullptr);
    d.show();
    CPropertyList& p = d.propertyList();
    for (auto [row, index] : {std::pair{int(CD::PROP_LEFT_SCALE), c.left}, {CD::PROP_RIGHT_SCALE, c.right}, {CD::PROP_TIME, c.time}}) {
      QComboBox* combo = OpenEditor<QComboBox>(p, row, 1);
      ASSERT_NE(combo, nullptr) << row;
      combo->setCurrentIndex(index);
      emit combo->activated(index);
    }
    d.accept();
    EXPECT_EQ(TrendGetI16(data.config, KURVAN_CFG_LEFT_SCALE), c.storedLeft);
    EXPECT_EQ(TrendGetI16(data.config, KURVAN_CFG_RIGHT_SCALE), c.storedRight);
    EXPECT_EQ(TrendGetI16(data.config, KURVAN_CFG_ABS_TIME), c.storedTime);
    EXPECT_EQ(TrendGetI16(data.config, KURVAN_CFG_TIME_OPTION), 3) << "passed through";
  }
}

TEST_F(ChannelDialogTest, TheColourCellOpensTheColourDialog) {
  std::vector<uint32_t> offered;
  bool choose = false;
  hooks.colorDialog = [&](QWidget*, uint32_t* colour) {
    offered.push_back(*colour);
    if (choose) *colour = 0xABCDEE;
    return choose;
  };
  KurvanSetUiHooks(&hooks);
  KurvanChannelData data = Data(1, 1);
  CD d(&data, nullptr);
  d.show();
  QToolButton* button = OpenEditor<QToolButton>(d.channelGrid(), 2, CD::COL_COLOUR);
  ASSERT_NE(button, nullptr);
  button->click();  // cancelled
  EXPECT_EQ(offered, std::vector<uint32_t>{0x405060});
  EXPECT_EQ(TrendGetU32(data.config, Digital(0) + TREND_CH_COLOR), 0x405060u);
  choose = true;
  button->click();
  EXPECT_EQ(TrendGetU32(data.config, Digital(0) + TREND_CH_COLOR), 0xABCDEEu);
  EXPECT_EQ(d.channelGrid().CellBackColor(2, CD::COL_COLOUR), 0xABCDEFu);
  // Leaving the cell opens nothing.
  OpenEditor<QWidget>(d.channelGrid(), 1, CD::COL_NAME);
  EXPECT_EQ(offered.size(), 2u);
}

TEST_F(ChannelDialogTest, ConfigModeWritesTheEditedChannelsBack) {
  KurvanHandle h = Make(2, 200, 10, 0, 2, 1);
  onDialog = [](QDialog* dialog) {
    auto* d = static_cast<CD*>(dialog);
    Type(*d, 1, CD::COL_NAME, "Edited");
    d->accept();
    return d->result() == QDialog::Accepted ? KURVAN_ID_OK : KURVAN_ID_CANCEL;
  };
  EXPECT_FALSE(Start("/hConfig=" + MapName(h)));
  EXPECT_EQ(dialogs.size(), 1u);
  Edit(h, [](uint8_t* rec) {
    EXPECT_EQ(TrendGetText(rec, TrendAnalogChannel(0), 17), "Edited");
    EXPECT_EQ(TrendGetU16(rec, TREND_REC_CONFIG_CHANGED), 1);
  });
}

}  // namespace
