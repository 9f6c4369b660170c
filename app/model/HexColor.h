#pragma once

#include <QColor>
#include <QString>
#include <optional>

namespace quillory {

// The colour text form stored by folders and tags: "#" and six upper-case hex digits.
class HexColor final
{
public:
    static inline const QString defaultHex = QStringLiteral("#007AFF");

    // Components are truncated (0.5 gives 7F), not rounded. An invalid colour has no
    // text form; callers fall back to defaultHex.
    static std::optional<QString> toHex(const QColor &color);

    // Never fails: text that holds no hex number at its start gives the standard blue.
    static QColor fromHex(const QString &text);

    // toHex(color), or defaultHex when the colour has no text form.
    static QString toHexOrDefault(const QColor &color);
};

} // namespace quillory
