// The automatic three-state check box: a click or Space goes unchecked, checked,
// indeterminate, unchecked (Qt's own cycle puts indeterminate second).
#pragma once

#include <QCheckBox>

class ThreeStateCheckBox : public QCheckBox {
public:
    explicit ThreeStateCheckBox(QWidget* parent) : QCheckBox(parent) { setTristate(true); }

protected:
    void nextCheckState() override {
        setCheckState(checkState() == Qt::Unchecked ? Qt::Checked
                      : checkState() == Qt::Checked ? Qt::PartiallyChecked
                                                    : Qt::Unchecked);
    }
};
