// The trend document: one trend record bound to the views of one child frame. It owns the
// trend handle, keeps the sample pointers derived from the locked record, brackets every
// access with KurvanLock/KurvanUnlock, loads and saves trend files, freezes the display in
// "hold" by working on a private copy, clears the ring and runs the channel configuration.
//
// States: live (the record of "/hTrend=", hold 0), held (a snapshot, hold 1, the live handle
// kept), loaded (a trend file's record, hold 1, hold not allowed).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "trendview/kurvex/kurvex.h"
#include "trendview/kurvex/trend_file.h"
#include "trendview/trend_view.h"

class CTrendDoc {
 public:
  // `trend` is the record the document shows (the application's record, or 0).
  explicit CTrendDoc(KurvanHandle trend);
  // A held document destroys its snapshot (and a loaded one its file's record).
  ~CTrendDoc();
  CTrendDoc(const CTrendDoc&) = delete;
  CTrendDoc& operator=(const CTrendDoc&) = delete;

  // Locks the handle given, or the trend handle when none is given, and returns the record
  // (null on failure). Locking the trend handle also derives the sample pointers from it.
  uint8_t* Lock(KurvanHandle h = 0);
  void Unlock(KurvanHandle h = 0);

  KurvanHandle trendHandle() const { return trend_; }
  // The live record: the trend handle, or the kept one while in hold (0 for a loaded file).
  KurvanHandle liveHandle() const { return hold_ ? live_ : trend_; }
  bool hold() const { return hold_ != 0; }
  bool holdAllowed() const { return holdAllowed_ != 0; }
  bool configChanged() const { return configChanged_ != 0; }
  void setConfigChanged(bool changed) { configChanged_ = changed ? 1 : 0; }

  // Cursor data, set by the graph view and read by the text view: the ring slot under the
  // cursor (-1 = none) and the time there in seconds (at the right edge when the cursor is
  // off; negative = none).
  int cursorSlot() const { return cursorSlot_; }
  float cursorTime() const { return cursorTime_; }
  void setCursor(int slot, float time) {
    cursorSlot_ = slot;
    cursorTime_ = time;
  }

  // The rings of the record last locked through Lock(), as byte pointers (the f32 slots of
  // an analog ring are little-endian and need not be aligned); null past the counts. Valid
  // only between Lock() and Unlock().
  const uint8_t* analogSamples(unsigned i) const { return i < TREND_MAX_ANALOG ? analog_[i] : nullptr; }
  const uint8_t* digitalSamples(unsigned j) const { return j < TREND_MAX_DIGITAL ? digital_[j] : nullptr; }
  // Slot `slot` of analog ring i as raw bits (TREND_GAP_ANALOG_BITS = gap) and as a value,
  // and of digital ring j (255 = gap); 0 / gap without a ring or past its end.
  uint32_t analogBits(unsigned i, unsigned slot) const;
  float analogValue(unsigned i, unsigned slot) const;
  uint8_t digitalValue(unsigned j, unsigned slot) const;
  const TrendLayout& layout() const { return layout_; }

  // Commands 32771 (hold), 32773 (channels), 32777 (clear), 57604 (save as): with `ui` fills
  // the state, without runs the command. False for other ids.
  bool onCommand(int id, KurvanCmdUI* ui);
  void HoldOn();
  void HoldOff();
  void ClearTrend();
  void ConfigureChannels();

  // Loads a trend file into a new record that becomes the trend handle (hold set, hold no
  // longer allowed). A file that is not a sound trend file beeps and changes nothing; a
  // record that cannot be had leaves the document without samples, silently. Returns the
  // library's status; TREND_FILE_IO means the file could not be read.
  TrendFileStatus Load(const std::string& path);
  // Writes the trend file of the trend handle's record; a record that cannot be locked beeps.
  TrendFileStatus Save(const std::string& path);

  const std::string& path() const { return path_; }
  void setPath(const std::string& path) { path_ = path; }

  void addView(CTrendView* view);
  void removeView(CTrendView* view);
  const std::vector<CTrendView*>& views() const { return views_; }
  // Every view lays out and draws again; the frame refreshes its title.
  void UpdateAllViews();
  void setFrame(CChildFrame* frame) { frame_ = frame; }

 private:
  void SetSamplePointers(const uint8_t* rec, KurvanHandle h);
  void ClearSamplePointers();

  KurvanHandle trend_;
  KurvanHandle live_ = 0;
  int32_t configChanged_ = 0;
  int32_t hold_ = 0;
  int32_t holdAllowed_ = 1;
  int32_t cursorSlot_ = -1;
  float cursorTime_ = -1.0f;
  const uint8_t* analog_[TREND_MAX_ANALOG] = {};
  const uint8_t* digital_[TREND_MAX_DIGITAL] = {};
  const uint8_t* savedAnalog_[TREND_MAX_ANALOG] = {};
  const uint8_t* savedDigital_[TREND_MAX_DIGITAL] = {};
  TrendLayout layout_;
  std::string path_;
  std::vector<CTrendView*> views_;
  CChildFrame* frame_ = nullptr;
};
