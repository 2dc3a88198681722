// CAboutBox: the program's name, version, icon and licence notice, from the window menu.
#pragma once

#include "platform/dialog/dialog.h"

class CAboutBox : public CDialog {
public:
    CAboutBox();
    ~CAboutBox() override = default;

protected:
    MessageMap GetMessageMap() const override { return {}; }
    void DoDataExchange(CDataExchange* pDX) override;
};
