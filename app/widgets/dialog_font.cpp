#include "app/widgets/dialog_font.h"

#include <QApplication>
#include <QFontDatabase>
#include <QWidget>

namespace swivio::app {

QFont sheetFont() { return QApplication::font("QTabWidget"); }

bool isFontInstalled(const QString& family) {
    const QStringList families = QFontDatabase::families();
    for (const QString& f : families)
        if (f.compare(family, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

void matchPageFont(QWidget* panel, const QWidget* page) {
    if (!panel)
        return;
    const QFont source = page ? page->font() : sheetFont();
    QFont font = panel->font();
    font.setFamilies(source.families());
    if (source.pointSizeF() > 0)
        font.setPointSizeF(source.pointSizeF());
    else if (source.pixelSize() > 0)
        font.setPixelSize(source.pixelSize());
    panel->setFont(font);
}

} // namespace swivio::app
