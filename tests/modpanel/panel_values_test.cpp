// The values of the module panel: what a typed text answers as input word, and how output
// numbers are formatted, whatever the process's locale.
#include <gtest/gtest.h>

#include "modpanel/number_text.h"
#include "modpanel/panel_values.h"
#include "support/process_locale.h"

namespace {

uint32_t WordOf(const char* text) { return TQ500_InputWord(TQ500_ParseInput(text)); }

// The receiver's number: bits 28..30 restored from bit 31.
int32_t NumberOf(uint32_t w) {
  return static_cast<int32_t>((w & 0x80000000u) ? w | 0x70000000u : w & ~0x70000000u);
}

TEST(PanelInput, TypedTextsGiveTheirInputWords) {
  struct Case {
    const char* text;
    uint32_t word;
  };
  const Case cases[] = {
      {"", 0},
      {"   ", 0},
      {"abc", 0},
      {"1", 1000},
      {",5", 500},
      {"-1.5", 0x8FFFFA24u},
      {"0.0005", 1},             // halves away from zero
      {"-0.0005", 0x8FFFFFFFu},  // = -1
      {"0.0004", 0},
      {"12.3456", 12346},
      {"F", 0x40000000u},
      {"  f  ", 0x40000000u},
      {"f12", 0x40000000u},      // a fault carries no value
      {"#12,5", 12500u | 0x20000000u},
      {"#-1", 0x8FFFFC18u | 0x20000000u},
      {"3.5abc", 3500},           // the leading number, the rest ignored
      {"1e2", 100000},
      {"+2", 2000},
      {"268435.455", 0x0FFFFFFFu},
      {"300000", 0x0FFFFFFFu},    // held at the limit, never wrapped
      {"-300000", 0x80000001u},   // = -268435455
      {"1e300", 0x0FFFFFFFu},
      {"-1e300", 0x80000001u},
      {"inf", 0x0FFFFFFFu},
      {"nan", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(WordOf(c.text), c.word) << '"' << c.text << '"';
  EXPECT_EQ(NumberOf(WordOf("-1.5")), -1500);
  EXPECT_EQ(NumberOf(WordOf("-300000")), -268435455);
  EXPECT_EQ(NumberOf(WordOf("300000")), 268435455);
}

TEST(PanelInput, ParsingKeepsTheFlagsAndIsFreeOfTheLocale) {
  TQ500Input in = TQ500_ParseInput("");
  EXPECT_TRUE(in.empty);
  in = TQ500_ParseInput(" #7 ");
  EXPECT_FALSE(in.empty);
  EXPECT_TRUE(in.raw);
  EXPECT_FALSE(in.fault);
  EXPECT_FLOAT_EQ(in.value, 7.0f);
  in = TQ500_ParseInput("Fault");
  EXPECT_TRUE(in.fault);
  EXPECT_EQ(in.value, 0.0f);

  ProcessLocale german("de_DE.UTF-8");
  if (!german.set) GTEST_SKIP() << "no German locale here";
  EXPECT_EQ(WordOf("1.25"), 1250u);
  EXPECT_EQ(WordOf("1,25"), 1250u);
}

TEST(NumberText, FormatsWithFewerDecimalsUntilTheTextFits) {
  struct Case {
    double value;
    int width, decimals;
    const char* text;
  };
  const Case cases[] = {
      {0.5, 4, 2, "0.50"},        {-2.0, 4, 2, "-2.00"},     {12.345000267, 4, 2, "12.35"},
      {1234.567, 4, 2, "1235"},   {-3.5, 4, 2, "-3.50"},     {99.99, 4, 2, "99.99"},
      {999.99, 4, 2, "1000"},   {123456.0, 4, 2, "123456"}, {0.0, 4, 2, "0.00"},
      {-0.001, 4, 2, "-0.00"},    {5.0, -4, 2, "5.000"},      {123.0, -4, 2, "123"},
      {1.5, 4, 0, "2"},
  };
  for (const Case& c : cases) {
    CNumberText t;
    EXPECT_EQ(t.Format(c.value, c.width, c.decimals), c.text) << c.value << " " << c.width << " " << c.decimals;
  }
  CNumberText comma(',');
  EXPECT_EQ(comma.Format(-1.25, 4, 2), "-1,25");
  ProcessLocale german("de_DE.UTF-8");
  CNumberText t;
  EXPECT_EQ(t.Format(0.5, 4, 2), "0.50");
}

}  // namespace
