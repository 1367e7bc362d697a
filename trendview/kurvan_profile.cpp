#include "trendview/kurvan_profile.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStringList>
#include <cstdlib>

#include "host/ini_file.h"

namespace {

bool PlainName(const std::string& name) {
  if (name.empty() || name.size() > 255 || name == "." || name == "..") return false;
  for (unsigned char c : name)
    if (c == '/' || c < 32 || c == 127) return false;
  return true;
}

// Sections and keys are 8-bit texts (a record's profile section among them).
QString Key(const std::string& section, const std::string& key) {
  return QString::fromLatin1(section.c_str()) + '/' + QString::fromLatin1(key.c_str());
}

QString Value(const QVariant& v) {
  // A hand-edited value with commas and without quotes reads as a list.
  if (v.typeId() == QMetaType::QStringList) return v.toStringList().join(',');
  return v.toString();
}

}  // namespace

void CKurvanProfile::setProgram(const std::string& baseName) {
  program_ = PlainName(baseName) ? baseName : "Kurvan";
  appKey_ = program_;
}

void CKurvanProfile::setRegistryKey(const std::string& company) { company_ = PlainName(company) ? company : "Kurvan"; }

bool CKurvanProfile::setAppKey(const std::string& key) {
  if (!PlainName(key)) return false;
  appKey_ = key;
  return true;
}

std::string CKurvanProfile::settingsFolder() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && *xdg) return xdg;
  const char* home = std::getenv("HOME");
  return std::string(home && *home ? home : ".") + "/.config";
}

std::string CKurvanProfile::file() const {
  if (company_.empty()) return settingsFolder() + "/" + program_ + ".ini";
  return settingsFolder() + "/" + company_ + "/" + appKey_ + ".ini";
}

int CKurvanProfile::getInt(const std::string& section, const std::string& key, int fallback) const {
  if (company_.empty()) return static_cast<int>(host::IniGetInt(file(), section, key, fallback));
  QSettings s(QString::fromStdString(file()), QSettings::IniFormat);
  const QVariant v = s.value(Key(section, key));
  if (!v.isValid()) return fallback;
  bool ok = false;
  const int n = Value(v).trimmed().toInt(&ok);
  return ok ? n : 0;
}

std::string CKurvanProfile::getString(const std::string& section, const std::string& key,
                                      const std::string& fallback) const {
  if (company_.empty()) return host::IniGetString(file(), section, key, fallback);
  QSettings s(QString::fromStdString(file()), QSettings::IniFormat);
  const QVariant v = s.value(Key(section, key));
  return v.isValid() ? Value(v).toLatin1().toStdString() : fallback;
}

bool CKurvanProfile::has(const std::string& section, const std::string& key) const {
  if (company_.empty()) return host::IniHasKey(file(), section, key);
  QSettings s(QString::fromStdString(file()), QSettings::IniFormat);
  return s.contains(Key(section, key));
}

bool CKurvanProfile::writeInt(const std::string& section, const std::string& key, int value) {
  return writeString(section, key, std::to_string(value));
}

bool CKurvanProfile::writeString(const std::string& section, const std::string& key, const std::string& value) {
  const std::string path = file();
  QDir().mkpath(QFileInfo(QString::fromStdString(path)).absolutePath());
  if (company_.empty()) return host::IniWriteString(path, section, key, value);
  QSettings s(QString::fromStdString(path), QSettings::IniFormat);
  s.setValue(Key(section, key), QString::fromLatin1(value.c_str()));
  s.sync();
  return s.status() == QSettings::NoError;
}
