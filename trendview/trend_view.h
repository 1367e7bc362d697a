// What the trend viewer's frames, documents and views share: the command-state record of a
// command route, and the interface of a view in a child frame's splitter.
//
// A child frame holds one document and two views: the text view at the left and the graph
// view at the right. The frame passes the library's notifications to the graph view
// (send(1125)), the graph view sets the document's cursor data and asks its peer, the text
// view, to refresh (send(1125) on the peer). The document calls onUpdate() of every view
// when its data changed as a whole (hold, load, clear, channel configuration).
#pragma once

#include <cstdint>

class CChildFrame;
class CTrendDoc;
class QWidget;

// Enabled and checked state of a command, filled by the target that handles it.
struct KurvanCmdUI {
  bool enabled = true;
  bool checked = false;
};

class CTrendView {
 public:
  virtual ~CTrendView();  // leaves the document's list of views
  // The private messages of the view (KurvanMessage); 0 for those it does not handle.
  virtual intptr_t send(int id, intptr_t wParam, intptr_t lParam) = 0;
  // The document changed as a whole: lay out and draw everything again.
  virtual void onUpdate() = 0;
  // A command: with `ui` fills its state, without runs it. False when the view does not
  // handle it (the frame's route then asks the document).
  virtual bool onCommand(int /*id*/, KurvanCmdUI* /*ui*/) { return false; }
  virtual QWidget* widget() = 0;

  CTrendDoc* document() const { return doc_; }
  CChildFrame* frame() const { return frame_; }
  CTrendView* peer() const { return peer_; }
  void setPeer(CTrendView* peer) { peer_ = peer; }

 protected:
  // Joins the document's list of views.
  CTrendView(CTrendDoc* doc, CChildFrame* frame);

 private:
  CTrendDoc* doc_;
  CChildFrame* frame_;
  CTrendView* peer_ = nullptr;
};
