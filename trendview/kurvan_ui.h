// Small services of the trend viewer's windows: beeps, message boxes, modal dialogs and file
// dialogs (each replaceable by a test hook), the wait routine and the off-screen image.
#pragma once

#include <QImage>
#include <QString>
#include <cstdint>
#include <functional>

class QColor;
class QDialog;
class QWidget;

// Answers of message boxes and dialogs.
enum KurvanAnswer : int { KURVAN_ID_OK = 1, KURVAN_ID_CANCEL = 2, KURVAN_ID_YES = 6, KURVAN_ID_NO = 7 };
enum class KurvanBox { Info, Exclamation, YesNo };

struct KurvanUiHooks {
  std::function<void(int kind)> beep;  // 0: default sound, -1: simple beep
  std::function<int(QWidget* parent, const QString& text, KurvanBox box)> messageBox;
  std::function<int(QDialog* dialog)> runDialog;  // in place of exec(); 1 = OK
  // The chosen path, or empty when cancelled. `filter` is in the "name|pattern|...||" form.
  std::function<QString(QWidget* parent, bool save, const QString& filter, const QString& name)> fileDialog;
  // The colour dialog: true when a colour was chosen into `colour`.
  std::function<bool(QWidget* parent, uint32_t* colour)> colorDialog;
};
// Replaces the real beeps, boxes and dialogs by the hooks given (an empty one keeps the real
// one); null puts the real ones back.
void KurvanSetUiHooks(const KurvanUiHooks* hooks);

void KurvanBeep(int kind);
int KurvanMessageBox(QWidget* parent, const QString& text, KurvanBox box);
// Runs the dialog modally; 1 when it was accepted, else 2.
int KurvanRunDialog(QDialog* dialog);
QString KurvanFileDialog(QWidget* parent, bool save, const QString& filter, const QString& name);
// The colour dialog, opened fully with `colour` (0x00BBGGRR) as the initial colour and solid
// colours only; true when the user chose one, which is then in `colour`.
bool KurvanColorDialog(QWidget* parent, uint32_t* colour);

// A stored colour 0x00BBGGRR (red in the low byte) as a QColor, and back.
QColor KurvanQColor(uint32_t colour);
uint32_t KurvanColorRef(const QColor& colour);

// Waits `ms` milliseconds; with `pump`, waiting events are handled meanwhile, else none is.
void KurvanWait(int ms, bool pump);

// An off-screen image of a given size that a view draws into and then copies to the screen.
class KurvanOffscreen {
 public:
  // A new image when the size changed (an empty size gives none); true when there is one.
  bool resize(int width, int height);
  void fill(const QColor& colour);
  QImage& image() { return image_; }
  const QImage& image() const { return image_; }
  int width() const { return image_.width(); }
  int height() const { return image_.height(); }

 private:
  QImage image_;
};
