#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <memory>

namespace ov::db {

// Criteria of Find and Filter, such as "Name='Motor 1'", "ID=5" or
// "DeviceID = 3 AND (Name Like 'M*' OR Enabled = True)". Field names are
// resolved when the criteria are parsed, so a misspelt field fails at once.
// Texts compare without regard to letter case, like the database does.
class Criteria {
public:
    // Throws DbError (InvalidArgument, ItemNotFound) on malformed criteria.
    static Criteria Parse(const QString& text, const QStringList& fieldNames);

    // fieldValue(i) gives the value of field i of the row under test.
    bool Evaluate(const std::function<QVariant(int)>& fieldValue) const;

    struct Node;

private:
    explicit Criteria(std::shared_ptr<const Node> root) : m_root(std::move(root)) {}
    std::shared_ptr<const Node> m_root;
};

// Compares two values the way criteria and Seek do: numbers as numbers,
// texts without regard to case, Null before everything. Gives <0, 0 or >0.
int CompareValues(const QVariant& a, const QVariant& b);

}  // namespace ov::db
