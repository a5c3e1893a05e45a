#include "platform/db/Recordset.h"

#include "platform/db/Connection.h"
#include "platform/db/ConnectionImpl.h"
#include "platform/db/Criteria.h"
#include "platform/db/RowSource.h"

#include <vector>

namespace ov::db {

struct Recordset::Impl {
    std::shared_ptr<ConnectionImpl> connection;
    std::shared_ptr<RowSource> source;
    QString sourceText;
    std::optional<std::vector<std::size_t>> view;  // positions in the source when filtered
    std::size_t viewLive = 0;
    QString filter;
    qsizetype pos = -1;  // -1 is BOF, ViewSize() is EOF
    quint64 keysetVersion = 0;
    EditMode editMode = EditMode::None;
    EditValues edit;
    std::vector<QVariant> originals;  // the row as it was when the change began
    qsizetype posBeforeAdd = -1;

    qsizetype ViewSize() const {
        return static_cast<qsizetype>(view ? view->size() : source->Size());
    }
    std::size_t KeyIndex(qsizetype p) const { return view ? (*view)[static_cast<std::size_t>(p)] : static_cast<std::size_t>(p); }
    bool Live(qsizetype p) const { return !source->IsRemoved(KeyIndex(p)); }
    std::size_t LiveInView() const { return view ? viewLive : source->LiveCount(); }
    bool InRange(qsizetype p) const { return p >= 0 && p < ViewSize(); }
    bool HasCurrent() const { return editMode != EditMode::Add && InRange(pos) && Live(pos); }

    qsizetype NextLive(qsizetype from, int step) const {
        for (qsizetype p = from; p >= 0 && p < ViewSize(); p += step)
            if (Live(p)) return p;
        return step > 0 ? ViewSize() : -1;
    }

    const Row& CurrentRow() const {
        if (!HasCurrent())
            throw DbError(err::NoCurrentRecord,
                          QStringLiteral("Either BOF or EOF is True, or the current record has been deleted; the "
                                         "operation needs a current record."));
        const Row& row = source->RowAt(KeyIndex(pos));
        if (row.missing)
            throw DbError(err::DeletedRow, QStringLiteral("The current record was deleted by another program."));
        return row;
    }

    void BuildView() {
        if (filter.isEmpty()) {
            view.reset();
            return;
        }
        QStringList names;
        for (const FieldInfo& f : source->Fields()) names << f.name;
        const Criteria criteria = Criteria::Parse(filter, names);
        std::vector<std::size_t> matching;
        for (std::size_t i = 0; i < source->Size(); ++i) {
            if (source->IsRemoved(i)) continue;
            const Row& row = source->RowAt(i);
            if (row.missing) continue;
            if (criteria.Evaluate([&row](int f) { return row.values[static_cast<std::size_t>(f)]; }))
                matching.push_back(i);
        }
        view = std::move(matching);
        viewLive = view->size();
    }

    // A clone may have read the set of rows again: start over on the new set.
    void SyncKeyset() {
        if (keysetVersion == source->KeysetVersion()) return;
        keysetVersion = source->KeysetVersion();
        BuildView();
        pos = NextLive(0, 1);
    }

