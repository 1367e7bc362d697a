#include "trendview/trend_doc.h"

#include <algorithm>

#include "trendview/channel_dialog.h"
#include "trendview/child_frame.h"
#include "trendview/kurvan_app.h"
#include "trendview/kurvan_ids.h"
#include "trendview/kurvan_ui.h"
#include "trendview/language.h"

CTrendView::CTrendView(CTrendDoc* doc, CChildFrame* frame) : doc_(doc), frame_(frame) {
  if (doc_) doc_->addView(this);
}

CTrendView::~CTrendView() {
  if (doc_) doc_->removeView(this);
}

CTrendDoc::CTrendDoc(KurvanHandle trend) : trend_(trend) {
  if (trend_ && Lock()) Unlock();
}

CTrendDoc::~CTrendDoc() {
  if (hold_) KurvanDestroy(trend_);
}

uint8_t* CTrendDoc::Lock(KurvanHandle h) {
  const KurvanHandle which = h ? h : trend_;
  uint8_t* rec = KurvanLock(which);
  if (rec && which == trend_) SetSamplePointers(rec, which);
  return rec;
}

void CTrendDoc::Unlock(KurvanHandle h) { KurvanUnlock(h ? h : trend_); }

void CTrendDoc::ClearSamplePointers() {
  std::fill(std::begin(analog_), std::end(analog_), nullptr);
  std::fill(std::begin(digital_), std::end(digital_), nullptr);
  layout_ = TrendLayout();
}

// The rings from 2666, the two counts and the ring length. A record handed out by the
// library's lock has passed its layout check, so the rings lie inside its block.
void CTrendDoc::SetSamplePointers(const uint8_t* rec, KurvanHandle h) {
  ClearSamplePointers();
  TrendLayout l;
  if (!TrendCheckLayout(rec, KurvanBlockBytes(h), &l)) return;
  layout_ = l;
  for (unsigned i = 0; i < l.analog; ++i) analog_[i] = rec + l.AnalogRing(i);
  for (unsigned j = 0; j < l.digital; ++j) digital_[j] = rec + l.DigitalRing(j);
}

uint32_t CTrendDoc::analogBits(unsigned i, unsigned slot) const {
  const uint8_t* ring = analogSamples(i);
  return ring && slot < layout_.ring ? TrendGetU32(ring, 4 * slot) : TREND_GAP_ANALOG_BITS;
}

float CTrendDoc::analogValue(unsigned i, unsigned slot) const {
  const uint8_t* ring = analogSamples(i);
  return ring && slot < layout_.ring ? TrendGetF32(ring, 4 * slot) : 0.0f;
}

uint8_t CTrendDoc::digitalValue(unsigned j, unsigned slot) const {
  const uint8_t* ring = digitalSamples(j);
  return ring && slot < layout_.ring ? ring[slot] : TREND_GAP_DIGITAL;
}

bool CTrendDoc::onCommand(int id, KurvanCmdUI* ui) {
  switch (id) {
    case KURVAN_CMD_HOLD:
      if (ui) {
        ui->checked = hold_ != 0;
        ui->enabled = holdAllowed_ != 0;
      } else if (holdAllowed_) {
        hold_ ? HoldOff() : HoldOn();
      }
      return true;
    case KURVAN_CMD_CONFIGURE:
      if (ui) {
        ui->enabled = true;
        if (trend_) {
          if (const uint8_t* rec = Lock()) {
            ui->enabled = TrendGetU16(rec, TREND_REC_CONFIG_ENABLED) != 0;
            Unlock();
          }
        }
      } else {
        ConfigureChannels();
      }
      return true;
    case KURVAN_CMD_CLEAR:
      if (ui)
        ui->enabled = hold_ == 0;
      else if (!hold_)
        ClearTrend();
      return true;
    case KURVAN_CMD_FILE_SAVE_AS:
      if (ui) {
        ui->enabled = trend_ != 0;
      } else if (CKurvanApp* app = KurvanApp()) {
        app->SaveDocumentAs(this);
      }
      return true;
    default:
      return false;
  }
}

