#include <share/SharedItem.h>

namespace quillory {

const QList<SharedItemType> &SharedItemType::allCases()
{
    static const QList<SharedItemType> cases{WebLink, Video, SocialPost, Image, Document};
    return cases;
}

QString SharedItemType::rawValue() const
{
    switch (m_value) {
    case WebLink:
        return QStringLiteral("web_link");
    case Video:
        return QStringLiteral("video");
    case SocialPost:
        return QStringLiteral("social_post");
    case Image:
        return QStringLiteral("image");
    case Document:
        return QStringLiteral("document");
    }
    return {};
}

} // namespace quillory
