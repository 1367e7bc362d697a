#include "tools/engbuild/eng_tool.h"

#include <cstring>
#include <utility>

#include "blocks/register_all.h"
#include "opui/op_blocktypes.h"
#include "runtime/fb_schedule.h"
#include "runtime/fb_store.h"
#include "runtime/fw_image.h"
#include "tools/engbuild/eng_builder.h"

namespace {

const char* loadErrorText(FwImageError e) {
  switch (e) {
    case FwImageError::None: return "none";
    case FwImageError::NoTag: return "no MX7N tag";
    case FwImageError::Identity: return "identification of another firmware";
    case FwImageError::EngineeringValue: return "engineering value not below 120000";
    case FwImageError::Truncated: return "a list runs into the login block";
    case FwImageError::BlockNumber: return "block number above 1950 or given twice";
    case FwImageError::Type: return "block type not in use";
    case FwImageError::RecordField: return "a count or size beyond its cap";
    case FwImageError::TemplateMismatch: return "counts or size differ from the type";
    case FwImageError::HeapFull: return "the blocks do not fit the heaps";
    case FwImageError::ParamRecord: return "bad parameter-list record";
    case FwImageError::ParamRoom: return "the parameter list does not fit";
    case FwImageError::Connections: return "an input names a missing source";
    case FwImageError::Chains: return "faulty time-group chains";
    case FwImageError::WriteBack: return "write-back ring full";
  }
  return "?";
}

// What is wrong with the chain link of block `b` for the chain check's error `code`.
std::string chainFault(uint16_t code, const EngBlockEntry& b) {
  const std::string after = std::to_string(b.after);
  const std::string group = std::to_string(b.group);
  switch (code) {
    case FB_CHAIN_NO_AFTER_BLOCK: return "its after-block " + after + " is no block of a time group";
    case FB_CHAIN_TWO_SUCCESSORS: return "its after-block " + after + " already has a successor";
    case FB_CHAIN_NO_HEAD: return "the chain of time group " + group + " has no first block";
    case FB_CHAIN_OTHER_GROUP:
      return "its after-block " + after + " is not in its time group " + group;
    case FB_CHAIN_TWO_HEADS: return "a second block without after-block in time group " + group;
    case FB_CHAIN_BAD_GROUP: return "time group " + group + " is outside 1..15";
    default: return "chain error " + std::to_string(code);
  }
}

// The load's refusal in the description's words: the line of the block at fault first.
std::string loadFault(EngBuilder& builder) {
  const bool chains = g_fwEng.lastError == FwImageError::Chains;
  const uint16_t number = chains ? g_fbSchedule.faultBlock : g_fwEng.badBlock;
  const EngBlockEntry* b = number ? builder.block(number) : nullptr;
  std::string text;
  if (b && b->line > 0) text = "line " + std::to_string(b->line) + ": ";
  text += "the image does not load: ";
  text += loadErrorText(g_fwEng.lastError);
  if (number == 0) return text;
  text += " (block " + std::to_string(number);
  if (chains && b) text += ": " + chainFault(g_fwEng.chainError, *b);
  return text + ")";
}

// A block at a number its type does not permit (the fixed place of its type, or the range of
// numbers it may take): the device would never make it there. The first such block of the
// description with its line, or "" when every block is where its type may be.
std::string rangeFault(EngBuilder& builder) {
  const EngBlockEntry* first = nullptr;
  for (uint16_t number = 1; number <= FB_MAX_BLOCK; ++number) {
    const EngBlockEntry* b = builder.block(number);
    const FbTypeRecord* rec = b ? FB_GetType(b->type) : nullptr;
    if (!rec || !rec->permitted) continue;
    bool inside = false;
    for (const FbBlockRange* r = rec->permitted; r->low != 0 || r->high != 0; ++r) {
      inside = inside || (number >= r->low && number <= r->high);
    }
    if (!inside && (!first || b->line < first->line)) first = b;
  }
  if (!first) return {};
  std::string ranges;
  for (const FbBlockRange* r = FB_GetType(first->type)->permitted; r->low != 0 || r->high != 0; ++r) {
    ranges += (ranges.empty() ? "" : ", ") + std::to_string(r->low);
    if (r->high != r->low) ranges += ".." + std::to_string(r->high);
  }
  std::string text = first->line > 0 ? "line " + std::to_string(first->line) + ": " : "";
  return text + "block " + std::to_string(first->number) + " is outside the blocks its type permits (" +
         ranges + ")";
}

}  // namespace

void EngRegisterToolTypes() {
  BLK_RegisterAllTypes();
  OP_RegisterBlockTypes();
}

bool EngBuildChecked(std::string_view description, std::vector<uint8_t>& image, std::string* error,
                     uint32_t* usedLength) {
  EngBuilder builder;
  if (!EngParseDescription(description, builder, error)) return false;
  if (std::string fault = rangeFault(builder); !fault.empty()) {
    *error = std::move(fault);
    return false;
  }
  if (!builder.build(image)) {
    *error = builder.error();
    return false;
  }
  std::memcpy(g_fwImage, image.data(), FW_IMAGE_SIZE);
  if (FW_LoadEngineering() != 0 || g_fwEng.lastError != FwImageError::None) {
    *error = loadFault(builder);
    return false;
  }
  if (usedLength) *usedLength = builder.usedLength();
  return true;
}
