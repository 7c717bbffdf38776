// TformFXParameters: the parameter panel generated from the current algorithm's control layout.
#include "app/fx_parameters.h"

namespace qeltx::app {

TformFXParameters::TformFXParameters(Editor& editor) : QWidget(nullptr), editor_(editor) {
    setObjectName(QStringLiteral("formFXParameters"));
    setWindowTitle(QStringLiteral("FX Parameters"));
}

}  // namespace qeltx::app
