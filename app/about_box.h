// CAboutBox: the program's name, version, icon and licence notice, from the window menu.
#pragma once

#include <QDialog>

class CAboutBox : public QDialog {
public:
    // Modal over `window` while it runs.
    explicit CAboutBox(QWidget* window);
};
