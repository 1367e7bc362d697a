#include "trendview/child_frame.h"

#include <QFileInfo>
#include <QSplitter>
#include <algorithm>

#include "trendview/graf_view.h"
#include "trendview/kurvan_app.h"
#include "trendview/kurvan_ids.h"
#include "trendview/language.h"
#include "trendview/main_frame.h"
#include "trendview/text_view.h"
#include "trendview/trend_doc.h"

namespace {
constexpr int kMinTextWidth = 90;
}

CChildFrame::CChildFrame(std::unique_ptr<CTrendDoc> doc, unsigned identifier, QWidget* parent)
    : CMDIChildWndX(identifier, parent), doc_(std::move(doc)) {
  setAttribute(Qt::WA_DeleteOnClose);
  doc_->setFrame(this);
  splitter_ = new QSplitter(Qt::Horizontal);
  text_ = new CTrendTextView(doc_.get(), this, splitter_);
  graf_ = new CTrendGrafView(doc_.get(), this, splitter_);
  splitter_->addWidget(text_);
  splitter_->addWidget(graf_);
  splitter_->setChildrenCollapsible(false);
  // The panes keep the quarter rule until the user moves the splitter.
  connect(splitter_, &QSplitter::splitterMoved, this, [this] { userSized_ = true; });
  text_->setPeer(graf_);
  graf_->setPeer(text_);
  setWidget(splitter_);
  graf_->setFocus();
  const QString docName = KurvanLanguages().string(KURVAN_RES_TREND).section('\n', 1, 1);
  setWindowTitle(doc_->path().empty() ? (docName.isEmpty() ? QStringLiteral("Trend") : docName)
                                      : QFileInfo(QString::fromStdString(doc_->path())).fileName());
  updateTitle();
}

CChildFrame::~CChildFrame() {
  if (CKurvanApp* app = KurvanApp())
    if (CMainFrame* main = app->mainFrame()) main->removeChild(this);
  // The record no longer names this viewer (the live record also while in hold).
  const KurvanHandle live = doc_->liveHandle();
  if (uint8_t* rec = doc_->Lock(live)) {
    TrendPutU32(rec, TREND_REC_VIEWER, 0);
    doc_->Unlock(live);
  }
  if (CKurvanApp* app = KurvanApp()) KurvanSaveSplitterSizes(splitter_, app->profile(), "ChildFrame");
  // The views go before their document.
  delete splitter_;
  splitter_ = nullptr;
  doc_->setFrame(nullptr);
  doc_.reset();
}

intptr_t CChildFrame::send(int id, intptr_t wParam, intptr_t lParam) {
  switch (id) {
    case KURVAN_MSG_NEW_SAMPLES:
      return graf_->send(id, wParam, lParam);
    case KURVAN_MSG_CURSOR:
      text_->send(id, wParam, lParam);
      return graf_->send(id, wParam, lParam);
    case KURVAN_MSG_CONFIG_CHANGED:
      // Scales, names, colours and visibility: every view is laid out and drawn anew.
      doc_->setConfigChanged(true);
      doc_->UpdateAllViews();
      return 0;
    case KURVAN_MSG_LANGUAGE_CHANGED: {
      const KurvanHandle live = doc_->liveHandle();
      const uint8_t* rec = live ? doc_->Lock(live) : nullptr;
      if (!rec) return 0;
      const int language = TrendGetU16(rec, TREND_REC_LANGUAGE);
      doc_->Unlock(live);
      KurvanLanguages().SetLanguage(language);
      return 0;
    }
    default:
      return 0;
  }
}

bool CChildFrame::route(int id, KurvanCmdUI* ui) {
  if (graf_->onCommand(id, ui) || doc_->onCommand(id, ui)) return true;
  if (id == KURVAN_CMD_FILE_CLOSE) {
    if (!ui) close();
    return true;
  }
  return false;
}

void CChildFrame::updateTitle() {
  const uint8_t* rec = doc_->Lock();
  if (!rec) return;
  const QString name = QString::fromLatin1(TrendGetText(rec, TREND_REC_NAME, TREND_NAME_BYTES).c_str());
  doc_->Unlock();
  // The file title is at most 256 characters.
  const QString file = doc_->path().empty() ? QString() : QFileInfo(QString::fromStdString(doc_->path())).fileName().left(256);
  setWindowTitle(file.isEmpty() ? name : file + " - " + name);
}

void CChildFrame::layoutPanes() {
  const int width = splitter_ ? splitter_->width() - splitter_->handleWidth() : 0;
  if (width <= 0 || userSized_) return;
  const int table = text_ ? text_->tableWidth() : 0;
  const int text = std::min(width, std::max({kMinTextWidth, width / 4, table}));
  splitter_->setSizes({text, width - text});
}

void CChildFrame::showEvent(QShowEvent* e) {
  CMDIChildWndX::showEvent(e);
  layoutPanes();
}

void CChildFrame::resizeEvent(QResizeEvent* e) {
  CMDIChildWndX::resizeEvent(e);
  layoutPanes();
}
