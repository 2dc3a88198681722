// The automatic three-state check box: a click or Space goes unchecked, checked,
// indeterminate, unchecked (Qt's own cycle puts indeterminate second).
#pragma once

#include <QCheckBox>

namespace platform {

class ThreeStateCheckBox : public QCheckBox {
public:
    using QCheckBox::QCheckBox;

protected:
    void nextCheckState() override;
};

}  // namespace platform
