#include "host/lingsel.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QListWidget>
#include <QVBoxLayout>

namespace {

constexpr const char* kNames[LINGSEL_LANGUAGES] = {"Deutsch", "English", "Fran\u00e7ais",
                                                   "Italiano", "Espa\u00f1ol", "Nederlands"};

}  // namespace

const char* LingselLanguageName(int index) {
  return index >= 0 && index < LINGSEL_LANGUAGES ? kNames[index] : nullptr;
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
