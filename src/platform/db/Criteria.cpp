#include "platform/db/Criteria.h"

#include "platform/db/DbError.h"
#include "platform/db/LikePattern.h"

#include <QDateTime>
#include <optional>
#include <vector>

namespace ov::db {

struct Criteria::Node {
    enum Kind { And, Or, Not, Compare, Like, IsNull } kind;
    std::shared_ptr<const Node> left, right;  // And, Or; Not uses left
    int field = -1;
    QString op;  // =, <>, <, >, <=, >=
    QVariant value;
    std::optional<LikePattern> pattern;
    bool negated = false;  // Not Like, Is Not Null
};

namespace {

bool IsNumber(const QVariant& v) {
    switch (v.typeId()) {
        case QMetaType::Bool:
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Double:
        case QMetaType::Float:
        case QMetaType::Short:
        case QMetaType::UShort:
            return true;
        default:
            return false;
    }
}

double AsNumber(const QVariant& v) {
    if (v.typeId() == QMetaType::Bool) return v.toBool() ? -1.0 : 0.0;
    return v.toDouble();
}

[[noreturn]] void Fail(const QString& text, const QString& why) {
    throw DbError(err::InvalidArgument, QStringLiteral("The criteria \"%1\" cannot be used: %2.").arg(text, why));
}

class Parser {
public:
    Parser(const QString& text, const QStringList& fields) : m_text(text), m_fields(fields) {}

    std::shared_ptr<const Criteria::Node> ParseAll() {
        auto node = ParseOr();
        SkipSpace();
        if (m_pos < m_text.size()) Fail(m_text, QStringLiteral("unexpected \"%1\"").arg(m_text.mid(m_pos)));
        return node;
    }

private:
    using NodePtr = std::shared_ptr<const Criteria::Node>;

    void SkipSpace() {
        while (m_pos < m_text.size() && m_text[m_pos].isSpace()) ++m_pos;
    }

    bool AcceptWord(const char* word) {
        SkipSpace();
        const QLatin1String w(word);
        if (m_text.mid(m_pos, w.size()).compare(w, Qt::CaseInsensitive) != 0) return false;
        const qsizetype after = m_pos + w.size();
        if (after < m_text.size() && (m_text[after].isLetterOrNumber() || m_text[after] == u'_')) return false;
        m_pos = after;
        return true;
    }

    bool AcceptSymbol(QChar c) {
        SkipSpace();
        if (m_pos < m_text.size() && m_text[m_pos] == c) {
            ++m_pos;
            return true;
        }
        return false;
    }

    NodePtr ParseOr() {
        NodePtr node = ParseAnd();
        while (AcceptWord("OR")) node = Binary(Criteria::Node::Or, node, ParseAnd());
        return node;
    }

    NodePtr ParseAnd() {
        NodePtr node = ParseUnary();
        while (AcceptWord("AND")) node = Binary(Criteria::Node::And, node, ParseUnary());
        return node;
    }

    NodePtr Binary(Criteria::Node::Kind kind, NodePtr a, NodePtr b) {
        // A chain of AND and OR is evaluated (and freed) level by level too.
        constexpr int kMaxTerms = 2000;
        if (++m_terms > kMaxTerms) Fail(m_text, QStringLiteral("it joins more than %1 conditions").arg(kMaxTerms));
        auto node = std::make_shared<Criteria::Node>();
        node->kind = kind;
        node->left = std::move(a);
        node->right = std::move(b);
        return node;
    }

    NodePtr ParseUnary() {
        // Each level of parentheses or NOT is a level of the parser's own
        // stack: a limit keeps a silly text from ending the program.
        constexpr int kMaxDepth = 64;
        struct Level {
            int& depth;
            explicit Level(int& d) : depth(++d) {}
            ~Level() { --depth; }
        } level(m_depth);
        if (m_depth > kMaxDepth) Fail(m_text, QStringLiteral("it nests parentheses or NOT more than %1 deep").arg(kMaxDepth));
        if (AcceptWord("NOT")) {
            auto node = std::make_shared<Criteria::Node>();
            node->kind = Criteria::Node::Not;
            node->left = ParseUnary();
            return node;
        }
        if (AcceptSymbol(u'(')) {
            NodePtr inner = ParseOr();
            if (!AcceptSymbol(u')')) Fail(m_text, QStringLiteral("a closing parenthesis is missing"));
            return inner;
        }
        return ParseComparison();
    }

