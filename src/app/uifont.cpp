#include "uifont.hpp"

#include <QFontDatabase>
#include <QFontInfo>
#include <QString>
#include <QStringList>

namespace kestrune {
namespace {

// Decided once: whether Tahoma itself is there (a substitute that the font
// system offers under its name does not count), else the desktop's font.
QString uifamily() {
    static const QString family = [] {
        if (QFontDatabase::families().contains(QStringLiteral("Tahoma"), Qt::CaseInsensitive))
            return QStringLiteral("Tahoma");
        const QFont general = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
        QFont sans(general.family());
        sans.setStyleHint(QFont::SansSerif);
        return QFontInfo(sans).family();
    }();
    return family;
}

}  // namespace

QFont uifont(int pixelsize, bool bold) {
    QFont font(uifamily());
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixelsize);
    font.setBold(bold);
    return font;
}

}  // namespace kestrune
