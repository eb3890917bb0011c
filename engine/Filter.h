#pragma once

#include "engine/Values.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <memory>

namespace engine {

// A data-set filter as the programs write them: comparisons of a field
// ("[usertype]" or a bare USERNAME) with a quoted text, a number or another
// field, joined with AND and OR, negated with NOT, grouped with parentheses:
//   ([usertype]=0) or ([usertype]=2)
//   USERNAME='SYSDBA'
//   [RDB$RELATION_NAME]='T' and [RDB$PRIVILEGE]='S'
// Texts compare without case and without trailing blanks (as the server
// compares CHAR values); a NULL field value satisfies no comparison.
// Text of a value as a grid shows it, the same as RowSet::text gives for the
// values it holds: empty for NULL, dates as yyyy-MM-dd, bytes as hex.

class FilterExpression {
public:
    FilterExpression() = default;

    // Raises engine::Error for a text that is not a well-formed filter.
    static FilterExpression parse(const QString &text);

    bool isEmpty() const { return !m_root; }
    // The field names the filter refers to, as written (brackets removed).
    QStringList fieldNames() const;

    // Resolves the field names to indexes; indexOf returns -1 for a name the
    // data set does not have, which raises engine::Error.
    void bind(const std::function<int(const QString &)> &indexOf);
    // Evaluates against one row; valueOf gets the bound field indexes.
    bool matches(const std::function<QVariant(int)> &valueOf) const;

    // Comparison shared with locate: -2 when the values cannot be compared
    // (either is NULL), else -1, 0 or 1.
    static int compare(const QVariant &a, const QVariant &b);

    struct Node;

private:
    std::shared_ptr<Node> m_root;
};

} // namespace engine
