// Saved trend files: a record written from its locked block and read back into a new private
// record.
//
// Layout (little-endian): 0 magic, 4 record size S, 8 header block H (32 bytes), 40 226 zero
// bytes, 266 H again, 298 the record bytes 308 .. S - 9. H packs, without alignment, the
// record fields +276, +278, +280, +282 (u16), +284 (f32), +288, +292, +296 (i32) and +304,
// +306 (u16) behind a leading 0 and with a 0 between the i32s and the shown counts. A saved
// file is S - 18 bytes long.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "trendview/kurvex/kurvex.h"

enum : uint32_t {
  TREND_FILE_HEADER1 = 8,
  TREND_FILE_HEADER2 = 266,
  TREND_FILE_HEADER_BYTES = 32,
  TREND_FILE_BODY = 298,       // where record byte 308 is stored
  TREND_FILE_LESS_THAN_S = 18, // a file is S - 18 bytes
};

enum TrendFileStatus {
  TREND_FILE_OK = 0,
  TREND_FILE_BAD_MAGIC,   // not a trend file
  TREND_FILE_BAD_SIZE,    // size field below 2666 or above TREND_MAX_RECORD_BYTES
  TREND_FILE_BAD_LAYOUT,  // counts, ring length, head or valid count do not fit S
  TREND_FILE_NO_RECORD,   // KurvanAlloc or KurvanLock failed, or no such handle
  TREND_FILE_IO,          // the file could not be read or written
};

// Reads a trend file held in memory into a new private record (KurvanAlloc with `instance`).
// A file shorter than its size field claims fills what it has; the rest of the record keeps
// what KurvanAlloc put there. +272 and +300 are 0 afterwards. On success *out is the new
// handle (the caller destroys it); on failure nothing is left behind.
TrendFileStatus TrendFileParse(const uint8_t* data, size_t size, std::intptr_t instance, KurvanHandle* out);
// Reads the file at `path` (no more than S - 18 bytes of it) the same way.
TrendFileStatus TrendFileLoad(const char* path, std::intptr_t instance, KurvanHandle* out);

// The file of a locked record in a block of `blockBytes` bytes (the layout is checked first).
TrendFileStatus TrendFileEncode(const uint8_t* rec, size_t blockBytes, std::vector<uint8_t>* file);
// Locks the handle's record, writes its file to "<path>.tmp" and renames that to `path`.
TrendFileStatus TrendFileSave(KurvanHandle h, const char* path);
