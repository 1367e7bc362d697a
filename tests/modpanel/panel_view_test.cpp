// The view of the module panel: places from the add messages, the slot addressing, the input
// words of the fields and boxes, and the output words shown.
#include <gtest/gtest.h>

#include <chrono>

#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QTest>

#include "modpanel/value_edit.h"
#include "support/modpanel_fixture.h"

extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\nleak:libdbus-1.so\n"; }

namespace {

using paneltest::PanelTest;

// A coupler with nine analog input modules.
class FullPanelTest : public PanelTest {
 protected:
  void SetUp() override {
    PanelTest::SetUp();
    Add(TQ500_CODE_COUPLER, 21);
    for (int i = 0; i < 9; ++i) Add(4, 100 + i);
  }
};

TEST_F(FullPanelTest, ACouplerAndNineModulesMakeTenPlacesSideBySide) {
  ASSERT_EQ(view()->placeCount(), 10);
  const int w = view()->panel(0)->width(), h = view()->panel(0)->height();
  EXPECT_GT(w, 20);
  for (int p = 0; p < 10; ++p) EXPECT_EQ(view()->panel(p)->x(), (w - 1) * p) << p;
  EXPECT_EQ(view()->width(), (w - 1) * 10 + 1);
  EXPECT_EQ(view()->height(), h);
  EXPECT_EQ(frame->width(), (w - 1) * 10 + 1);
  EXPECT_EQ(frame->height(), h);
  // The names and setting numbers.
  EXPECT_EQ(view()->panel(0)->GetDlgItemText(TQ500_ID_NAME), "TQ 510");
  EXPECT_EQ(view()->panel(0)->GetDlgItemText(TQ500_ID_SETTING), "21");
  EXPECT_EQ(view()->panel(9)->GetDlgItemText(TQ500_ID_NAME), "TQ 531-0");
  EXPECT_EQ(view()->panel(9)->GetDlgItemText(TQ500_ID_SETTING), "108");

  // An eleventh module changes nothing.
  EXPECT_EQ(Add(1, 200), 0);
  EXPECT_EQ(view()->placeCount(), 10);
  EXPECT_EQ(view()->width(), (w - 1) * 10 + 1);
  EXPECT_EQ(view()->code(9), 4);
}

TEST_F(PanelTest, UnknownCodesTakeNoPlaceAndAnEmptySlotShowsNothing) {
  Add(TQ500_CODE_COUPLER, 22);
  for (int code : {0, 3, 12, 63, 66, 1045, 1050, 1079, -1, 0x10001}) EXPECT_EQ(Add(code, 5), 0) << code;
  EXPECT_EQ(view()->placeCount(), 1);
  Add(TQ500_CODE_EMPTY, TQ500_NO_SETTING);
  ASSERT_EQ(view()->placeCount(), 2);
  EXPECT_EQ(view()->panel(1)->dialogId(), TQ500Dialog::EmptySlot);
  EXPECT_EQ(view()->panel(1)->GetDlgItemText(TQ500_ID_NAME), "");
  EXPECT_EQ(view()->panel(1)->GetDlgItemText(TQ500_ID_SETTING), "");
  EXPECT_FALSE(view()->internal());
}

// The channels each kind shows: the dialog and the first hidden channel control.
TEST_F(PanelTest, EachKindShowsItsDialogAndChannels) {
  struct Case {
    int code;
    TQ500Dialog dialog;
    int firstId;
    int shown;  // of the dialog's channel controls
    int total;
  };
  const Case cases[] = {
      {1, TQ500Dialog::DigitalOut, TQ500_ID_INDICATOR, 8, 8}, {7, TQ500Dialog::DigitalOut, TQ500_ID_INDICATOR, 4, 8},
      {2, TQ500Dialog::DigitalIn, TQ500_ID_CHECK, 4, 8},      {9, TQ500Dialog::DigitalIn, TQ500_ID_CHECK, 4, 8},
      {6, TQ500Dialog::DigitalIn, TQ500_ID_CHECK, 8, 8},      {4, TQ500Dialog::AnalogIn, TQ500_ID_FIELD, 4, 4},
      {139, TQ500Dialog::AnalogIn, TQ500_ID_FIELD, 4, 4},     {14, TQ500Dialog::AnalogIn, TQ500_ID_FIELD, 2, 4},
      {15, TQ500Dialog::AnalogIn, TQ500_ID_FIELD, 2, 4},      {1076, TQ500Dialog::AnalogIn, TQ500_ID_FIELD, 2, 4},
      {5, TQ500Dialog::AnalogOut, TQ500_ID_OUTPUT, 4, 4},     {1048, TQ500Dialog::AnalogOut, TQ500_ID_OUTPUT, 2, 4},
  };
  frame->show();
  int place = 0;
  for (const Case& c : cases) {
    Add(c.code, 300 + place);
    ASSERT_EQ(view()->placeCount(), place + 1);
    CModuleDlg* d = view()->panel(place);
    EXPECT_EQ(d->dialogId(), c.dialog) << c.code;
    for (int i = 0; i < c.total; ++i)
      EXPECT_EQ(d->GetDlgItem(c.firstId + i)->isVisible(), i < c.shown) << c.code << " channel " << i;
    if (++place == 10) {
      frame = std::make_unique<CMainFrame>("/opt/sim/tq500");
      frame->show();
      place = 0;
    }
  }
}

TEST_F(PanelTest, SlotsAddressThePlacesAfterTheCouplerUnlessAnInternalModuleWasAdded) {
  Add(TQ500_CODE_COUPLER, 21);
  Add(1, 101);  // slot 0: digital outputs
  Add(6, 102);  // slot 1: digital inputs
  Output(0, 0, 0x05);
  EXPECT_TRUE(Checked(1, TQ500_ID_INDICATOR));
  EXPECT_FALSE(Checked(1, TQ500_ID_INDICATOR + 1));
  EXPECT_TRUE(Checked(1, TQ500_ID_INDICATOR + 2));
  Item<QCheckBox>(2, TQ500_ID_CHECK + 7)->setChecked(true);
  Item<QCheckBox>(2, TQ500_ID_CHECK + 1)->setChecked(true);
  EXPECT_EQ(Input(1, 0), 0x82u);
  // Out of range: 0 and nothing changed.
  EXPECT_EQ(Input(9, 0), 0u);
  EXPECT_EQ(Input(1, 4), 0u);
  EXPECT_EQ(Input(2, 0), 0u);  // no such place
  Output(0, 4, 0xFF);
  Output(9, 0, 0xFF);
  EXPECT_FALSE(Checked(1, TQ500_ID_INDICATOR + 1));
  EXPECT_EQ(frame->send(TQ500_MSG_GET_INPUT, 0x10100, 0), 0);  // slot 257

  PanelTest::SetUp();
  Add(1046, 5);
  Add(1049, 6);
  EXPECT_TRUE(view()->internal());
  auto* field = Item<CValueEdit>(0, TQ500_ID_FIELD);
  field->setText("2");
  field->setModified(true);
  field->OnTimer();
  EXPECT_EQ(Input(0, 0), 2000u);  // slot 0 is the first place
  Item<QCheckBox>(1, TQ500_ID_CHECK + 1)->setChecked(true);
  EXPECT_EQ(Input(1, 0), 2u);
}

TEST_F(PanelTest, OutputWordsShowAsNumbersIndicatorsAndChannelDirections) {
  Add(TQ500_CODE_COUPLER, 21);
  Add(5, 110);
  Add(1, 111);
  struct Case {
    int32_t word;
    const char* shown;
  };
  for (const Case& c : {Case{500, "0.50"}, Case{-2000, "-2.00"}, Case{12345, "12.35"}, Case{1234567, "1235"},
                        Case{-3500, "-3.50"}, Case{0, "0.00"}}) {
    Output(0, 3, c.word);
    EXPECT_EQ(Item<QLineEdit>(1, TQ500_ID_OUTPUT + 3)->text(), c.shown) << c.word;
  }
  EXPECT_EQ(Item<QLineEdit>(1, TQ500_ID_OUTPUT)->text(), "");  // channel 0 untouched
  EXPECT_TRUE(Item<QLineEdit>(1, TQ500_ID_OUTPUT)->isReadOnly());

  // 0x05 on a "TQ 561": indicators 1 and 3.
  Output(1, 0, 0x05);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(Checked(2, TQ500_ID_INDICATOR + i), i == 0 || i == 2) << i;
  Output(1, 0, 0x80);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(Checked(2, TQ500_ID_INDICATOR + i), i == 7) << i;
  // Clicks do not change an indicator.
  frame->show();
  auto* ind = Item<QRadioButton>(2, TQ500_ID_INDICATOR);
  QTest::mouseClick(ind, Qt::LeftButton);
  EXPECT_FALSE(ind->isChecked());

  // DIDO: 0b0101 makes channel 1 an output that is on, channel 2 an input.
  PanelTest::SetUp();
  Add(1049, 7);
  Item<QCheckBox>(0, TQ500_ID_CHECK)->setChecked(true);
  Output(0, 0, 0b0101);
  auto* di1 = Item<QAbstractButton>(0, TQ500_ID_CHECK);
  auto* di2 = Item<QAbstractButton>(0, TQ500_ID_CHECK + 1);
  auto* do1 = Item<QAbstractButton>(0, TQ500_ID_INDICATOR);
  auto* do2 = Item<QAbstractButton>(0, TQ500_ID_INDICATOR + 1);
  EXPECT_EQ(di1->text(), "di1");
  EXPECT_EQ(do2->text(), "do2");
  EXPECT_TRUE(do1->isEnabled());
  EXPECT_TRUE(do1->isChecked());
  EXPECT_FALSE(di1->isEnabled());
  EXPECT_FALSE(di1->isChecked());
  EXPECT_TRUE(di2->isEnabled());
  EXPECT_FALSE(do2->isEnabled());
  EXPECT_FALSE(do2->isChecked());
  EXPECT_EQ(Input(0, 0), 0u);
  // Both outputs, the second on.
  Output(0, 0, 0b1110);
  EXPECT_FALSE(do1->isChecked());
  EXPECT_TRUE(do2->isChecked());
  EXPECT_FALSE(di2->isEnabled());
}

// Runs the event loop until `done` holds, for at most `ms` milliseconds.
template <class Done>
bool Within(int ms, Done done) {
  QElapsedTimer t;
  t.start();
  while (!done() && t.elapsed() < ms) QTest::qWait(10);
  return done();
}

TEST_F(PanelTest, AFieldTakesItsTextOneSecondAfterTheLastKey) {
  Add(TQ500_CODE_COUPLER, 21);
  Add(4, 120);
  frame->show();
  auto* field = Item<CValueEdit>(1, TQ500_ID_FIELD + 1);
  ASSERT_NE(field, nullptr);
  EXPECT_EQ(Input(0, 1), 0u);  // never typed into
  field->setFocus();
  QElapsedTimer sinceKey;
  sinceKey.start();
  QTest::keyClicks(field, "7");
  EXPECT_TRUE(field->timerRunning());
  EXPECT_EQ(Input(0, 1), 0u);
  EXPECT_TRUE(Within(30000, [&] { return Input(0, 1) == 7000u; }));
  EXPECT_GE(sinceKey.elapsed(), 900);  // (a coarse timer may come up to 5 % early)
  field->selectAll();
  sinceKey.restart();
  QTest::keyClicks(field, ",5");
  EXPECT_EQ(Input(0, 1), 7000u);  // the old value until the second has passed
  // The old value stays for as long as the field's timer runs, however slowly the events
  // come: the timer fires only inside the event loop, so between two rounds of it the value
  // and the timer agree.
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (field->timerRunning() && std::chrono::steady_clock::now() < end) {
    EXPECT_EQ(Input(0, 1), 7000u);
    QTest::qWait(20);
  }
  EXPECT_TRUE(Within(30000, [&] { return Input(0, 1) == 500u; }));
  EXPECT_GE(sinceKey.elapsed(), 900);  // (a coarse timer may come up to 5 % early)
  EXPECT_EQ(field->text(), ",5");  // left as typed
  EXPECT_FALSE(field->timerRunning());
  // Escape and Enter in a field leave the panel as it is.
  QTest::keyClick(field, Qt::Key_Escape);
  QTest::keyClick(field, Qt::Key_Return);
  EXPECT_TRUE(view()->panel(1)->isVisible());
  EXPECT_TRUE(frame->isVisible());
}

}  // namespace
