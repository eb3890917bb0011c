#include "engine/Filter.h"

#include "engine/Error.h"

#include <QDate>
#include <QDateTime>
#include <QTime>
#include <vector>

namespace engine {

namespace {

enum class Op { Eq, Ne, Lt, Gt, Le, Ge };

bool isTemporal(const QVariant &v)
{
    const int t = v.typeId();
    return t == QMetaType::QDate || t == QMetaType::QDateTime || t == QMetaType::QTime;
}

QStringView withoutTrailingBlanks(const QString &s)
{
    qsizetype n = s.size();
    while (n > 0 && s.at(n - 1) == QLatin1Char(' '))
        --n;
    return QStringView(s).left(n);
}

int sign(double d)
{
    return d < 0 ? -1 : (d > 0 ? 1 : 0);
}

} // namespace

int FilterExpression::compare(const QVariant &a, const QVariant &b)
{
    if (a.isNull() || b.isNull())
        return -2;
    if (isNumeric(a) || isNumeric(b)) {
        bool okA = true, okB = true;
        const double x = isNumeric(a) ? a.toDouble() : a.toString().trimmed().toDouble(&okA);
        const double y = isNumeric(b) ? b.toDouble() : b.toString().trimmed().toDouble(&okB);
        if (okA && okB)
            return sign(x - y);
    }
    if (isTemporal(a) && isTemporal(b)) {
        const QDateTime x = a.typeId() == QMetaType::QTime ? QDateTime(QDate(2000, 1, 1), a.toTime()) : a.toDateTime();
        const QDateTime y = b.typeId() == QMetaType::QTime ? QDateTime(QDate(2000, 1, 1), b.toTime()) : b.toDateTime();
        return x < y ? -1 : (y < x ? 1 : 0);
    }
    const QString x = valueText(a);
    const QString y = valueText(b);
    return sign(withoutTrailingBlanks(x).compare(withoutTrailingBlanks(y), Qt::CaseInsensitive));
}

struct FilterExpression::Node {
    enum Kind { And, Or, Not, Compare } kind = Compare;
    std::vector<std::shared_ptr<Node>> children;
    Op op = Op::Eq;
    struct Operand {
        bool isField = false;
        QString name;
        int index = -1;
        QVariant literal;
    } left, right;
};

namespace {

using Node = FilterExpression::Node;

enum class Tok { End, LParen, RParen, Field, Name, Text, Number, Op, And, Or, Not };

struct Token {
    Tok kind = Tok::End;
    QString text;
    int pos = 0;
};

class Parser {
public:
    explicit Parser(const QString &text) : m_text(text) { advance(); }

    std::shared_ptr<Node> parseAll()
    {
        auto n = parseOr();
        if (m_tok.kind != Tok::End)
            fail(QStringLiteral("unexpected '%1'").arg(m_tok.text));
        return n;
    }

private:
    [[noreturn]] void fail(const QString &why) const
    {
        throw Error(QStringLiteral("Invalid filter expression \"%1\": %2 at position %3")
                        .arg(m_text, why)
                        .arg(m_tok.pos + 1));
    }