    int ParseField() {
        SkipSpace();
        QString name;
        if (m_pos < m_text.size() && m_text[m_pos] == u'[') {
            const qsizetype close = m_text.indexOf(u']', m_pos);
            if (close < 0) Fail(m_text, QStringLiteral("a closing bracket is missing"));
            name = m_text.mid(m_pos + 1, close - m_pos - 1);
            m_pos = close + 1;
        } else {
            const qsizetype start = m_pos;
            while (m_pos < m_text.size() &&
                   (m_text[m_pos].isLetterOrNumber() || m_text[m_pos] == u'_' || m_text[m_pos] == u'.'))
                ++m_pos;
            name = m_text.mid(start, m_pos - start);
        }
        if (name.isEmpty()) Fail(m_text, QStringLiteral("a field name is expected"));
        for (int i = 0; i < m_fields.size(); ++i)
            if (m_fields[i].compare(name, Qt::CaseInsensitive) == 0) return i;
        throw DbError(err::ItemNotFound,
                      QStringLiteral("The field \"%1\" named in the criteria \"%2\" does not exist.").arg(name, m_text));
    }

    QVariant ParseValue() {
        SkipSpace();
        if (m_pos >= m_text.size()) Fail(m_text, QStringLiteral("a value is missing"));
        const QChar c = m_text[m_pos];
        if (c == u'\'' || c == u'"' || c == u'#') {
            QString value;
            ++m_pos;
            for (;;) {
                if (m_pos >= m_text.size()) Fail(m_text, QStringLiteral("a quote is not closed"));
                if (m_text[m_pos] == c) {
                    if (c != u'#' && m_pos + 1 < m_text.size() && m_text[m_pos + 1] == c) {
                        value += c;
                        m_pos += 2;
                        continue;
                    }
                    ++m_pos;
                    break;
                }
                value += m_text[m_pos++];
            }
            if (c == u'#') {
                QDateTime date = QDateTime::fromString(value, Qt::ISODate);
                if (!date.isValid()) date = QDateTime::fromString(value, QStringLiteral("M/d/yyyy"));
                if (!date.isValid()) Fail(m_text, QStringLiteral("\"%1\" is not a date").arg(value));
                return date;
            }
            return value;
        }
        if (AcceptWord("NULL")) return QVariant();
        if (AcceptWord("TRUE")) return QVariant(true);
        if (AcceptWord("FALSE")) return QVariant(false);
        const qsizetype start = m_pos;
        if (m_text[m_pos] == u'-' || m_text[m_pos] == u'+') ++m_pos;
        while (m_pos < m_text.size() && (m_text[m_pos].isDigit() || m_text[m_pos] == u'.' ||
                                         m_text[m_pos] == u'e' || m_text[m_pos] == u'E'))
            ++m_pos;
        bool ok = false;
        const QString number = m_text.mid(start, m_pos - start);
        const qlonglong whole = number.toLongLong(&ok);
        if (ok) return whole;
        const double real = number.toDouble(&ok);
        if (ok) return real;
        Fail(m_text, QStringLiteral("a value is expected at \"%1\"").arg(m_text.mid(start)));
    }

