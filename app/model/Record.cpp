#include <model/Record.h>

#include <model/Clock.h>

namespace quillory {

Record::Record(RecordKind kind) : m_kind(kind), m_id(QUuid::createUuid())
{
    m_createdAt = Clock::nowMSecs();
    m_modifiedAt = Clock::nowMSecs(); // read after createdAt, so never earlier
}

Record::Record(RecordKind kind, const QUuid &id, qint64 createdAt, qint64 modifiedAt)
    : m_kind(kind), m_persisted(true), m_id(id), m_createdAt(createdAt), m_modifiedAt(modifiedAt)
{
}

void Record::setModifiedAt(const QDateTime &when)
{
    const qint64 ms = when.toMSecsSinceEpoch();
    if (ms == m_modifiedAt || !mayChange())
        return;
    m_modifiedAt = ms;
    didChange();
}

void Record::setCreatedAt(const QDateTime &when)
{
    const qint64 ms = when.toMSecsSinceEpoch();
    if (ms == m_createdAt || !mayChange())
        return;
    m_createdAt = ms;
    didChange();
}

void Record::setId(const QUuid &id)
{
    if (m_context == nullptr)
        m_id = id;
}

void Record::didChange()
{
    if (m_context != nullptr)
        m_context->recordDidChange(*this);
}

void Record::touch()
{
    m_modifiedAt = Clock::nowMSecs();
    didChange();
}

} // namespace quillory
