#pragma once

#include <QString>

namespace quillory {

// Why a backup could not be opened.
class ImportError final
{
public:
    enum class Kind { InvalidFormat, UnsupportedVersion, InvalidPassphrase, DecryptionFailed };

    explicit ImportError(Kind kind) : m_kind(kind) {}

    Kind kind() const { return m_kind; }
    QString errorDescription() const;
    bool operator==(const ImportError &) const = default;

private:
    Kind m_kind;
};

} // namespace quillory
