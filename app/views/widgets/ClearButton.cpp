#include <views/widgets/ClearButton.h>

#include <QAction>
#include <QLineEdit>

namespace quillory {

void ClearButton::enable(QLineEdit &field)
{
    field.setClearButtonEnabled(true);
    // Qt's own name for the action behind the button.
    if (auto *clear = field.findChild<QAction *>(QStringLiteral("_q_qlineeditclearaction"))) {
        clear->setText(QStringLiteral("Clear"));
        clear->setToolTip(QStringLiteral("Clear"));
    }
}

} // namespace quillory