    void advance()
    {
        const QString &s = m_text;
        while (m_pos < s.size() && s.at(m_pos).isSpace())
            ++m_pos;
        m_tok = Token();
        m_tok.pos = int(m_pos);
        if (m_pos >= s.size())
            return;
        const QChar c = s.at(m_pos);
        if (c == QLatin1Char('(') || c == QLatin1Char(')')) {
            m_tok.kind = c == QLatin1Char('(') ? Tok::LParen : Tok::RParen;
            m_tok.text = c;
            ++m_pos;
            return;
        }
        if (c == QLatin1Char('[')) {
            const qsizetype end = s.indexOf(QLatin1Char(']'), m_pos + 1);
            if (end < 0)
                fail(QStringLiteral("missing ']'"));
            m_tok.kind = Tok::Field;
            m_tok.text = s.mid(m_pos + 1, end - m_pos - 1).trimmed();
            if (m_tok.text.isEmpty())
                fail(QStringLiteral("empty field name"));
            m_pos = end + 1;
            return;
        }
        if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            // A quote inside the text is written twice.
            QString out;
            qsizetype i = m_pos + 1;
            for (;;) {
                if (i >= s.size())
                    fail(QStringLiteral("unterminated text"));
                if (s.at(i) == c) {
                    if (i + 1 < s.size() && s.at(i + 1) == c) {
                        out += c;
                        i += 2;
                        continue;
                    }
                    break;
                }
                out += s.at(i++);
            }
            m_tok.kind = Tok::Text;
            m_tok.text = out;
            m_pos = i + 1;
            return;
        }
        if (c.isDigit() || ((c == QLatin1Char('-') || c == QLatin1Char('.')) && m_pos + 1 < s.size()
                            && (s.at(m_pos + 1).isDigit() || s.at(m_pos + 1) == QLatin1Char('.')))) {
            qsizetype i = m_pos + 1;
            while (i < s.size() && (s.at(i).isDigit() || s.at(i) == QLatin1Char('.')))
                ++i;
            m_tok.kind = Tok::Number;
            m_tok.text = s.mid(m_pos, i - m_pos);
            m_pos = i;
            return;
        }
        static const char *const ops[] = {"<>", "!=", "<=", ">=", "=", "<", ">"};
        for (const char *op : ops) {
            const QLatin1String o(op);
            if (QStringView(s).mid(m_pos).startsWith(o)) {
                m_tok.kind = Tok::Op;
                m_tok.text = o;
                m_pos += o.size();
                return;
            }
        }
        if (c.isLetter() || c == QLatin1Char('_') || c == QLatin1Char('$')) {
            qsizetype i = m_pos + 1;
            while (i < s.size() && (s.at(i).isLetterOrNumber() || s.at(i) == QLatin1Char('_') || s.at(i) == QLatin1Char('$')))
                ++i;
            m_tok.text = s.mid(m_pos, i - m_pos);
            m_pos = i;
            if (m_tok.text.compare(QLatin1String("and"), Qt::CaseInsensitive) == 0)
                m_tok.kind = Tok::And;
            else if (m_tok.text.compare(QLatin1String("or"), Qt::CaseInsensitive) == 0)
                m_tok.kind = Tok::Or;
            else if (m_tok.text.compare(QLatin1String("not"), Qt::CaseInsensitive) == 0)
                m_tok.kind = Tok::Not;
            else
                m_tok.kind = Tok::Name;
            return;
        }
        m_tok.text = c;
        fail(QStringLiteral("unexpected '%1'").arg(c));
    }

    std::shared_ptr<Node> parseOr()
    {
        auto left = parseAnd();
        while (m_tok.kind == Tok::Or) {
            advance();
            auto n = std::make_shared<Node>();
            n->kind = Node::Or;
            n->children = {left, parseAnd()};
            left = n;
        }
        return left;
    }

    std::shared_ptr<Node> parseAnd()
    {
        auto left = parseUnary();
        while (m_tok.kind == Tok::And) {
            advance();
            auto n = std::make_shared<Node>();
            n->kind = Node::And;
            n->children = {left, parseUnary()};
            left = n;
        }
        return left;
    }

    std::shared_ptr<Node> parseUnary()
    {
        if (m_tok.kind == Tok::Not) {
            advance();
            auto n = std::make_shared<Node>();
            n->kind = Node::Not;
            n->children = {parseUnary()};
            return n;
        }
        if (m_tok.kind == Tok::LParen) {
            advance();
            auto n = parseOr();
            if (m_tok.kind != Tok::RParen)
                fail(QStringLiteral("missing ')'"));
            advance();
            return n;
        }
        auto n = std::make_shared<Node>();
        n->kind = Node::Compare;
        n->left = operand();
        if (m_tok.kind != Tok::Op)
            fail(QStringLiteral("comparison operator expected"));
        const QString op = m_tok.text;
        n->op = op == QLatin1String("=")    ? Op::Eq
                : op == QLatin1String("<")  ? Op::Lt
                : op == QLatin1String(">")  ? Op::Gt
                : op == QLatin1String("<=") ? Op::Le
                : op == QLatin1String(">=") ? Op::Ge
                                            : Op::Ne;
        advance();
        n->right = operand();
        if (!n->left.isField && !n->right.isField)
            fail(QStringLiteral("a comparison needs a field"));
        return n;
    }

