#pragma once

#include <QFont>
#include <QString>

class QWidget;

namespace swivio::app {

// The font the desktop gives tabbed sheets and their pages.
QFont sheetFont();

// True when the font database holds a family of that name (case-insensitive).
bool isFontInstalled(const QString& family);

// A panel made apart from the page that hosts it takes the page's face and size, so that
// the two look alike; its own children inherit it.
void matchPageFont(QWidget* panel, const QWidget* page);

} // namespace swivio::app
