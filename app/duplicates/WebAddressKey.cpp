#include <duplicates/WebAddressKey.h>

#include <QList>
#include <algorithm>
#include <array>

namespace quillory {

namespace {

bool isTrackingParameter(QStringView name)
{
    static constexpr std::array<QStringView, 13> names{
        u"fbclid", u"gclid",  u"dclid",  u"gbraid", u"wbraid", u"msclkid", u"yclid",
        u"mc_cid", u"mc_eid", u"igshid", u"_hsenc", u"_hsmi",  u"mkt_tok"};
    if (name.startsWith(u"utm_", Qt::CaseInsensitive))
        return true;
    return std::any_of(names.begin(), names.end(), [name](QStringView tracking) {
        return name.compare(tracking, Qt::CaseInsensitive) == 0;
    });
}

QString normalizedQuery(QStringView query)
{
    QList<QStringView> kept;
    for (QStringView parameter : query.tokenize(u'&')) {
        if (parameter.isEmpty())
            continue;
        const qsizetype equals = parameter.indexOf(u'=');
        if (!isTrackingParameter(equals < 0 ? parameter : parameter.left(equals)))
            kept.append(parameter);
    }
    std::stable_sort(kept.begin(), kept.end());
    QString joined;
    for (QStringView parameter : std::as_const(kept)) {
        if (!joined.isEmpty())
            joined += u'&';
        joined += parameter;
    }
    return joined;
}

} // namespace

QString WebAddressKey::of(QStringView address)
{
    address = address.trimmed();
    const qsizetype colon = address.indexOf(u':');
    if (colon <= 0)
        return address.toString();
    const QString scheme = address.left(colon).toString().toLower();
    QStringView rest = address.mid(colon + 1);
    if ((scheme != u"http" && scheme != u"https") || !rest.startsWith(u"//"))
        return scheme + u':' + rest;
    rest = rest.mid(2);

    const qsizetype hash = rest.indexOf(u'#');
    if (hash >= 0)
        rest = rest.left(hash);
    QStringView query;
    if (const qsizetype question = rest.indexOf(u'?'); question >= 0) {
        query = rest.mid(question + 1);
        rest = rest.left(question);
    }
    const qsizetype slash = rest.indexOf(u'/');
    QStringView authority = slash < 0 ? rest : rest.left(slash);
    QStringView path = slash < 0 ? QStringView() : rest.mid(slash);

    QString host = authority.toString().toLower();
    const QStringView defaultPort = scheme == u"http" ? QStringView(u":80") : QStringView(u":443");
    if (host.endsWith(defaultPort))
        host.chop(defaultPort.size());
    if (host.startsWith(u"www."))
        host.remove(0, 4);
    if (path.endsWith(u'/'))
        path.chop(1);

    QString key = QStringLiteral("https://");
    key += host;
    key += path;
    const QString kept = normalizedQuery(query);
    if (!kept.isEmpty()) {
        key += u'?';
        key += kept;
    }
    return key;
}

} // namespace quillory
