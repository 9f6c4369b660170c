#include <model/ItemType.h>

#include <gtest/gtest.h>

using namespace quillory;
using namespace Qt::StringLiterals;

namespace {

ItemType detect(const char *url)
{
    return ItemType::detect(QUrl(QString::fromLatin1(url)));
}

} // namespace

TEST(ItemType, RawValuesNamesAndUnknownText)
{
    ASSERT_EQ(ItemType::allCases().size(), 6);
    const char *raw[] = {"web_link", "video", "social_post", "image", "screenshot", "document"};
    const char *names[] = {"Web Link", "Video", "Social Post", "Image", "Screenshot", "Document"};
    for (int i = 0; i < 6; ++i) {
        const ItemType t = ItemType::allCases()[i];
        EXPECT_EQ(t.rawValue(), QLatin1String(raw[i]));
        EXPECT_EQ(t.displayName(), QLatin1String(names[i]));
        EXPECT_EQ(ItemType::fromRawValue(t.rawValue()), t);
    }
    EXPECT_FALSE(ItemType::fromRawValue(u"Video"_s).has_value());
    EXPECT_EQ(ItemType::fromRawValueOrWebLink(u"podcast"_s), ItemType::WebLink);
    EXPECT_EQ(ItemType(ItemType::WebLink).iconName(), u"link"_s);
}

TEST(ItemType, DetectsByHostThenByPath)
{
    struct Case
    {
        const char *url;
        ItemType::Value expected;
    };
    const Case cases[] = {
        {"https://www.facebook.com/someone/posts/1", ItemType::SocialPost},
        {"https://fb.com/x", ItemType::SocialPost},
        {"https://x.com/user/status/1", ItemType::SocialPost},
        // Plain containment: a longer unrelated host holding the X domain counts too.
        {"https://dropbox.com/file", ItemType::SocialPost},
        {"https://box.company.example/page", ItemType::SocialPost},
        {"https://example.org/page", ItemType::WebLink},
        {"https://www.threads.net/@a", ItemType::SocialPost},
        {"https://www.youtube.com/watch?v=abc", ItemType::Video},
        {"https://youtu.be/abc", ItemType::Video},
        {"https://vimeo.com/123", ItemType::Video},
        {"https://example.com/clip.MP4", ItemType::Video},
        {"https://example.com/a/b.mov", ItemType::Video},
        {"https://example.com/photo.jpeg?size=large", ItemType::Image},
        {"https://example.com/p.webp", ItemType::Image},
        {"https://example.com/README.md", ItemType::Document},
        {"https://example.com/report.PDF#page=2", ItemType::Document},
        {"https://example.com/", ItemType::WebLink},
        {"https://example.com/view?file=a.pdf", ItemType::WebLink},
        {"file:///home/ada/paper.pdf", ItemType::Document},
        {"file:///home/ada/notes", ItemType::WebLink},
        // Hosts win over extensions.
        {"https://www.instagram.com/p/abc/photo.png", ItemType::SocialPost},
        {"https://vimeo.com/files/guide.pdf", ItemType::Video},
    };
    for (const Case &c : cases)
        EXPECT_EQ(detect(c.url), c.expected) << c.url;
}
