#include "tools/engbuild/eng_builder.h"

#include <algorithm>
#include <cstring>

#include "runtime/fb_store.h"
#include "runtime/fw_image.h"

namespace {

// Appends little-endian values to the image, refusing to pass the end of the lists' room.
class ImageWriter {
 public:
  ImageWriter(std::vector<uint8_t>& image, uint32_t pos, uint32_t limit)
      : image_(image), pos_(pos), limit_(limit) {}
  void u8(uint8_t v) {
    if (pos_ + 1 > limit_) {
      ok_ = false;
      return;
    }
    image_[pos_++] = v;
  }
  void u16(uint16_t v) {
    u8(static_cast<uint8_t>(v));
    u8(static_cast<uint8_t>(v >> 8));
  }
  void u32(uint32_t v) {
    for (int i = 0; i < 4; ++i) u8(static_cast<uint8_t>(v >> (8 * i)));
  }
  uint32_t pos() const { return pos_; }
  bool ok() const { return ok_; }

 private:
  std::vector<uint8_t>& image_;
  uint32_t pos_, limit_;
  bool ok_ = true;
};

std::string padText(std::string_view text) {
  std::string s(text.substr(0, FB_TEXT_LEN));
  s.resize(FB_TEXT_LEN, ' ');
  return s;
}

}  // namespace

bool EngBuilder::fail(std::string message) {
  error_ = std::move(message);
  return false;
}

void EngBuilder::setOrderCode(std::string_view code) {
  std::memset(orderCode_, '0', sizeof orderCode_);
  std::memcpy(orderCode_, code.data(), std::min(code.size(), sizeof orderCode_));
}

uint16_t EngBuilder::typeByName(std::string_view name) {
  for (uint16_t type = 1; type < FB_TYPE_COUNT; ++type) {
    const FbTypeRecord* rec = FB_GetType(type);
    if (!rec || !rec->tmpl || rec->tmpl->texts.empty()) continue;
    std::string_view own = rec->tmpl->texts[0];
    while (!own.empty() && own.back() == ' ') own.remove_suffix(1);
    if (own == name) return type;
  }
  return 0;
}

bool EngBuilder::addBlock(uint16_t number, uint16_t type, uint8_t group, uint16_t after) {
  if (number == 0 || number > FB_MAX_BLOCK) {
    return fail("block number " + std::to_string(number) + " is outside 1..1950");
  }
  if (block(number)) return fail("block " + std::to_string(number) + " is given twice");
  const FbTypeRecord* rec = FB_GetType(type);
  if (!rec || !rec->tmpl) return fail("type " + std::to_string(type) + " is not in use");
  const FbTemplate& t = *rec->tmpl;
  EngBlockEntry b;
  b.number = number;
  b.type = type;
  b.group = group;
  b.after = after;
  b.analogIn.assign(t.analogInputs, {0, 0});
  b.digitalIn.assign(t.digitalInputs, {0, 0});
  b.floats.assign(t.floatParams.begin(), t.floatParams.end());
  b.words.assign(t.wordParams.begin(), t.wordParams.end());
  b.longs.assign(t.longValues.begin(), t.longValues.end());
  b.values.assign(t.wordValues.begin(), t.wordValues.end());
  for (const char* text : t.texts) b.texts.push_back(padText(text));
  b.state.assign(t.stateWords.begin(), t.stateWords.end());
  b.size = t.size;
  b.workWords = t.workWords;
  b.analogOutputs = t.analogOutputs;
  b.digitalOutputs = t.digitalOutputs;
  blocks_.push_back(std::move(b));
  return true;
}

EngBlockEntry* EngBuilder::block(uint16_t number) {
  for (EngBlockEntry& b : blocks_) {
    if (b.number == number) return &b;
  }
  return nullptr;
}

template <typename T>
bool EngBuilder::setItem(uint16_t number, std::vector<T> EngBlockEntry::*member, uint16_t index,
                         T value, const char* what) {
  EngBlockEntry* b = block(number);
  if (!b) return fail("block " + std::to_string(number) + " does not exist");
  std::vector<T>& items = b->*member;
  if (index == 0 || index > items.size()) {
    return fail(std::string(what) + " " + std::to_string(index) + " of block " +
                std::to_string(number) + " is outside 1.." + std::to_string(items.size()));
  }
  items[index - 1] = std::move(value);
  return true;
}