    Node::Operand operand()
    {
        Node::Operand o;
        switch (m_tok.kind) {
        case Tok::Field:
        case Tok::Name:
            o.isField = true;
            o.name = m_tok.text;
            break;
        case Tok::Text:
            o.literal = m_tok.text;
            break;
        case Tok::Number: {
            bool ok = false;
            const qlonglong i = m_tok.text.toLongLong(&ok);
            if (ok) {
                o.literal = i;
            } else {
                const double d = m_tok.text.toDouble(&ok);
                if (!ok)
                    fail(QStringLiteral("bad number '%1'").arg(m_tok.text));
                o.literal = d;
            }
            break;
        }
        default:
            fail(m_tok.kind == Tok::End ? QStringLiteral("value expected") : QStringLiteral("unexpected '%1'").arg(m_tok.text));
        }
        advance();
        return o;
    }

    const QString &m_text;
    qsizetype m_pos = 0;
    Token m_tok;
};

void collectNames(const Node &n, QStringList &out)
{
    if (n.kind == Node::Compare) {
        for (const Node::Operand *o : {&n.left, &n.right})
            if (o->isField)
                out << o->name;
        return;
    }
    for (const auto &c : n.children)
        collectNames(*c, out);
}

void bindNode(Node &n, const std::function<int(const QString &)> &indexOf)
{
    if (n.kind == Node::Compare) {
        for (Node::Operand *o : {&n.left, &n.right}) {
            if (!o->isField)
                continue;
            o->index = indexOf(o->name);
            if (o->index < 0)
                throw Error(QStringLiteral("Field '%1' not found").arg(o->name));
        }
        return;
    }
    for (auto &c : n.children)
        bindNode(*c, indexOf);
}

bool evaluate(const Node &n, const std::function<QVariant(int)> &valueOf)
{
    switch (n.kind) {
    case Node::And:
        return evaluate(*n.children[0], valueOf) && evaluate(*n.children[1], valueOf);
    case Node::Or:
        return evaluate(*n.children[0], valueOf) || evaluate(*n.children[1], valueOf);
    case Node::Not:
        return !evaluate(*n.children[0], valueOf);
    case Node::Compare:
        break;
    }
    const QVariant a = n.left.isField ? valueOf(n.left.index) : n.left.literal;
    const QVariant b = n.right.isField ? valueOf(n.right.index) : n.right.literal;
    const int c = FilterExpression::compare(a, b);
    if (c == -2)
        return false;
    switch (n.op) {
    case Op::Eq:
        return c == 0;
    case Op::Ne:
        return c != 0;
    case Op::Lt:
        return c < 0;
    case Op::Gt:
        return c > 0;
    case Op::Le:
        return c <= 0;
    case Op::Ge:
        return c >= 0;
    }
    return false;
}

} // namespace

FilterExpression FilterExpression::parse(const QString &text)
{
    FilterExpression f;
    if (text.trimmed().isEmpty())
        return f;
    f.m_root = Parser(text).parseAll();
    return f;
}

QStringList FilterExpression::fieldNames() const
{
    QStringList out;
    if (m_root)
        collectNames(*m_root, out);
    return out;
}

void FilterExpression::bind(const std::function<int(const QString &)> &indexOf)
{
    if (m_root)
        bindNode(*m_root, indexOf);
}

bool FilterExpression::matches(const std::function<QVariant(int)> &valueOf) const
{
    return !m_root || evaluate(*m_root, valueOf);
}

} // namespace engine