    void ResetEdit() {
        editMode = EditMode::None;
        edit.clear();
        originals.clear();
    }
};

Recordset::Recordset() = default;
Recordset::~Recordset() {
    try {
        Close();
    } catch (...) {
        // Close never loses the pending change silently unless saving failed; nothing to add here.
    }
}
Recordset::Recordset(Recordset&&) noexcept = default;
Recordset& Recordset::operator=(Recordset&&) noexcept = default;

Recordset::Impl& Recordset::Open_() const {
    if (!m_impl) throw DbError(err::ObjectClosed, QStringLiteral("Operation is not allowed when the recordset is closed."));
    if (!m_impl->connection->IsOpen())
        throw DbError(err::ObjectClosed, QStringLiteral("Operation is not allowed when the connection is closed."));
    m_impl->SyncKeyset();
    return *m_impl;
}

#define OV_GUARDED(body) return Guarded(m_impl ? m_impl->connection.get() : nullptr, [&]() body)

void Recordset::Open(const QString& source, Connection& connection, CommandType type) {
    auto connectionImpl = connection.Impl();
    Guarded(connectionImpl.get(), [&] {
        if (m_impl) throw DbError(err::ObjectOpen, QStringLiteral("The recordset is already open."));
        (void)connectionImpl->Db();  // fails when closed
        auto impl = std::make_unique<Impl>();
        impl->connection = connectionImpl;
        impl->sourceText = source;
        switch (type) {
            case CommandType::TableDirect:
                impl->source = RowSource::ForTable(connectionImpl, source);
                break;
            case CommandType::Table:
                impl->source = RowSource::ForSql(connectionImpl, QStringLiteral("SELECT * FROM [%1]").arg(source));
                break;
            case CommandType::Text:
                impl->source = RowSource::ForSql(connectionImpl, source);
                break;
        }
        impl->keysetVersion = impl->source->KeysetVersion();
        impl->pos = impl->NextLive(0, 1);
        m_impl = std::move(impl);
    });
}

void Recordset::Close() {
    if (!m_impl) return;
    if (m_impl->editMode != EditMode::None && m_impl->connection->IsOpen()) {
        try {
            Update();
        } catch (const DbError&) {
            CancelUpdate();
        }
    }
    m_impl.reset();
}

ObjectState Recordset::State() const { return m_impl ? ObjectState::Open : ObjectState::Closed; }
QString Recordset::Source() const { return m_impl ? m_impl->sourceText : QString(); }
bool Recordset::IsUpdatable() const { return m_impl && m_impl->source->IsUpdatable(); }

bool Recordset::IsEOF() const {
    OV_GUARDED({
        const Impl& r = Open_();
        if (r.editMode == EditMode::Add) return false;
        return r.pos >= r.ViewSize() || r.LiveInView() == 0;
    });
}

bool Recordset::IsBOF() const {
    OV_GUARDED({
        const Impl& r = Open_();
        if (r.editMode == EditMode::Add) return false;
        return r.pos < 0 || r.LiveInView() == 0;
    });
}

void Recordset::MoveFirst() {
    OV_GUARDED({
        Impl& r = Open_();
        if (r.editMode != EditMode::None) Update();
        r.pos = r.NextLive(0, 1);
    });
}

void Recordset::MoveLast() {
    OV_GUARDED({
        Impl& r = Open_();
        if (r.editMode != EditMode::None) Update();
        const qsizetype last = r.NextLive(r.ViewSize() - 1, -1);
        r.pos = last < 0 ? r.ViewSize() : last;
    });
}

void Recordset::MoveNext() {
    OV_GUARDED({
        Impl& r = Open_();
        if (r.editMode != EditMode::None) Update();
        if (r.pos >= r.ViewSize())
            throw DbError(err::NoCurrentRecord, QStringLiteral("MoveNext is not possible: the recordset is at EOF."));
        r.pos = r.NextLive(r.pos + 1, 1);
    });
}

void Recordset::MovePrevious() {
    OV_GUARDED({
        Impl& r = Open_();
        if (r.editMode != EditMode::None) Update();
        if (r.pos < 0)
            throw DbError(err::NoCurrentRecord, QStringLiteral("MovePrevious is not possible: the recordset is at BOF."));
        r.pos = r.NextLive(r.pos - 1, -1);
    });
}

void Recordset::Move(int rows) {
    OV_GUARDED({
        Impl& r = Open_();
        if (r.editMode != EditMode::None) Update();
        const int step = rows >= 0 ? 1 : -1;
        for (int moved = 0; moved != rows; moved += step) {
            const qsizetype next = r.NextLive(r.pos + step, step);
            r.pos = next;
            if (next < 0 || next >= r.ViewSize()) break;
        }
    });
}

int Recordset::AbsolutePosition() const {
    OV_GUARDED({
        const Impl& r = Open_();
        if (r.pos < 0) return kPositionBOF;
        if (r.pos >= r.ViewSize()) return kPositionEOF;
        if (r.source->LiveCount() == r.source->Size()) return static_cast<int>(r.pos) + 1;
        int live = 0;
        for (qsizetype p = 0; p < r.pos; ++p)
            if (r.Live(p)) ++live;
        return live + 1;
    });
}

void Recordset::SetAbsolutePosition(int position) {
    OV_GUARDED({
        Impl& r = Open_();
        if (r.editMode != EditMode::None) Update();
        if (position < 1 || static_cast<std::size_t>(position) > r.LiveInView())
            throw DbError(err::InvalidArgument,
                          QStringLiteral("The position %1 is outside the recordset (1 to %2).").arg(position).arg(r.LiveInView()));
        // Without removed rows a position is its place.
        if (r.source->LiveCount() == r.source->Size()) {
            r.pos = position - 1;
            return;
        }
        int live = 0;
        for (qsizetype p = 0; p < r.ViewSize(); ++p) {
            if (r.Live(p) && ++live == position) {
                r.pos = p;
                return;
            }
        }
    });
}

Recordset::Bookmark Recordset::GetBookmark() const {
    OV_GUARDED({
        const Impl& r = Open_();
        if (!r.HasCurrent()) r.CurrentRow();  // throws the "no current record" error
        return r.source->KeyAt(r.KeyIndex(r.pos));
    });
}

void Recordset::SetBookmark(Bookmark bookmark) {
    OV_GUARDED({
        Impl& r = Open_();
        if (r.editMode != EditMode::None) Update();
        const auto index = r.source->IndexOfKey(bookmark);
        const auto invalid = [] { return DbError(err::InvalidArgument, QStringLiteral("The bookmark is not valid.")); };
        if (!index || r.source->IsRemoved(*index)) throw invalid();
        if (!r.view) {
            r.pos = static_cast<qsizetype>(*index);
            return;
        }
        for (qsizetype p = 0; p < r.ViewSize(); ++p) {
            if ((*r.view)[static_cast<std::size_t>(p)] == *index) {
                r.pos = p;
                return;
            }
        }
        throw invalid();
    });
}

int Recordset::RecordCount() const {
    OV_GUARDED({ return static_cast<int>(Open_().LiveInView()); });
}

bool Recordset::Find(const QString& criteria, int skipRecords, SearchDirection direction, std::optional<Bookmark> start) {
    OV_GUARDED({
        Impl& r = Open_();
        const Criteria parsed = Criteria::Parse(criteria, FieldNames());
        if (r.editMode != EditMode::None) Update();
        const int step = direction == SearchDirection::Forward ? 1 : -1;
        qsizetype p = r.pos;
        if (start) {
            SetBookmark(*start);
            p = r.pos;
        }
        if (p < 0 && step > 0) p = 0;
        if (p >= r.ViewSize() && step < 0) p = r.ViewSize() - 1;
        for (p += static_cast<qsizetype>(skipRecords) * step; p >= 0 && p < r.ViewSize(); p += step) {
            if (!r.Live(p)) continue;
            const Row& row = r.source->RowAt(r.KeyIndex(p));
            if (row.missing) continue;
            if (parsed.Evaluate([&row](int f) { return row.values[static_cast<std::size_t>(f)]; })) {
                r.pos = p;
                return true;
            }
        }
        r.pos = step > 0 ? r.ViewSize() : -1;
        return false;
    });
}

void Recordset::SetIndex(const QString& indexName) {
    OV_GUARDED({
        Impl& r = Open_();
        if (r.editMode != EditMode::None) Update();
        r.source->SetIndex(indexName);
        r.SyncKeyset();
    });
}

QString Recordset::Index() const { return m_impl ? m_impl->source->IndexName() : QString(); }

bool Recordset::Seek(const QVariantList& keyValues, SeekOption option) {
    OV_GUARDED({
        Impl& r = Open_();
        if (r.editMode != EditMode::None) Update();
        const auto index = r.source->Seek(keyValues, option);
        r.pos = r.ViewSize();
        if (!index) return false;
        if (!r.view) {
            r.pos = static_cast<qsizetype>(*index);
            return true;
        }
        for (qsizetype p = 0; p < r.ViewSize(); ++p) {
            if ((*r.view)[static_cast<std::size_t>(p)] == *index) {
                r.pos = p;
                return true;
            }
        }
        return false;
    });
}

void Recordset::SetFilter(const QString& criteria) {
    OV_GUARDED({
        Impl& r = Open_();
        if (r.editMode != EditMode::None) Update();
        const QString previous = r.filter;
        r.filter = criteria.trimmed();
        try {
            r.BuildView();
        } catch (const DbError&) {
            r.filter = previous;
            throw;
        }
        r.pos = r.NextLive(0, 1);
    });
}

QString Recordset::Filter() const { return m_impl ? m_impl->filter : QString(); }

void Recordset::AddNew() {
    OV_GUARDED({
        Impl& r = Open_();
        if (!r.source->IsUpdatable())
            throw DbError(err::FeatureNotAvailable, QStringLiteral("This recordset cannot be changed; no row can be added."));
        if (r.editMode != EditMode::None) Update();
        r.posBeforeAdd = r.pos;
        r.editMode = EditMode::Add;
        r.edit.assign(r.source->Fields().size(), std::nullopt);
        r.originals.clear();
    });
}

void Recordset::Update() {
    OV_GUARDED({
        Impl& r = Open_();
        if (r.editMode == EditMode::Add) {
            const std::size_t index = r.source->Insert(r.edit);
            if (r.view) {
                r.view->push_back(index);
                ++r.viewLive;
                r.pos = r.ViewSize() - 1;
            } else {
                r.pos = static_cast<qsizetype>(index);
            }
            r.ResetEdit();
        } else if (r.editMode == EditMode::InProgress) {
            r.source->Update(r.KeyIndex(r.pos), r.edit, r.originals);
            r.ResetEdit();
        }
    });
}

void Recordset::CancelUpdate() {
    if (!m_impl) return;
    if (m_impl->editMode == EditMode::Add) m_impl->pos = m_impl->posBeforeAdd;
    m_impl->ResetEdit();
}

void Recordset::Delete() {
    OV_GUARDED({
        Impl& r = Open_();
        if (r.editMode == EditMode::Add) {
            CancelUpdate();
            return;
        }
        r.ResetEdit();
        r.CurrentRow();  // throws without a current row
        r.source->Remove(r.KeyIndex(r.pos));
        if (r.view) --r.viewLive;
    });
}

EditMode Recordset::GetEditMode() const { return m_impl ? m_impl->editMode : EditMode::None; }

void Recordset::Requery() {
    OV_GUARDED({
        Impl& r = Open_();
        if (r.editMode != EditMode::None) Update();
        r.source->Requery();
        r.SyncKeyset();
    });
}

void Recordset::Forget(const std::vector<qint64>& keys) {
    OV_GUARDED({
        Impl& r = Open_();
        if (r.editMode != EditMode::None) CancelUpdate();
        r.source->Forget(keys);
        r.SyncKeyset();
    });
}

void Recordset::Resync() {
    OV_GUARDED({
        Impl& r = Open_();
        if (r.editMode != EditMode::None)
            throw DbError(err::IllegalOperation,
                          QStringLiteral("The record has a pending change; save or cancel it before reading it again."));
        r.source->InvalidateRows();
    });
}

Recordset Recordset::Clone() {
    OV_GUARDED({
        Impl& r = Open_();
        Recordset clone;
        clone.m_impl = std::make_unique<Impl>();
        clone.m_impl->connection = r.connection;
        clone.m_impl->source = r.source;
        clone.m_impl->sourceText = r.sourceText;
        clone.m_impl->keysetVersion = r.source->KeysetVersion();
        clone.m_impl->pos = clone.m_impl->NextLive(0, 1);
        return clone;
    });
}

int Recordset::FieldCount() const { return m_impl ? static_cast<int>(m_impl->source->Fields().size()) : 0; }

QStringList Recordset::FieldNames() const {
    QStringList names;
    if (m_impl)
        for (const FieldInfo& f : m_impl->source->Fields()) names << f.name;
    return names;
}

int Recordset::FieldIndex(const QString& name) const { return m_impl ? m_impl->source->FieldIndex(name) : -1; }

Field Recordset::Fields(int index) {
    OV_GUARDED({
        Open_();
        if (index < 0 || index >= FieldCount())
            throw DbError(err::ItemNotFound, QStringLiteral("The recordset has no field number %1.").arg(index));
        return Field(this, index);
    });
}

Field Recordset::Fields(const QString& name) {
    OV_GUARDED({
        Open_();
        const int index = FieldIndex(name);
        if (index < 0)
            throw DbError(err::ItemNotFound, QStringLiteral("The recordset has no field '%1'.").arg(name));
        return Field(this, index);
    });
}

bool Recordset::IsCurrentRowDeleted() const {
    if (!m_impl || !m_impl->HasCurrent()) return false;
    return m_impl->source->RowAt(m_impl->KeyIndex(m_impl->pos)).missing;
}

QString Recordset::FieldName(int index) const { return m_impl->source->Fields()[static_cast<std::size_t>(index)].name; }
DataType Recordset::FieldType(int index) const { return m_impl->source->Fields()[static_cast<std::size_t>(index)].type; }
int Recordset::FieldDefinedSize(int index) const {
    return m_impl->source->Fields()[static_cast<std::size_t>(index)].definedSize;
}
bool Recordset::FieldUpdatable(int index) const {
    return m_impl->source->IsUpdatable() && m_impl->source->Fields()[static_cast<std::size_t>(index)].updatable;
}

QVariant Recordset::FieldValue(int index) const {
    OV_GUARDED({
        const Impl& r = Open_();
        const auto f = static_cast<std::size_t>(index);
        if (r.editMode != EditMode::None && r.edit[f]) return *r.edit[f];
        if (r.editMode == EditMode::Add) return QVariant();
        return r.CurrentRow().values[f];
    });
}

QVariant Recordset::FieldOriginalValue(int index) const {
    OV_GUARDED({
        const Impl& r = Open_();
        const auto f = static_cast<std::size_t>(index);
        if (r.editMode == EditMode::Add) return QVariant();
        if (!r.originals.empty()) return r.originals[f];
        return r.CurrentRow().values[f];
    });
}

void Recordset::SetFieldValue(int index, const QVariant& value) {
    OV_GUARDED({
        Impl& r = Open_();
        const auto f = static_cast<std::size_t>(index);
        const FieldInfo& field = r.source->Fields()[f];
        if (!r.source->IsUpdatable() || !field.updatable)
            throw DbError(err::FeatureNotAvailable, QStringLiteral("The field '%1' cannot be changed.").arg(field.name));
        const QVariant converted = ToFieldValue(value, field);
        if (r.editMode == EditMode::None) {
            r.originals = r.CurrentRow().values;
            r.edit.assign(r.source->Fields().size(), std::nullopt);
            r.editMode = EditMode::InProgress;
        }
        r.edit[f] = converted;
    });
}

}  // namespace ov::db
