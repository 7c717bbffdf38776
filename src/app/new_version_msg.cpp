// TformNewVersionMsg: the notice that a newer editor is out.
#include "app/new_version_msg.h"

namespace qeltx::app {

TformNewVersionMsg::TformNewVersionMsg(Editor& editor) : QWidget(nullptr), editor_(editor) {
    setObjectName(QStringLiteral("formNewVersionMsg"));
    setWindowTitle(QStringLiteral("New Version"));
}

}  // namespace qeltx::app
