#include "engine/SqlParams.h"

namespace engine {

namespace {

bool isNameChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_' || c == u'$';
}

// Copies a quoted constant or a comment starting at i verbatim and returns
// the index just after it (an unterminated one runs to the end of the text).
qsizetype copyOpaque(const QString &s, qsizetype i, QString &out)
{
    const QChar c = s[i];
    qsizetype end;
    if (c == u'\'' || c == u'"') {
        end = i + 1;
        while (end < s.size()) {
            if (s[end] == c) {
                // A doubled quote stays inside the constant.
                if (end + 1 < s.size() && s[end + 1] == c) {
                    end += 2;
                    continue;
                }
                ++end;
                break;
            }
            ++end;
        }
        if (end > s.size())
            end = s.size();
    } else if (c == u'/') { // block comment
        const qsizetype close = s.indexOf(QLatin1String("*/"), i + 2);
        end = close < 0 ? s.size() : close + 2;
    } else { // line comment
        const qsizetype nl = s.indexOf(u'\n', i + 2);
        end = nl < 0 ? s.size() : nl;
    }
    out += QStringView(s).mid(i, end - i);
    return end;
}

} // namespace

ParsedSql parseSqlParams(const QString &s)
{
    ParsedSql r;
    r.serverText.reserve(s.size());
    qsizetype i = 0;
    const qsizetype n = s.size();
    while (i < n) {
        const QChar c = s[i];
        if (c == u'\'' || c == u'"'
            || (c == u'/' && i + 1 < n && s[i + 1] == u'*')
            || (c == u'-' && i + 1 < n && s[i + 1] == u'-')) {
            i = copyOpaque(s, i, r.serverText);
            continue;
        }
        if (c == u':') {
            if (i + 1 < n && s[i + 1] == u':') {
                r.serverText += u':';
                i += 2;
                continue;
            }
            qsizetype j = i + 1;
            while (j < n && isNameChar(s[j]))
                ++j;
            if (j > i + 1) {
                r.paramNames << s.mid(i + 1, j - i - 1);
                r.serverText += u'?';
                i = j;
                continue;
            }
        }
        r.serverText += c;
        ++i;
    }
    return r;
}

} // namespace engine
