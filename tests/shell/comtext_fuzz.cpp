// Fuzz target of the channel's frame text: any share content or window text is bounded,
// decoded into the 500-byte request without writing past it, shown as the view shows it, and
// re-encoded to the same frame; any typed text builds a frame that fits or none.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "shell/com_text.h"

namespace {

constexpr size_t kRequest = 500;

void Check(bool ok) {
  if (!ok) std::abort();
}

void DecodeBounded(const char* text, size_t n) {
  // Exactly the request's size on the heap, so that a write past it is caught.
  std::unique_ptr<uint8_t[]> out(new uint8_t[kRequest]);
  uint16_t length = 0;
  if (!SimComDecodeText(text, n, out.get(), kRequest, &length)) return;
  const size_t bytes = length & 0x7FFFu;
  Check(bytes <= kRequest);
  (void)SimComViewText(out.get(), length);
  char again[1 + 2 * kRequest + 1];
  size_t textLength = 0;
  Check(SimComEncodeText(out.get(), bytes, (length & SIM_COM_BINARY) != 0, again, sizeof again, &textLength));
  uint8_t back[kRequest];
  uint16_t backLength = 0;
  Check(SimComDecodeText(again, textLength, back, sizeof back, &backLength));
  Check(backLength == length && std::memcmp(back, out.get(), bytes) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // As a share: at most its 1024 bytes, and only a text that ends inside it.
  const char* text = reinterpret_cast<const char*>(data);
  const size_t shareBytes = size < SIM_COM_SHARE_SIZE ? size : SIM_COM_SHARE_SIZE;
  const size_t n = strnlen(text, shareBytes);
  if (n < SIM_COM_SHARE_SIZE) DecodeBounded(text, n);
  // As a window text.
  if (n <= SIM_COM_REQUEST_TEXT_MAX) DecodeBounded(text, n);
  // As a typed request.
  std::unique_ptr<uint8_t[]> frame(new uint8_t[kRequest]);
  uint16_t length = 0;
  if (SimComBuildInjected(std::string_view(text, n), frame.get(), kRequest, &length)) {
    Check((length & 0x7FFFu) <= kRequest);
    (void)SimComViewText(frame.get(), length);
  }
  return 0;
}
