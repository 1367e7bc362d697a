#include "tools/pctool/pc_client.h"

#include <charconv>

namespace {

constexpr uint8_t kStx = 0x02, kEtx = 0x03, kEot = 0x04, kEnq = 0x05, kAck = 0x06, kNak = 0x15;

void appendHex(std::vector<uint8_t>& out, uint32_t v, int minDigits) {
  char buf[12];
  const auto r = std::to_chars(buf, buf + sizeof buf, v, 16);
  for (int i = static_cast<int>(r.ptr - buf); i < minDigits; ++i) out.push_back('0');
  for (const char* p = buf; p < r.ptr; ++p) {
    out.push_back(static_cast<uint8_t>(*p >= 'a' ? *p - 'a' + 'A' : *p));
  }
}

void appendDecimal(std::vector<uint8_t>& out, uint32_t v) {
  char buf[12];
  const auto r = std::to_chars(buf, buf + sizeof buf, v);
  out.insert(out.end(), buf, r.ptr);
}

// EOT, the address digits, the code and the block and sub-index fields.
std::vector<uint8_t> begin(const PcRequest& request, uint16_t address, bool write) {
  std::vector<uint8_t> f{kEot};
  const uint32_t shown = address >= 100 ? 0 : address;
  f.push_back(static_cast<uint8_t>('0' + shown / 10));
  f.push_back(static_cast<uint8_t>('0' + shown % 10));
  if (write) f.push_back(kStx);
  appendHex(f, request.code, 2);
  if (request.block >= 0) {
    f.push_back(',');
    appendDecimal(f, static_cast<uint32_t>(request.block));
    if (request.subIndex >= 0) {
      f.push_back(',');
      appendHex(f, static_cast<uint32_t>(request.subIndex), 1);
    }
  }
  return f;
}

bool parseNumber(std::string_view text, uint32_t* out) {
  const auto r = std::from_chars(text.data(), text.data() + text.size(), *out);
  return r.ec == std::errc() && r.ptr == text.data() + text.size();
}

}  // namespace

uint8_t PcBcc(const uint8_t* bytes, size_t n) {
  uint8_t x = 0;
  for (size_t i = 0; i < n; ++i) x ^= bytes[i];
  return x;
}

std::vector<uint8_t> PcBuildRead(const PcRequest& request, uint16_t address) {
  std::vector<uint8_t> f = begin(request, address, false);
  f.push_back(kEnq);
  return f;
}

std::vector<uint8_t> PcBuildWrite(const PcRequest& request, std::string_view value,
                                  uint16_t address) {
  std::vector<uint8_t> f = begin(request, address, true);
  f.push_back('=');
  f.insert(f.end(), value.begin(), value.end());
  f.push_back(kEtx);
  // The check covers everything after STX, ETX included.
  f.push_back(PcBcc(f.data() + 4, f.size() - 4));
  return f;
}

PcAnswer PcParseAnswer(const std::vector<uint8_t>& bytes) {
  PcAnswer a;
  if (bytes.size() == 1 && bytes[0] == kAck) {
    a.kind = PcAnswer::Kind::Ack;
  } else if (bytes.size() == 1 && bytes[0] == kNak) {
    a.kind = PcAnswer::Kind::Nak;
  } else if (bytes.size() >= 3 && bytes[0] == kStx && bytes[bytes.size() - 2] == kEtx &&
             PcBcc(bytes.data() + 1, bytes.size() - 1) == 0) {
    a.kind = PcAnswer::Kind::Text;
    a.text.assign(bytes.begin() + 1, bytes.end() - 2);
  }
  return a;
}

std::string PcResultText(uint32_t result) {
  std::string s;
  if (result >= 'a' && result <= 'z') {
    s = "'";
    s += static_cast<char>(result);
    s += "' (";
    s += std::to_string(result);
    s += ")";
  } else {
    s = std::to_string(result);
  }
  return s;
}

bool PcClient::exchange(const std::vector<uint8_t>& frame, PcAnswer* answer, std::string* error) {
  std::vector<uint8_t> bytes;
  if (!transport_.exchange(frame, false, &bytes, error)) return false;
  *answer = PcParseAnswer(bytes);
  if (answer->kind == PcAnswer::Kind::Malformed) {
    *error = bytes.empty() ? "no answer" : "malformed answer";
    return false;
  }
  return true;
}

bool PcClient::results(PcResults* out, std::string* error) {
  PcAnswer a;
  if (!exchange(PcBuildRead({0x20, 0, 2}, address_), &a, error)) return false;
  if (a.kind != PcAnswer::Kind::Text) {
    *error = "the result registers were not answered";
    return false;
  }
  // "21=w,22=b,23=r"
  uint32_t* fields[] = {&out->write, &out->badIndex, &out->read};
  std::string_view text = a.text;
  for (int i = 0; i < 3; ++i) {
    const size_t comma = text.find(',');
    const std::string_view item = text.substr(0, comma);
    if (item.size() < 4 || item.substr(0, 3) != std::to_string(21 + i) + "=" ||
        !parseNumber(item.substr(3), fields[i])) {
      *error = "malformed result registers";
      return false;
    }
    text = comma == std::string_view::npos ? std::string_view{} : text.substr(comma + 1);
  }
  return true;
}

bool PcClient::read(const PcRequest& request, std::string* value, std::string* error) {
  PcAnswer a;
  if (!exchange(PcBuildRead(request, address_), &a, error)) return false;
  if (a.kind == PcAnswer::Kind::Text) {
    const bool blockData = request.block >= 0 && request.code % 0x10 == 0 && request.code <= 0x90;
    const size_t eq = a.text.find('=');
    *value = blockData || eq == std::string::npos ? a.text : a.text.substr(eq + 1);
    return true;
  }
  PcResults r;
  std::string why;
  *error = results(&r, &why) ? "refused: " + PcResultText(r.read) : "refused (" + why + ")";
  return false;
}

bool PcClient::write(const PcRequest& request, std::string_view value, std::string* error) {
  PcAnswer a;
  if (!exchange(PcBuildWrite(request, value, address_), &a, error)) return false;
  if (a.kind == PcAnswer::Kind::Ack) return true;
  if (a.kind == PcAnswer::Kind::Text) {
    *error = "unexpected text answer";
    return false;
  }
  PcResults r;
  std::string why;
  if (!results(&r, &why)) {
    *error = "refused (" + why + ")";
  } else {
    *error = "refused: " + PcResultText(r.write);
    if (r.badIndex) *error += ", bad index " + std::to_string(r.badIndex);
  }
  return false;
}
