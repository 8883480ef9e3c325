#pragma once

#include <QObject>
#include <QString>

class QWidget;

namespace swivio::app {

// The help page of a window: the "helpPage" property of the nearest window or dialog at or
// above `widget`; the overview when none names one.
QString helpPageFor(const QWidget* widget);

// Shows a help page in the help window, over `over` (a help window opened while a modal
// dialog runs belongs to that dialog, or the dialog would block it).
void showHelp(QWidget* over, const QString& page);

// F1 anywhere in the program, modal dialogs included: the page of the window in front.
class HelpKeyFilter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

} // namespace swivio::app
