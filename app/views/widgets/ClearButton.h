#pragma once

class QLineEdit;

namespace quillory {

// The little button a text field shows to empty itself.
class ClearButton final
{
public:
    // Shows it, named: Qt draws it from an action with no text, which a screen reader then
    // announces as a button and nothing more.
    static void enable(QLineEdit &field);
};

} // namespace quillory
