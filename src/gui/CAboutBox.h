#pragma once

#include <QDialog>

// The About box: the application icon, "Kestrane Version 1.0" and an OK
// button. Modal; OK, Esc and the close box dismiss it.
class CAboutBox : public QDialog {
    Q_OBJECT

public:
    explicit CAboutBox(QWidget* parent = nullptr);
};