    NodePtr ParseComparison() {
        auto node = std::make_shared<Criteria::Node>();
        node->field = ParseField();
        if (AcceptWord("IS")) {
            node->kind = Criteria::Node::IsNull;
            node->negated = AcceptWord("NOT");
            if (!AcceptWord("NULL")) Fail(m_text, QStringLiteral("\"Is\" must be followed by \"Null\""));
            return node;
        }
        const bool notLike = AcceptWord("NOT");
        if (notLike || AcceptWord("LIKE")) {
            if (notLike && !AcceptWord("LIKE")) Fail(m_text, QStringLiteral("\"Not\" must be followed by \"Like\""));
            node->kind = Criteria::Node::Like;
            node->negated = notLike;
            node->pattern = LikePattern::ForCriteria(ParseValue().toString());
            return node;
        }
        SkipSpace();
        static const char* const ops[] = {"<>", "<=", ">=", "=", "<", ">"};
        for (const char* op : ops) {
            const QLatin1String o(op);
            if (m_text.mid(m_pos, o.size()) == o) {
                m_pos += o.size();
                node->kind = Criteria::Node::Compare;
                node->op = o;
                node->value = ParseValue();
                if (node->value.isNull() && (node->op == QStringLiteral("=") || node->op == QStringLiteral("<>"))) {
                    // "Field = Null" means "Is Null", as recordset filters always took it.
                    node->kind = Criteria::Node::IsNull;
                    node->negated = node->op == QStringLiteral("<>");
                }
                return node;
            }
        }
        Fail(m_text, QStringLiteral("a comparison operator is expected"));
    }

    const QString& m_text;
    const QStringList& m_fields;
    qsizetype m_pos = 0;
    int m_depth = 0;
    int m_terms = 0;
};

bool EvaluateNode(const Criteria::Node& node, const std::function<QVariant(int)>& value) {
    switch (node.kind) {
        case Criteria::Node::And:
            return EvaluateNode(*node.left, value) && EvaluateNode(*node.right, value);
        case Criteria::Node::Or:
            return EvaluateNode(*node.left, value) || EvaluateNode(*node.right, value);
        case Criteria::Node::Not:
            return !EvaluateNode(*node.left, value);
        case Criteria::Node::IsNull:
            return value(node.field).isNull() != node.negated;
        case Criteria::Node::Like: {
            const QVariant v = value(node.field);
            if (v.isNull()) return false;
            return node.pattern->Matches(v.toString()) != node.negated;
        }
        case Criteria::Node::Compare: {
            const QVariant v = value(node.field);
            if (v.isNull()) return false;
            const int c = CompareValues(v, node.value);
            if (node.op == QStringLiteral("=")) return c == 0;
            if (node.op == QStringLiteral("<>")) return c != 0;
            if (node.op == QStringLiteral("<")) return c < 0;
            if (node.op == QStringLiteral(">")) return c > 0;
            if (node.op == QStringLiteral("<=")) return c <= 0;
            return c >= 0;
        }
    }
    return false;
}

}  // namespace

int CompareValues(const QVariant& a, const QVariant& b) {
    const bool aNull = a.isNull(), bNull = b.isNull();
    if (aNull || bNull) return aNull == bNull ? 0 : (aNull ? -1 : 1);
    if (IsNumber(a) || IsNumber(b)) {
        bool okA = true, okB = true;
        const double x = IsNumber(a) ? AsNumber(a) : a.toString().trimmed().toDouble(&okA);
        const double y = IsNumber(b) ? AsNumber(b) : b.toString().trimmed().toDouble(&okB);
        if (okA && okB) return x < y ? -1 : (x > y ? 1 : 0);
    }
    if (a.typeId() == QMetaType::QDateTime && b.typeId() == QMetaType::QDateTime) {
        const auto x = a.toDateTime(), y = b.toDateTime();
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    return a.toString().compare(b.toString(), Qt::CaseInsensitive);
}

Criteria Criteria::Parse(const QString& text, const QStringList& fieldNames) {
    if (text.trimmed().isEmpty()) Fail(text, QStringLiteral("they are empty"));
    Parser parser(text, fieldNames);
    return Criteria(parser.ParseAll());
}

bool Criteria::Evaluate(const std::function<QVariant(int)>& fieldValue) const {
    return EvaluateNode(*m_root, fieldValue);
}

}  // namespace ov::db
