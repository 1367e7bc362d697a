#include "host/lingsel.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QCoreApplication>
#include <QLibraryInfo>
#include <QListWidget>
#include <QTranslator>
#include <QVBoxLayout>

namespace {

constexpr const char* kNames[LINGSEL_LANGUAGES] = {"Deutsch", "English", "Fran\u00e7ais",
                                                   "Italiano", "Espa\u00f1ol", "Nederlands"};
constexpr const char* kQtCodes[LINGSEL_LANGUAGES] = {"de", "en", "fr", "it", "es", "nl"};
constexpr int kEnglish = 1;

// The catalogue installed now (one for the whole program), and its language.
QTranslator* g_qtTexts = nullptr;
int g_qtTextsLanguage = -1;

}  // namespace

const char* LingselLanguageName(int index) {
  return index >= 0 && index < LINGSEL_LANGUAGES ? kNames[index] : nullptr;
}

const char* LingselQtCode(int index) { return index >= 0 && index < LINGSEL_LANGUAGES ? kQtCodes[index] : nullptr; }

bool LingselUseQtTexts(int index) {
  if (!QCoreApplication::instance()) return false;
  const bool wanted = index >= 0 && index < LINGSEL_LANGUAGES && index != kEnglish;
  if (wanted && g_qtTexts && g_qtTextsLanguage == index) return true;
  if (g_qtTexts) {
    QCoreApplication::removeTranslator(g_qtTexts);
    delete g_qtTexts;
    g_qtTexts = nullptr;
    g_qtTextsLanguage = -1;
  }
  if (!wanted) return index == kEnglish;
  auto* texts = new QTranslator;
  if (!texts->load(QStringLiteral("qtbase_") + QLatin1String(kQtCodes[index]),
                   QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete texts;
    return false;
  }
  QCoreApplication::installTranslator(texts);
  g_qtTexts = texts;
  g_qtTextsLanguage = index;
  return true;
}

int LanguageSelectDialog(std::intptr_t /*instance*/, QWidget* parent, int* language, unsigned mask) {
  if (!language) return 0;
  QDialog dlg(parent);
  dlg.setWindowTitle(QStringLiteral("Sprache / Language / Langue"));
  auto* list = new QListWidget(&dlg);
  list->setObjectName(LINGSEL_LIST_NAME);
  for (int i = 0; i < LINGSEL_LANGUAGES; ++i) {
    if (!(mask & (1u << i))) continue;
    auto* item = new QListWidgetItem(QString::fromUtf8(kNames[i]), list);
    item->setData(Qt::UserRole, i);
    if (i == *language || list->currentRow() < 0) list->setCurrentItem(item);
  }
  if (list->count() == 0) return 0;
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dlg);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dlg, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dlg, &QDialog::reject);
  QObject::connect(list, &QListWidget::itemDoubleClicked, &dlg, &QDialog::accept);
  auto* layout = new QVBoxLayout(&dlg);
  layout->addWidget(list);
  layout->addWidget(buttons);
  if (dlg.exec() != QDialog::Accepted || !list->currentItem()) return 0;
  *language = list->currentItem()->data(Qt::UserRole).toInt();
  return 1;
}
