#include "tools/engbuild/eng_names.h"

#include <charconv>

#include "opui/op_objects.h"
#include "opui/op_objects2.h"
#include "opui/op_userpage.h"

namespace {

const EngSettingName kNames[] = {
    // User page: the bars that stay visible, the background picture, the places of the objects.
    {OP_TYPE_VUSER, "topbar", EngItem::Value, VUSER_WORD_TOPBAR},
    {OP_TYPE_VUSER, "title", EngItem::Value, VUSER_WORD_TITLE},
    {OP_TYPE_VUSER, "picture", EngItem::Text, VUSER_TEXT_PICTURE},
    {OP_TYPE_VUSER, "x", EngItem::Value, VUSER_WORD_FIRST_PLACE, OP_VIEW_SLOTS, 2},
    {OP_TYPE_VUSER, "y", EngItem::Value, VUSER_WORD_FIRST_PLACE + 1, OP_VIEW_SLOTS, 2},
    // Text object.
    {OP_TYPE_TXTOBJ, "value", EngItem::Float, 1},
    {OP_TYPE_TXTOBJ, "inkind", EngItem::Value, TXTOBJ_WORD_INKIND},
    {OP_TYPE_TXTOBJ, "mode", EngItem::Value, TXTOBJ_WORD_MODE},
    {OP_TYPE_TXTOBJ, "format", EngItem::Value, TXTOBJ_WORD_FORMAT},
    {OP_TYPE_TXTOBJ, "font", EngItem::Value, TXTOBJ_WORD_FONT},
    {OP_TYPE_TXTOBJ, "colour", EngItem::LongFloat, TXTOBJ_LONG_COLOUR},
    {OP_TYPE_TXTOBJ, "bkcolour", EngItem::LongFloat, TXTOBJ_LONG_BKCOLOUR},
    {OP_TYPE_TXTOBJ, "prefix", EngItem::Text, TXTOBJ_TEXT_PREFIX},
    {OP_TYPE_TXTOBJ, "suffix", EngItem::Text, TXTOBJ_TEXT_SUFFIX},
    // Parameter field.
    {OP_TYPE_PAROBJ, "target", EngItem::Value, PAROBJ_WORD_BLOCK},
    {OP_TYPE_PAROBJ, "parno", EngItem::Value, PAROBJ_WORD_PARNO},
    {OP_TYPE_PAROBJ, "kind", EngItem::Value, PAROBJ_WORD_KIND},
    {OP_TYPE_PAROBJ, "inkind", EngItem::Value, PAROBJ_WORD_INKIND},
    {OP_TYPE_PAROBJ, "decimals", EngItem::Value, PAROBJ_WORD_DECIMALS},
    {OP_TYPE_PAROBJ, "font", EngItem::Value, PAROBJ_WORD_FONT},
    {OP_TYPE_PAROBJ, "textid", EngItem::Value, PAROBJ_WORD_TEXTID},
    {OP_TYPE_PAROBJ, "colour", EngItem::LongFloat, PAROBJ_LONG_COLOUR},
    {OP_TYPE_PAROBJ, "bkcolour", EngItem::LongFloat, PAROBJ_LONG_BKCOLOUR},
    {OP_TYPE_PAROBJ, "prefix", EngItem::Text, PAROBJ_TEXT_PREFIX},
    {OP_TYPE_PAROBJ, "suffix", EngItem::Text, PAROBJ_TEXT_SUFFIX},
    // Message block.
    {OP_TYPE_VMSG, "time", EngItem::Float, 1},
    {OP_TYPE_VMSG, "mode", EngItem::Value, VMSG_WORD_MODE},
    {OP_TYPE_VMSG, "title", EngItem::Text, VMSG_TEXT_TITLE},
    {OP_TYPE_VMSG, "line1a", EngItem::Text, VMSG_TEXT_TITLE + 1},
    {OP_TYPE_VMSG, "line1b", EngItem::Text, VMSG_TEXT_TITLE + 2},
    {OP_TYPE_VMSG, "line2a", EngItem::Text, VMSG_TEXT_TITLE + 3},
    {OP_TYPE_VMSG, "line2b", EngItem::Text, VMSG_TEXT_TITLE + 4},
    {OP_TYPE_VMSG, "icon", EngItem::Text, VMSG_TEXT_ICON},
    // Picture object.
    {OP_TYPE_IMGOBJ, "mode", EngItem::Word, IMGOBJ_WORD_MODE},
    {OP_TYPE_IMGOBJ, "state", EngItem::Word, IMGOBJ_WORD_STATE},
    {OP_TYPE_IMGOBJ, "picture0", EngItem::Text, IMGOBJ_TEXT_PICTURE0},
    {OP_TYPE_IMGOBJ, "picture1", EngItem::Text, IMGOBJ_TEXT_PICTURE1},
    // Programmer progress object.
    {OP_TYPE_PROOBJ, "width", EngItem::Value, PROOBJ_WORD_WIDTH},
    {OP_TYPE_PROOBJ, "text", EngItem::Value, PROOBJ_WORD_TEXT},
    {OP_TYPE_PROOBJ, "frame", EngItem::Value, PROOBJ_WORD_FRAME},
    {OP_TYPE_PROOBJ, "kind", EngItem::Value, PROOBJ_WORD_KIND},
    {OP_TYPE_PROOBJ, "bkcolour", EngItem::LongFloat, PROOBJ_LONG_BK},
    {OP_TYPE_PROOBJ, "barcolour", EngItem::LongFloat, PROOBJ_LONG_BAR},
    {OP_TYPE_PROOBJ, "textcolour", EngItem::LongFloat, PROOBJ_LONG_TEXT},
    // Bar object.
    {OP_TYPE_BAROBJ, "width", EngItem::Value, BAROBJ_WORD_WIDTH},
    {OP_TYPE_BAROBJ, "height", EngItem::Value, BAROBJ_WORD_HEIGHT},
    {OP_TYPE_BAROBJ, "vertical", EngItem::Value, BAROBJ_WORD_ORIENT},
    {OP_TYPE_BAROBJ, "frame", EngItem::Value, BAROBJ_WORD_FRAME},
    {OP_TYPE_BAROBJ, "text", EngItem::Value, BAROBJ_WORD_TEXT},
    {OP_TYPE_BAROBJ, "decimals", EngItem::Value, BAROBJ_WORD_DECIMALS},
    {OP_TYPE_BAROBJ, "font", EngItem::Value, BAROBJ_WORD_FONT},
    {OP_TYPE_BAROBJ, "start", EngItem::LongFloat, BAROBJ_LONG_START},
    {OP_TYPE_BAROBJ, "end", EngItem::LongFloat, BAROBJ_LONG_END},
    {OP_TYPE_BAROBJ, "bkcolour", EngItem::LongFloat, BAROBJ_LONG_BK},
    {OP_TYPE_BAROBJ, "barcolour", EngItem::LongFloat, BAROBJ_LONG_BAR},
    {OP_TYPE_BAROBJ, "textcolour", EngItem::LongFloat, BAROBJ_LONG_TEXT},
    {OP_TYPE_BAROBJ, "unit", EngItem::Text, BAROBJ_TEXT_UNIT},
    // Trend object: curves 1..4.
    {OP_TYPE_TRDOBJ, "min", EngItem::Float, TRDOBJ_FLOAT_MIN1, OP_TREND_CURVES, 2},
    {OP_TYPE_TRDOBJ, "max", EngItem::Float, TRDOBJ_FLOAT_MIN1 + 1, OP_TREND_CURVES, 2},
    {OP_TYPE_TRDOBJ, "colour", EngItem::Float, TRDOBJ_FLOAT_COLOUR1, OP_TREND_CURVES},
    {OP_TYPE_TRDOBJ, "name", EngItem::Text, TRDOBJ_TEXT_NAME1, OP_TREND_CURVES},
    {OP_TYPE_TRDOBJ, "bkcolour", EngItem::Float, TRDOBJ_FLOAT_BK},
    {OP_TYPE_TRDOBJ, "period", EngItem::Float, TRDOBJ_FLOAT_PERIOD},
    {OP_TYPE_TRDOBJ, "lblstep", EngItem::Value, TRDOBJ_WORD_LBLSTEP},
    {OP_TYPE_TRDOBJ, "xstep", EngItem::Value, TRDOBJ_WORD_XSTEP},
    {OP_TYPE_TRDOBJ, "legend", EngItem::Value, TRDOBJ_WORD_LEGEND},
};

}  // namespace

const EngSettingName* EngFindSetting(uint16_t type, std::string_view name, uint16_t* index) {
  for (const EngSettingName& n : kNames) {
    if (n.type != type) continue;
    const std::string_view base(n.name);
    if (n.count == 0) {
      if (name != base) continue;
      if (index) *index = n.index;
      return &n;
    }
    // A numbered row: the base name and a row number 1..count.
    if (name.size() <= base.size() || name.substr(0, base.size()) != base) continue;
    const std::string_view digits = name.substr(base.size());
    unsigned row = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), row);
    if (ec != std::errc{} || end != digits.data() + digits.size() || row < 1 || row > n.count) continue;
    if (index) *index = static_cast<uint16_t>(n.index + (row - 1) * n.step);
    return &n;
  }
  return nullptr;
}
