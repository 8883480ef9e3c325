#include "app/widgets/about_dialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>

#include "app/widgets/app_icon.h"
#include "app/widgets/hyperlink_label.h"

namespace swivio::app {

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
    setObjectName("AboutDialog");
    setWindowTitle("About");
    setProperty("helpPage", "about.html");
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    auto* icon = new QLabel(this);
    icon->setPixmap(appIcon().pixmap(48, 48));
    auto* name = new QLabel("Velmora Swivio 1.1", this);
    QFont bold = name->font();
    bold.setBold(true);
    name->setFont(bold);
    auto* website = new HyperlinkLabel("www.velmora.example", kWebsiteAddress, this);
    auto* support = new HyperlinkLabel("support@velmora.example", kSupportAddress, this);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* grid = new QGridLayout(this);
    grid->addWidget(icon, 0, 0, 3, 1, Qt::AlignTop);
    grid->addWidget(name, 0, 1, 1, 2);
    grid->addWidget(new QLabel("Website:", this), 1, 1);
    grid->addWidget(website, 1, 2);
    grid->addWidget(new QLabel("Support:", this), 2, 1);
    grid->addWidget(support, 2, 2);
    grid->addWidget(buttons, 3, 0, 1, 3);
    grid->setColumnStretch(2, 1);
}

} // namespace swivio::app
