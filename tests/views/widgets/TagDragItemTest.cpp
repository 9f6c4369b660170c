#include <views/widgets/TagDragItem.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QMimeData>
#include <gtest/gtest.h>
#include <memory>

using namespace quillory;
using namespace Qt::StringLiterals;

namespace {

std::unique_ptr<QMimeData> mimeWith(const QByteArray &payload)
{
    auto mime = std::make_unique<QMimeData>();
    mime->setData(TagDragItem::mimeType, payload);
    return mime;
}

} // namespace

TEST(TagDragItemTest, JsonCarriesTheIdInUpperCaseWithoutBraces)
{
    const QUuid id = QUuid::fromString(u"{3f2504e0-4f89-11d3-9a0c-0305e82c3301}"_s);
    const QByteArray json = TagDragItem{id}.toJson();
    const QJsonDocument doc = QJsonDocument::fromJson(json);
    ASSERT_TRUE(doc.isObject());
    EXPECT_EQ(doc.object().size(), 1);
    EXPECT_EQ(doc.object().value(u"tagId"_s).toString(), u"3F2504E0-4F89-11D3-9A0C-0305E82C3301"_s);
    const auto back = TagDragItem::fromJson(json);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->tagId, id);
    EXPECT_EQ(TagDragItem::mimeType, u"com.quillory.tag"_s);

    const auto lower = TagDragItem::fromJson(R"({"tagId":"3f2504e0-4f89-11d3-9a0c-0305e82c3301"})");
    ASSERT_TRUE(lower.has_value());
    EXPECT_EQ(lower->tagId, id);
}

TEST(TagDragItemTest, RejectsPayloadsWithoutAValidId)
{
    const char *bad[] = {
        "",
        "not json",
        R"({"tagId":"3F2504E0-4F89-11D3-9A0C-0305E82C3301")",
        "null",
        R"("3F2504E0-4F89-11D3-9A0C-0305E82C3301")",
        R"([{"tagId":"3F2504E0-4F89-11D3-9A0C-0305E82C3301"}])",
        "{}",
        R"({"id":"3F2504E0-4F89-11D3-9A0C-0305E82C3301"})",
        R"({"tagId":42})",
        R"({"tagId":null})",
        R"({"tagId":""})",
        R"({"tagId":"tag"})",
        R"({"tagId":"{3F2504E0-4F89-11D3-9A0C-0305E82C3301}"})",
        R"({"tagId":"3F2504E0-4F89-11D3-9A0C-0305E82C330"})",
        R"({"tagId":"3F2504E04F8911D39A0C0305E82C3301"})",
        R"({"tagId":"3F2504E0-4F89-11D3-9A0C-0305E82C330G"})",
    };
    for (const char *json : bad)
        EXPECT_FALSE(TagDragItem::fromJson(QByteArray(json)).has_value()) << json;
}

TEST(TagDragItemTest, MimeDataRoundTrip)
{
    const TagDragItem a{QUuid::createUuid()};
    const TagDragItem b{QUuid::createUuid()};
    std::unique_ptr<QMimeData> one(a.toMimeData());
    EXPECT_TRUE(one->hasFormat(TagDragItem::mimeType));
    EXPECT_EQ(one->data(TagDragItem::mimeType), a.toJson());
    EXPECT_EQ(TagDragItem::fromMimeData(*one), QList<TagDragItem>{a});

    std::unique_ptr<QMimeData> both(TagDragItem::toMimeData({a, b}));
    EXPECT_EQ(TagDragItem::fromMimeData(*both), (QList<TagDragItem>{a, b}));

    QMimeData text;
    text.setText(QString::fromLatin1(a.toJson()));
    EXPECT_TRUE(TagDragItem::fromMimeData(text).isEmpty());
    EXPECT_TRUE(TagDragItem::fromMimeData(*mimeWith("{}")).isEmpty());
    const QByteArray mixed = "[" + a.toJson() + R"(,{"tagId":7},"x",)" + b.toJson() + "]";
    EXPECT_EQ(TagDragItem::fromMimeData(*mimeWith(mixed)), (QList<TagDragItem>{a, b}));
}
