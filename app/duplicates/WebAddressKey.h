#pragma once

#include <QString>
#include <QStringView>

namespace quillory {

// The form of a web address under which two addresses of the same page compare equal, for
// finding duplicates. The rules, in order:
// - http and https count as one scheme; the scheme and the host ignore case;
// - a port that is the scheme's default (80, 443) is dropped, and so is a leading "www.";
// - a trailing "/" on the path is dropped ("example.com/a/" is "example.com/a");
// - the fragment ("#section") is dropped;
// - tracking parameters are dropped from the query: every "utm_*", and "fbclid", "gclid",
//   "dclid", "gbraid", "wbraid", "msclkid", "yclid", "mc_cid", "mc_eid", "igshid",
//   "_hsenc", "_hsmi", "mkt_tok"; the remaining parameters are put in order.
// Addresses of other schemes (mailto:, file:) are compared as they are written. An
// address is compared by its text alone: no request is made.
class WebAddressKey final
{
public:
    static QString of(QStringView address);
};

} // namespace quillory
