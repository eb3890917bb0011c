#include "privileges/PrivilegeKinds.h"

namespace privileges {

namespace {
struct Kind {
    char letter;
    const char *word;
};
constexpr Kind kKinds[] = {{'S', "Select"}, {'I', "Insert"}, {'D', "Delete"}, {'U', "Update"}, {'X', "Execute"}};
} // namespace

QString privilegeWord(QChar letter)
{
    for (const Kind &k : kKinds)
        if (letter == QLatin1Char(k.letter))
            return QString::fromLatin1(k.word);
    return QString();
}

QChar privilegeLetter(const QString &word)
{
    for (const Kind &k : kKinds)
        if (word.compare(QLatin1String(k.word), Qt::CaseInsensitive) == 0)
            return QLatin1Char(k.letter);
    return QChar();
}

} // namespace privileges
