#include "app/window_settings.h"

#include <QAction>
#include <QCheckBox>
#include <QSettings>

namespace sorowa {
namespace {

QString OptionKey(const QObject* option) {
  return QStringLiteral("options/") + option->objectName();
}

}  // namespace

void WindowSettings::RestoreBoxes(const QList<QCheckBox*>& boxes) const {
  if (settings_ == nullptr) return;
  for (QCheckBox* box : boxes) {
    const QVariant value = settings_->value(OptionKey(box));
    if (value.isValid()) box->setChecked(value.toBool());
  }
}

void WindowSettings::SaveBoxes(const QList<QCheckBox*>& boxes) {
  if (settings_ == nullptr) return;
  for (const QCheckBox* box : boxes) settings_->setValue(OptionKey(box), box->isChecked());
}

void WindowSettings::RestoreItems(const QList<QAction*>& items) const {
  if (settings_ == nullptr) return;
  for (QAction* item : items) {
    const QVariant value = settings_->value(OptionKey(item));
    if (value.isValid()) item->setChecked(value.toBool());
  }
}

void WindowSettings::SaveItems(const QList<QAction*>& items) {
  if (settings_ == nullptr) return;
  for (const QAction* item : items) settings_->setValue(OptionKey(item), item->isChecked());
}

QByteArray WindowSettings::Geometry() const {
  return settings_ != nullptr ? settings_->value(QStringLiteral("window/geometry")).toByteArray()
                              : QByteArray();
}

void WindowSettings::SetGeometry(const QByteArray& geometry) {
  if (settings_ != nullptr) settings_->setValue(QStringLiteral("window/geometry"), geometry);
}

namespace {

// The pair list's splitter was the only one, under a key of its own; it keeps it.
QString SplitterKey(const QString& name) {
  return name == QLatin1String("reportSplitter") ? QStringLiteral("window/splitter")
                                                 : QStringLiteral("window/%1").arg(name);
}

}  // namespace

QByteArray WindowSettings::SplitterState(const QString& name) const {
  return settings_ != nullptr ? settings_->value(SplitterKey(name)).toByteArray() : QByteArray();
}

void WindowSettings::SetSplitterState(const QString& name, const QByteArray& state) {
  if (settings_ != nullptr) settings_->setValue(SplitterKey(name), state);
}

QString WindowSettings::LastFolder() const {
  if (!lastFolder_.isEmpty() || settings_ == nullptr) return lastFolder_;
  return settings_->value(QStringLiteral("files/lastFolder")).toString();
}

void WindowSettings::SetLastFolder(const QString& folder) {
  lastFolder_ = folder;
  if (settings_ != nullptr) settings_->setValue(QStringLiteral("files/lastFolder"), folder);
}

}  // namespace sorowa
