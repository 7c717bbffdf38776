// TformImpulseResponse: hosts the dialog that picks an impulse response file.
#include "app/impulse_response.h"

namespace qeltx::app {

TformImpulseResponse::TformImpulseResponse(Editor& editor) : QWidget(nullptr), editor_(editor) {
    setObjectName(QStringLiteral("formImpulseResponse"));
    setWindowTitle(QStringLiteral("IR"));
}

}  // namespace qeltx::app