bool EngBuilder::wireAnalog(uint16_t number, uint16_t index, uint16_t source, uint16_t output) {
  return setItem(number, &EngBlockEntry::analogIn, index, std::make_pair(source, output),
                 "analog input");
}
bool EngBuilder::wireDigital(uint16_t number, uint16_t index, uint16_t source, uint16_t output) {
  return setItem(number, &EngBlockEntry::digitalIn, index, std::make_pair(source, output),
                 "digital input");
}
bool EngBuilder::setFloat(uint16_t number, uint16_t index, float value) {
  return setItem(number, &EngBlockEntry::floats, index, value, "float parameter");
}
bool EngBuilder::setWord(uint16_t number, uint16_t index, uint16_t value) {
  return setItem(number, &EngBlockEntry::words, index, value, "word parameter");
}
bool EngBuilder::setLong(uint16_t number, uint16_t index, uint32_t value) {
  return setItem(number, &EngBlockEntry::longs, index, value, "long value");
}
bool EngBuilder::setValue(uint16_t number, uint16_t index, uint16_t value) {
  return setItem(number, &EngBlockEntry::values, index, value, "word value");
}
bool EngBuilder::setText(uint16_t number, uint16_t index, std::string_view text) {
  return setItem(number, &EngBlockEntry::texts, index, padText(text), "text");
}
bool EngBuilder::setState(uint16_t number, uint16_t index, uint16_t value) {
  return setItem(number, &EngBlockEntry::state, index, value, "state word");
}

bool EngBuilder::addParamRecord(uint16_t number, std::vector<uint16_t> data) {
  if (number != FW_PARAM_SYSTEM_BLOCK && !block(number)) {
    return fail("parameter record for block " + std::to_string(number) + ", which does not exist");
  }
  if (data.size() + 2 > FW_PARAM_MAX_WORDS) {
    return fail("parameter record for block " + std::to_string(number) + " has more than 98 words");
  }
  params_.emplace_back(number, std::move(data));
  return true;
}

bool EngBuilder::build(std::vector<uint8_t>& image) {
  image.assign(FW_IMAGE_SIZE, 0);
  std::memcpy(&image[FW_IMG_TAG], FW_IMAGE_TAG, sizeof FW_IMAGE_TAG);
  std::memcpy(&image[FW_IMG_ORDER_CODE], orderCode_, sizeof orderCode_);
  if (!zeroIdent_) std::memcpy(&image[FW_IMG_IDENT], FW_FIRMWARE_IDENT, FW_IMG_IDENT_LEN);
  image[FW_IMG_PRESENT] = 1;
  image[FW_IMG_RUN_MODE] = runMode_;
  image[FW_IMG_LANGUAGE] = language_;
  image[FW_IMG_ADDRESS] = 1;

  ImageWriter w(image, FW_IMG_BLOCK_LIST, FW_IMG_LISTS_END);
  for (const EngBlockEntry& b : blocks_) {
    for (const auto& list : {b.analogIn, b.digitalIn}) {
      for (const auto& [src, out] : list) {
        if (out > 0xFF) {
          return fail("block " + std::to_string(b.number) + " names output " +
                      std::to_string(out) + ", which a record cannot hold");
        }
      }
    }
    w.u16(b.number);
    w.u16(b.size);
    w.u8(static_cast<uint8_t>(b.type));
    w.u8(b.group);
    w.u16(b.after);
    w.u8(static_cast<uint8_t>(b.analogOutputs));
    w.u8(static_cast<uint8_t>(b.digitalOutputs));
    for (const auto* list : {&b.analogIn, &b.digitalIn}) {
      w.u8(static_cast<uint8_t>(list->size()));
      for (const auto& [src, out] : *list) {
        w.u16(src);
        w.u8(static_cast<uint8_t>(out));
      }
    }
    w.u8(static_cast<uint8_t>(b.floats.size()));
    for (float f : b.floats) {
      uint32_t bits;
      std::memcpy(&bits, &f, sizeof bits);
      w.u32(bits);
    }
    w.u8(static_cast<uint8_t>(b.words.size()));
    for (uint16_t v : b.words) w.u8(static_cast<uint8_t>(v));
    w.u8(static_cast<uint8_t>(b.longs.size()));
    for (uint32_t v : b.longs) w.u32(v);
    w.u8(static_cast<uint8_t>(b.values.size()));
    for (uint16_t v : b.values) w.u16(v);
    w.u8(static_cast<uint8_t>(b.texts.size()));
    for (const std::string& t : b.texts) {
      for (char c : t) w.u8(static_cast<uint8_t>(c));
    }
    w.u16(static_cast<uint16_t>(b.state.size()));
    for (uint16_t v : b.state) w.u16(v);
    w.u16(b.workWords);
  }
  w.u16(0);
  for (const auto& [number, data] : params_) {
    w.u16(number);
    w.u16(static_cast<uint16_t>(data.size() + 2));
    for (uint16_t v : data) w.u16(v);
  }
  w.u16(0);
  if (w.pos() % 2) w.u8(0);
  if (!w.ok()) return fail("the block list and the parameter list do not fit the image");
  usedLength_ = w.pos();
  return true;
}
