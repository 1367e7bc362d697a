// The child frame: one trend document in a splitter, the text view at the left and the graph
// view at the right. It passes the library's notifications to the views, keeps its title
// (the document's file title, " - " and the trend name) and, when it goes, clears the
// record's viewer field (+300).
#pragma once

#include <cstdint>
#include <memory>

#include "trendview/frame_persist.h"
#include "trendview/trend_view.h"

class CTrendDoc;
class CTrendGrafView;
class CTrendTextView;
class QSplitter;

class CChildFrame : public CMDIChildWndX {
 public:
  // Takes the document over; it goes with the frame.
  CChildFrame(std::unique_ptr<CTrendDoc> doc, unsigned identifier, QWidget* parent = nullptr);
  ~CChildFrame() override;

  // 1125: to the graph view (draw the pending samples); 1127: the language of the document's
  // live record (+606) becomes the program's; 1126: to both views.
  intptr_t send(int id, intptr_t wParam, intptr_t lParam);
  // The command route inside the frame: the active view (the graph view), the document, the
  // frame itself (close).
  bool route(int id, KurvanCmdUI* ui);

  // Title from the locked record: "<file title> - <trend name>", or the trend name alone
  // without a file; unchanged when the record cannot be locked.
  void updateTitle();

  CTrendDoc* document() const { return doc_.get(); }
  CTrendTextView* textView() const { return text_; }
  CTrendGrafView* grafView() const { return graf_; }
  QSplitter* splitter() const { return splitter_; }
  // Gives the text view a quarter of the width, at least 90 pixels and at least its table's
  // width, and the graph view the rest; nothing once the user has moved the splitter.
  void layoutPanes();

 protected:
  void showEvent(QShowEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;

 private:
  std::unique_ptr<CTrendDoc> doc_;
  QSplitter* splitter_ = nullptr;
  CTrendTextView* text_ = nullptr;
  CTrendGrafView* graf_ = nullptr;
  bool userSized_ = false;
};
