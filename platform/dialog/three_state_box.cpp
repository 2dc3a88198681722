#include "platform/dialog/three_state_box.h"

namespace platform {

void ThreeStateCheckBox::nextCheckState() {
    switch (checkState()) {
        case Qt::Unchecked:
            setCheckState(Qt::Checked);
            break;
        case Qt::Checked:
            setCheckState(Qt::PartiallyChecked);
            break;
        case Qt::PartiallyChecked:
            setCheckState(Qt::Unchecked);
            break;
    }
}

}  // namespace platform
