// The texts of the channel for PC tools: frame text both ways, the frames built from typed
// requests, how the communication view shows a frame, and the channel's names.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "shell/com_text.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct Decoded {
  bool ok;
  Bytes bytes;
  uint16_t length;
};

Decoded Decode(const std::string& text, size_t capacity = 500) {
  std::vector<uint8_t> out(capacity + 4, 0xEE);
  uint16_t length = 0xFFFF;
  const bool ok = SimComDecodeText(text.data(), text.size(), out.data(), capacity, &length);
  for (size_t i = capacity; i < out.size(); ++i) EXPECT_EQ(out[i], 0xEE) << "written past the buffer";
  if (!ok) {
    for (size_t i = 0; i < capacity; ++i) EXPECT_EQ(out[i], 0xEE) << "a refused frame writes nothing";
    return {false, {}, length};
  }
  return {true, Bytes(out.begin(), out.begin() + (length & 0x7FFF)), length};
}

TEST(ComText, FrameTextDecodesByNibblesWithTheBinaryMark) {
  struct Case {
    std::string text;
    Bytes bytes;
    uint16_t length;
  } cases[] = {
      {"043030393805", {0x04, 0x30, 0x30, 0x39, 0x38, 0x05}, 6},
      {"#0103000:0001:408", {0x01, 0x03, 0x00, 0x0A, 0x00, 0x01, 0xA4, 0x08}, 0x8008},
      {"#", {}, 0x8000},
      {"", {}, 0},
      {"0?1", {0x0F}, 1},                  // an odd last character is ignored
      {"A0", {0x10}, 1},                   // high nibble: the low 4 bits of 'A' (0x41)
      {"0A", {0x11}, 1},                   // low nibble: 'A' - '0', as the tools code it
  };
  for (const Case& c : cases) {
    const Decoded d = Decode(c.text);
    ASSERT_TRUE(d.ok) << c.text;
    EXPECT_EQ(d.bytes, c.bytes) << c.text;
    EXPECT_EQ(d.length, c.length) << c.text;
  }
  // A frame that does not fit is refused whole.
  EXPECT_TRUE(Decode("#" + std::string(1000, '0')).ok);
  EXPECT_FALSE(Decode("#" + std::string(1002, '0')).ok);
  EXPECT_FALSE(Decode(std::string(1022, '1')).ok) << "a full share's text";
  EXPECT_FALSE(Decode("0102", 1).ok);
}

TEST(ComText, EncodingIsTheInverseOfDecoding) {
  const Bytes frame = {0x00, 0x0A, 0xA4, 0xFF, 0x3C};
  char text[16];
  size_t n = 0;
  ASSERT_TRUE(SimComEncodeText(frame.data(), frame.size(), true, text, sizeof text, &n));
  EXPECT_STREQ(text, "#000::4??3<");
  EXPECT_EQ(n, 11u);
  const Decoded d = Decode(text);
  EXPECT_EQ(d.bytes, frame);
  EXPECT_EQ(d.length, 0x8005);
  ASSERT_TRUE(SimComEncodeText(frame.data(), frame.size(), false, text, 11, &n));
  EXPECT_EQ(n, 10u);
  EXPECT_FALSE(SimComEncodeText(frame.data(), frame.size(), true, text, 11, &n)) << "no room for the NUL";
  ASSERT_TRUE(SimComEncodeText(frame.data(), 0, false, text, 1, &n));
  EXPECT_STREQ(text, "");
}

