#include "app/help/help_window.h"

#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QPointer>
#include <QTextBrowser>
#include <QVBoxLayout>
#include <QWidget>

// The help pages are compiled into the program's library; a static library's resources
// are registered by hand.
static void registerHelpPages() { Q_INIT_RESOURCE(swivio); }

namespace swivio::app {

namespace {

constexpr char kOverviewPage[] = "overview.html";

class HelpWindow : public QDialog {
public:
    explicit HelpWindow(QWidget* parent) : QDialog(parent) {
        setObjectName("HelpWindow");
        setWindowTitle("Swivio Help");
        setAttribute(Qt::WA_DeleteOnClose);
        setWindowFlags(Qt::Window | Qt::WindowCloseButtonHint);
        m_browser = new QTextBrowser(this);
        registerHelpPages();
        m_browser->setSearchPaths({":/swivio/help"});
        m_browser->setOpenExternalLinks(true);
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(m_browser);
        resize(640, 560);
    }
    void showPage(const QString& page) {
        m_browser->setSource(QUrl("qrc:/swivio/help/" + page));
    }

private:
    QTextBrowser* m_browser = nullptr;
};

QPointer<HelpWindow> g_helpWindow;

} // namespace

QString helpPageFor(const QWidget* widget) {
    for (const QWidget* w = widget; w; w = w->parentWidget()) {
        const QVariant page = w->property("helpPage");
        if (page.isValid() && !page.toString().isEmpty())
            return page.toString();
        if (w->isWindow())
            break;
    }
    return kOverviewPage;
}

void showHelp(QWidget* over, const QString& page) {
    // One help window at a time; it moves to the window that asks, so that a modal dialog
    // does not block it.
    if (g_helpWindow && g_helpWindow->parentWidget() != over) {
        g_helpWindow->close();
        g_helpWindow = nullptr;
    }
    if (!g_helpWindow)
        g_helpWindow = new HelpWindow(over);
    g_helpWindow->showPage(page.isEmpty() ? QString(kOverviewPage) : page);
    g_helpWindow->show();
    g_helpWindow->raise();
    g_helpWindow->activateWindow();
}

bool HelpKeyFilter::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_F1 && key->modifiers() == Qt::NoModifier &&
            watched->isWidgetType()) {
            // The key goes to a widget of the window in front; a modal dialog is in front
            // of everything.
            QWidget* front = QApplication::activeModalWidget();
            if (!front)
                front = static_cast<QWidget*>(watched)->window();
            if (front && front->objectName() == "HelpWindow")
                return true;
            QWidget* focus = QApplication::focusWidget();
            const QWidget* from = focus && front && front->isAncestorOf(focus) ? focus : front;
            showHelp(front, helpPageFor(from));
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace swivio::app