void CTrendDoc::HoldOn() {
  const KurvanHandle live = trend_;
  if (!Lock(live)) return;
  live_ = live;
  const KurvanHandle copy = KurvanCopy(live);
  if (!copy) {
    Unlock(live);
    return;
  }
  uint8_t* snapshot = KurvanLock(copy);
  if (!snapshot) {
    KurvanDestroy(copy);
    Unlock(live);
    return;
  }
  std::copy(std::begin(analog_), std::end(analog_), savedAnalog_);
  std::copy(std::begin(digital_), std::end(digital_), savedDigital_);
  trend_ = copy;
  SetSamplePointers(snapshot, copy);
  KurvanUnlock(copy);
  Unlock(live);
  hold_ = 1;
  UpdateAllViews();
}

void CTrendDoc::HoldOff() {
  const KurvanHandle snapshot = trend_;
  if (uint8_t* rec = KurvanLock(snapshot)) {
    TrendPutU32(rec, TREND_REC_VIEWER, 0);
    KurvanUnlock(snapshot);
  }
  KurvanDestroy(snapshot);
  trend_ = live_;
  live_ = 0;
  // The pointers are derived again from the live record as it is now: a change of its
  // counts or ring length while held cannot leave them outside its rings.
  ClearSamplePointers();
  if (Lock()) Unlock();
  hold_ = 0;
  UpdateAllViews();
}

void CTrendDoc::ClearTrend() {
  CKurvanApp* app = KurvanApp();
  const QString prompt = KurvanLanguages().string(KURVAN_STR_CLEAR_PROMPT);
  if (KurvanMessageBox(app ? app->dialogParent() : nullptr, prompt, KurvanBox::YesNo) != KURVAN_ID_YES) return;
  // Under the library's lock: the owner appends samples meanwhile.
  if (uint8_t* rec = Lock()) {
    for (uint32_t off : {TREND_REC_HEAD, TREND_REC_VALID, TREND_REC_PENDING}) TrendPutU16(rec, off, 0);
    for (uint32_t off : {TREND_REC_TIME_S, TREND_REC_TIME_MS, TREND_REC_TIME_BASE}) TrendPutI32(rec, off, 0);
    Unlock();
  }
  UpdateAllViews();
}

void CTrendDoc::ConfigureChannels() {
  CKurvanApp* app = KurvanApp();
  // While held, the live record takes the configuration: its owner evaluates +1136 there,
  // and the snapshot goes away at hold off.
  const KurvanHandle target = hold_ && live_ ? live_ : trend_;
  if (!KurvanConfigureChannels(target, app ? app->dialogParent() : nullptr, nullptr)) return;
  configChanged_ = 1;
  UpdateAllViews();
}

TrendFileStatus CTrendDoc::Load(const std::string& path) {
  CKurvanApp* app = KurvanApp();
  KurvanHandle loaded = 0;
  const TrendFileStatus status = TrendFileLoad(path.c_str(), app ? app->instanceHandle() : 0, &loaded);
  switch (status) {
    case TREND_FILE_OK:
      break;
    case TREND_FILE_BAD_MAGIC:
    case TREND_FILE_BAD_SIZE:
    case TREND_FILE_BAD_LAYOUT:
      KurvanBeep(-1);
      return status;
    default:
      return status;
  }
  if (hold_) KurvanDestroy(trend_);
  trend_ = loaded;
  live_ = 0;
  if (Lock()) Unlock();
  hold_ = 1;
  holdAllowed_ = 0;
  UpdateAllViews();
  return status;
}

TrendFileStatus CTrendDoc::Save(const std::string& path) {
  const TrendFileStatus status = TrendFileSave(trend_, path.c_str());
  if (status == TREND_FILE_NO_RECORD || status == TREND_FILE_BAD_LAYOUT) KurvanBeep(-1);
  return status;
}

void CTrendDoc::addView(CTrendView* view) {
  if (std::find(views_.begin(), views_.end(), view) == views_.end()) views_.push_back(view);
}

void CTrendDoc::removeView(CTrendView* view) { views_.erase(std::remove(views_.begin(), views_.end(), view), views_.end()); }

void CTrendDoc::UpdateAllViews() {
  for (CTrendView* v : views_) v->onUpdate();
  if (frame_) frame_->updateTitle();
}
