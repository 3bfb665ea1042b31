#include "gui/CAboutBox.h"

#include "gui/appIcon.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

CAboutBox::CAboutBox(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("About Kestrane"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);

    auto* icon = new QLabel(this);
    icon->setPixmap(AppIcon().pixmap(32, 32));
    icon->setAlignment(Qt::AlignTop);

    auto* version = new QLabel(QStringLiteral("Kestrane Version 1.0"), this);
    version->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    auto* buttons = new QDialogButtonBox(Qt::Vertical, this);
    QPushButton* ok = buttons->addButton(QDialogButtonBox::Ok);
    ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(18, 14, 12, 14);
    row->setSpacing(16);
    row->addWidget(icon);
    row->addWidget(version, 1);
    row->addWidget(buttons);
    row->setSizeConstraint(QLayout::SetFixedSize);
    setMinimumWidth(340);
}
