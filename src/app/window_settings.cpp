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

QByteArray WindowSettings::SplitterState() const {
  return settings_ != nullptr ? settings_->value(QStringLiteral("window/splitter")).toByteArray()
                              : QByteArray();
}

void WindowSettings::SetSplitterState(const QByteArray& state) {
  if (settings_ != nullptr) settings_->setValue(QStringLiteral("window/splitter"), state);
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
