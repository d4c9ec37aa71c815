#include "viewersettings.hpp"

#include <QByteArray>
#include <QSettings>
#include <QVariant>

#include <algorithm>

namespace kestrune {
namespace {

const QString recentkey = QStringLiteral("recentfiles");
const QString fixedpitchkey = QStringLiteral("view/fixedpitchrecords");

// The user's own settings file; Qt places it under XDG_CONFIG_HOME.
QSettings usersettings() { return QSettings(QSettings::NativeFormat, QSettings::UserScope, "kestrune", "kestrune"); }

}  // namespace

// Paths are kept as bytes: a name that is no UTF-8 must still name its file.
std::vector<std::string> recentfiles() {
    std::vector<std::string> files;
    const QVariantList stored = usersettings().value(recentkey).toList();
    for (const QVariant& entry : stored) {
        const QByteArray path = entry.toByteArray();
        if (!path.isEmpty() && static_cast<int>(files.size()) < maxrecentfiles) files.push_back(path.toStdString());
    }
    return files;
}

void addrecentfile(const std::string& path) {
    if (path.empty()) return;
    std::vector<std::string> files = recentfiles();
    files.erase(std::remove(files.begin(), files.end(), path), files.end());
    files.insert(files.begin(), path);
    if (static_cast<int>(files.size()) > maxrecentfiles) files.resize(maxrecentfiles);
    QVariantList stored;
    for (const std::string& file : files) stored.append(QByteArray::fromStdString(file));
    usersettings().setValue(recentkey, stored);
}

void clearrecentfiles() { usersettings().remove(recentkey); }

bool fixedpitchrecords() { return usersettings().value(fixedpitchkey, true).toBool(); }

void setfixedpitchrecords(bool on) { usersettings().setValue(fixedpitchkey, on); }

}  // namespace kestrune