TEST(ComText, TypedRequestsBecomeDeviceFrames) {
  struct Case {
    const char* text;
    bool ok;
    Bytes frame;
    uint16_t length;
  } cases[] = {
      // Binary: the bytes, the check word appended unless it is there.
      {"#01 06 00 10 00 2A", true, {0x01, 0x06, 0x00, 0x10, 0x00, 0x2A, 0x09, 0xD0}, 0x8008},
      {"#01 06 00 10 00 2A 09 D0", true, {0x01, 0x06, 0x00, 0x10, 0x00, 0x2A, 0x09, 0xD0}, 0x8008},
      {"#010600100 02a", false, {}, 0},  // an odd group of more than two digits
      {"#0106,0010,002A", true, {0x01, 0x06, 0x00, 0x10, 0x00, 0x2A, 0x09, 0xD0}, 0x8008},
      {"#1 3", true, {0x01, 0x03, 0x40, 0x21}, 0x8004},
      {"#01 0G", false, {}, 0},
      {"#", false, {}, 0},
      {"", false, {}, 0},
      // Text: a write between STX and ETX with its check byte, a read closed by ENQ.
      {"98=F", true, {0x04, '0', '0', 0x02, '9', '8', '=', 'F', 0x03, 0x79}, 10},
      {"18", true, {0x04, '0', '0', '1', '8', 0x05}, 6},
  };
  for (const Case& c : cases) {
    uint8_t out[500];
    uint16_t length = 0;
    ASSERT_EQ(SimComBuildInjected(c.text, out, sizeof out, &length), c.ok) << c.text;
    if (!c.ok) continue;
    EXPECT_EQ(Bytes(out, out + (length & 0x7FFF)), c.frame) << c.text;
    EXPECT_EQ(length, c.length) << c.text;
  }
  // Frames that would not fit the request are refused whole.
  uint8_t out[500];
  uint16_t length = 0;
  EXPECT_TRUE(SimComBuildInjected(std::string(496, 'x'), out, sizeof out, &length));
  EXPECT_FALSE(SimComBuildInjected(std::string(497, 'x'), out, sizeof out, &length));
  EXPECT_TRUE(SimComBuildInjected(std::string(494, 'x') + "=", out, sizeof out, &length) == false);
  EXPECT_TRUE(SimComBuildInjected(std::string(493, 'x') + "=", out, sizeof out, &length));
  std::string hex = "#";
  for (int i = 0; i < 499; ++i) hex += "00 ";
  EXPECT_FALSE(SimComBuildInjected(hex, out, sizeof out, &length)) << "no room for the check word";
}

TEST(ComText, TheViewShowsBinaryBytesAndTheTextOfTextFrames) {
  struct Case {
    Bytes frame;
    uint16_t flag;
    const char* shown;
  } cases[] = {
      {{0x01, 0x06, 0x00, 0x10, 0x00, 0x2A, 0x09, 0xD0}, 0x8000, "# 01 06 00 10 00 2A 09 D0 "},
      {{0x04, 0x05, 0x01, 0x02, 0x03, 0x07}, 0x8000, "# 01 02 03 "},  // EOT header and last byte left out
      {{0x04, 0x05, 0x01}, 0x8000, "# 04 05 01 "},
      {{}, 0x8000, "# "},
      {{0x06}, 0, "(ACK)"},
      {{0x15}, 0, "(NAK)"},
      {{0x02, '9', '8', '=', 'F', 0x03, 0x79}, 0, "98=F"},
      {{0x04, '0', '0', '1', '8', 0x05}, 0, "18"},
      {{0x04, '0', '0', 0x02, '9', '8', '=', 'F', 0x03, 0x79}, 0, "98=F"},
      {{0x04, '0'}, 0, ""},
      {{}, 0, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SimComViewText(c.frame.data(), static_cast<uint16_t>(c.frame.size() | c.flag)), c.shown);
  }
}

TEST(ComText, NamesCarryTheWayAndTwoDigits) {
  EXPECT_EQ(SimComChannelName("Share", false, "Com", 10), "Share::SimComRequest.Com10");
  EXPECT_EQ(SimComChannelName("Event", true, "Adr", 1), "Event::SimComResponse.Adr01");
  EXPECT_EQ(SimComChannelName("Class", false, "Adr", 247), "Class::SimComRequest.Adr247");
  EXPECT_EQ(SimComResponseName("Class::Mx74Main"), "Class::Mx74Main.Response");
}

}  // namespace
