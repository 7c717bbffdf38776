// TformImpulseResponse: hosts the dialog that picks an impulse response file and the window
// that shows it.
#include "app/impulse_response.h"

#include "app/editor.h"
#include "app/impulse_response_view.h"

namespace qeltx::app {

namespace {
// WAV first, as users know it; libsndfile reads AIFF and FLAC as well.
const QString kIrFileFilter = QStringLiteral(
    "Wave Files (*.wav);;Audio Files (*.wav *.wave *.aif *.aiff *.flac);;All Files (*)");
}  // namespace

TformImpulseResponse::TformImpulseResponse(Editor& editor) : QWidget(nullptr), editor_(editor) {
    setObjectName(QStringLiteral("formImpulseResponse"));
    setWindowTitle(QStringLiteral("IR"));
}

TformImpulseResponse::~TformImpulseResponse() = default;

ImpulseResponseView* TformImpulseResponse::view() {
    if (!view_) view_ = std::make_unique<ImpulseResponseView>(editor_);
    return view_.get();
}

QString TformImpulseResponse::executeOpenDialog1() {
    return editor_.dialogs().openFile(QStringLiteral("Load IR"), editor_.platform().documentsFolder(), kIrFileFilter);
}

}  // namespace qeltx::app
