// Items to a CSV file and back on a real project database: round trips,
// the import modes, and files and lines that cannot be taken.

#include "platform/db/Connection.h"
#include "platform/db/Cursor.h"
#include "platform/db/Recordset.h"
#include "tools/Cp1252.h"
#include "tools/CsvTransfer.h"
#include "support/Files.h"
#include "support/QtPrinters.h"
#include "support/TempProject.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <utility>

using namespace ov;
using namespace ov::tools;

namespace {

const QLocale kGerman(QLocale::German, QLocale::Germany);
const QLocale kEnglish(QLocale::English, QLocale::UnitedStates);

class CsvTransferTest : public ::testing::Test {
  protected:
    QString File(const char* name) const { return dir.filePath(QString::fromUtf8(name)); }
    static void Write(const QString& path, const QByteArray& bytes) { ASSERT_EQ(test::WriteFile(path, bytes), path); }
    // Lines of fields as an ANSI file, each line ended by CR LF.
    static void WriteLines(const QString& path, const QList<QStringList>& lines) {
        QString text;
        for (const QStringList& fields : lines) text += fields.join(u';') + QStringLiteral("\r\n");
        Write(path, text.toLatin1());
    }
    QVariant Value(const QString& sql) {
        db::Recordset rs;
        rs.Open(sql, *c);
        return rs.IsEOF() ? QVariant() : rs.Fields(0).Value();
    }
    QVariant Field(const QString& column, int id) {
        return Value(QStringLiteral("SELECT [%1] FROM TpdbItems WHERE ID = %2").arg(column).arg(id));
    }
    int Count(const QString& where = QStringLiteral("1 = 1")) {
        return Value(QStringLiteral("SELECT Count(*) FROM TpdbItems WHERE ") + where).toInt();
    }
    // The fields of one item exported as a line (ANSI, English numbers), to build files from.
    QStringList FieldsOf(int id) {
        const QString path = File("one.csv");
        EXPECT_TRUE(ExportItemsById(*c, {id}, path, CsvEncoding::Ansi, kEnglish).error.isEmpty());
        return DecodeCp1252(test::ReadFile(path)).trimmed().split(u';');
    }
    ImportResult Import(const QString& path, int mode, const ImportScope& scope = {}, const CsvProgress& progress = {}) {
        return ImportItems(*c, path, mode, scope, [](qint64 line) { return QStringLiteral("909:%1").arg(line); }, progress);
    }
    // Lines updated, inserted and rejected.
    using Counts = std::tuple<qint64, qint64, QStringList>;
    static Counts CountsOf(const ImportResult& result) { return {result.updated, result.inserted, result.rejected}; }
    // The fields of an item with another name (and item access), as a new item's line.
    static QStringList Renamed(QStringList fields, const QString& name) {
        fields[1] = fields[12] = name;
        return fields;
    }
    int IdOf(const char* name) { return Value(QStringLiteral("SELECT ID FROM TpdbItems WHERE Name = '%1'").arg(QString::fromUtf8(name))).toInt(); }

    test::TempProject project{test::TempProject::Content::Demo};
    std::unique_ptr<db::Connection> c = project.Open();
    QTemporaryDir dir;
};

TEST_F(CsvTransferTest, AnExportedProjectImportsBackUnchanged) {
    const int id = IdOf("Line1.Motor1.Speed");
    c->Execute(QStringLiteral("UPDATE TpdbItems SET Comment = ?, MaxVal = 1.5, WriteThru = -1, DefaultVal = NULL WHERE ID = ?"),
               {QStringLiteral("Check \"V1\"; then restart"), id});
    const QString path = File("all.csv");
    const ExportResult exported = ExportItemsBySql(*c, QStringLiteral("SELECT * FROM TpdbItems ORDER BY ID"), path,
                                                   CsvEncoding::Ansi, kGerman);
    ASSERT_TRUE(exported.error.isEmpty()) << exported.error.toStdString();
    EXPECT_EQ(exported.rows, Count());
    const QByteArray bytes = test::ReadFile(path);
    EXPECT_TRUE(bytes.endsWith("\r\n"));
    EXPECT_TRUE(bytes.contains(";1,5;")) << "German numbers";
    EXPECT_TRUE(bytes.contains("\"Check \"\"V1\"\"; then restart\"")) << bytes.left(300).toStdString();

    c->Execute(QStringLiteral("UPDATE TpdbItems SET Comment = 'changed', MaxVal = 7, WriteThru = 0, DefaultVal = 'x'"));
    const ImportResult imported = Import(path, 3);
    ASSERT_TRUE(imported.Applied()) << imported.dbError.toStdString() << imported.fileError.toStdString();
    EXPECT_EQ(CountsOf(imported), Counts(Count(), 0, {}));
    // An empty text field is Null.
    EXPECT_EQ(std::tuple(Field("Comment", id).toString(), Field("MaxVal", id).toDouble(), Field("WriteThru", id).toBool(),
                         Field("DefaultVal", id).isNull()),
              std::tuple(QStringLiteral("Check \"V1\"; then restart"), 1.5, true, true));
}

// What a spreadsheet program reads with ";" as separator (RFC 4180 quoting):
// written here independently of the importer, to check the files it gets.
std::vector<QStringList> SpreadsheetRecords(const QString& text) {
    std::vector<QStringList> records;
    QStringList fields;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar ch = text[i], next = i + 1 < text.size() ? text[i + 1] : QChar();
        if (quoted && ch == u'"' && next == u'"') {
            field += u'"';
            ++i;
        } else if (ch == u'"' && (quoted || field.isEmpty())) {
            quoted = !quoted;
        } else if (!quoted && (ch == u';' || (ch == u'\r' && next == u'\n'))) {
            fields << std::exchange(field, QString());
            if (ch == u';') continue;
            records.push_back(std::exchange(fields, QStringList()));
            ++i;
        } else {
            field += ch;
        }
    }
    return records;
}

TEST_F(CsvTransferTest, EveryTextSurvivesExportAndImportByteForByteInBothEncodings) {
    // Line breaks of both kinds, texts that begin with a quote or hold one,
    // and the letters of the code page beyond ASCII.
    const QStringList texts{QStringLiteral("a\nb"), QStringLiteral("a\r\nb"), QStringLiteral("\"q\" w"),
                            QStringLiteral("5\" x"), QStringLiteral("a; \"b\"; c\nd"), QStringLiteral("€ für Größe")};
    QStringList textColumns;
    for (const CsvColumn& column : ItemColumns(*c))
        if (column.kind == FieldKind::Text) textColumns << column.name;
    ASSERT_GE(textColumns.size(), 5) << "Name, ItemAccess, Comment and more";
    // Item k holds text k in every text column; the demo's first items take them.
    QList<int> ids;
    QStringList idTexts;
    for (db::Cursor first(*c, QStringLiteral("SELECT ID FROM TpdbItems ORDER BY ID")); ids.size() < texts.size() && first.Next();) {
        ids << first.Value(0).toInt();
        idTexts << first.Value(0).toString();
    }
    ASSERT_EQ(ids.size(), texts.size());
    const auto setAll = [&](const std::function<QString(qsizetype)>& textOf) {
        for (qsizetype k = 0; k < texts.size(); ++k)
            for (const QString& column : textColumns)
                c->Execute(QStringLiteral("UPDATE TpdbItems SET [%1] = ? WHERE ID = ?").arg(column), {textOf(k), ids[k]});
    };
    for (const CsvEncoding encoding : {CsvEncoding::Ansi, CsvEncoding::Utf8WithBom}) {
        SCOPED_TRACE(encoding == CsvEncoding::Ansi ? "ANSI" : "UTF-8");
        setAll([&](qsizetype k) { return texts[k]; });
        const QString path = File("texts.csv");
        ASSERT_TRUE(ExportItemsBySql(*c, QStringLiteral("SELECT * FROM TpdbItems WHERE ID IN (%1) ORDER BY ID").arg(idTexts.join(u',')),
                                     path, encoding, kEnglish).error.isEmpty());

        // A spreadsheet sees one record per item, with the texts as they are.
        const QByteArray bytes = test::ReadFile(path);
        EXPECT_EQ(bytes.startsWith("\xEF\xBB\xBF"), encoding == CsvEncoding::Utf8WithBom);
        EXPECT_EQ(bytes.contains("\x80 f\xFCr Gr\xF6\xDF" "e"), encoding == CsvEncoding::Ansi) << "Windows-1252 bytes";
        const QString text = encoding == CsvEncoding::Ansi ? DecodeCp1252(bytes) : QString::fromUtf8(bytes.mid(3));
        const std::vector<QStringList> records = SpreadsheetRecords(text);
        ASSERT_EQ(records.size(), static_cast<std::size_t>(ids.size()));
        for (std::size_t k = 0; k < records.size(); ++k) {
            EXPECT_EQ(records[k].size(), ItemColumns(*c).size());
            EXPECT_TRUE(records[k].contains(texts[static_cast<qsizetype>(k)])) << records[k].join(u'|').toStdString();
        }

        setAll([](qsizetype k) { return QStringLiteral("other %1").arg(k); });
        const ImportResult imported = Import(path, 3);
        ASSERT_TRUE(imported.Applied()) << imported.dbError.toStdString();
        EXPECT_EQ(CountsOf(imported), Counts(texts.size(), 0, {}));
        for (qsizetype k = 0; k < texts.size(); ++k)
            for (const QString& column : textColumns)
                EXPECT_EQ(Field(column, ids[k]).toString(), texts[k]) << column.toStdString() << " of item " << k;
    }
}

TEST_F(CsvTransferTest, RecordsOverSeveralLinesAreCountedByTheirFirstLine) {
    const int speed = IdOf("Line1.Motor1.Speed");
    const QStringList good = FieldsOf(speed);
    QStringList twoLines = good, open = good;
    twoLines[19] = QStringLiteral("\"first\r\nsecond\"");  // Comment over two lines
    open[19] = QStringLiteral("\"never closed");
    const QString path = File("multi.csv");
    // Lines 0-1 one record, line 2 too few fields, line 3 a quote never closed,
    // line 4 read again after it and taken.
    WriteLines(path, {twoLines, {"1", "2"}, open, good});
    const ImportResult result = Import(path, 3);
    ASSERT_EQ(result.rejected.size(), 2) << result.rejected.join(u'|').toStdString();
    EXPECT_EQ(result.rejected[0], QStringLiteral("909:2"));
    EXPECT_TRUE(result.rejected[1].startsWith(QStringLiteral("Line 3:")) && result.rejected[1].contains(QStringLiteral("quote")))
        << result.rejected[1].toStdString();
    EXPECT_EQ(result.updated, 2) << "the two-line record and the good line after the open quote";
    EXPECT_EQ(Field(ItemColumns(*c)[19].name, speed).toString(), QStringLiteral("first\r\nsecond"))
        << "updates run from the end: the first record is written last";
}

TEST_F(CsvTransferTest, ALockedProjectIsReportedWithoutALineNumber) {
    const QString path = File("one.csv");
    WriteLines(path, {FieldsOf(IdOf("Line1.Motor1.Speed"))});
    std::unique_ptr<db::Connection> other = project.Open();
    other->BeginTrans();
    other->Execute(QStringLiteral("UPDATE TpdbItems SET Comment = 'held' WHERE ID = 1"));
    c->SetBusyTimeout(50);
    const ImportResult result = Import(path, 3);
    other->RollbackTrans();
    EXPECT_FALSE(result.Applied());
    EXPECT_FALSE(result.dbError.isEmpty());
    EXPECT_FALSE(result.dbError.contains(QStringLiteral("Line -1"))) << result.dbError.toStdString();
    EXPECT_FALSE(result.dbError.startsWith(QStringLiteral("Line "))) << result.dbError.toStdString();
}

TEST_F(CsvTransferTest, TheModesChooseWhichLinesUpdateAndWhichInsert) {
    const int speed = IdOf("Line1.Motor1.Speed");
    const int current = IdOf("Line1.Motor1.Current");
    const auto commented = [](QStringList fields, const char* comment) {
        fields.last() = QString::fromUtf8(comment);
        return fields;
    };
    const QString path = File("modes.csv");
    // Two lines for Speed: updates run from the end, so the first line wins. A blank last line is no error.
    WriteLines(path, {commented(FieldsOf(speed), "first"), commented(FieldsOf(speed), "second"),
                      commented(FieldsOf(current), "current"), {}});
    EXPECT_EQ(CountsOf(Import(path, 1, {{current}, 0})), Counts(1, 0, {}));
    EXPECT_EQ(Field("Comment", speed).toString(), QStringLiteral("rpm")) << "not selected";
    EXPECT_EQ(CountsOf(Import(path, 3)), Counts(3, 0, {}));
    EXPECT_EQ(Field("Comment", speed).toString(), QStringLiteral("first"));
    // Mode 2: only lines whose device (third field) is the one in view.
    EXPECT_EQ(CountsOf(Import(path, 2, {{}, 99})), Counts(0, 0, {}));

    // Mode 7: a line of an unknown ID becomes a new item with an ID of its own.
    QStringList fields = Renamed(commented(FieldsOf(speed), "copy"), QStringLiteral("Line1.Motor1.SpeedCopy"));
    fields[0] = QStringLiteral("abc");  // no number: matches no item
    WriteLines(path, {fields});
    const int before = Count();
    EXPECT_EQ(CountsOf(Import(path, 7)), Counts(0, 1, {}));
    EXPECT_EQ(Count(), before + 1);
    EXPECT_GT(IdOf("Line1.Motor1.SpeedCopy"), 0);
    // Mode 0 inserts even what would match.
    WriteLines(path, {Renamed(fields, QStringLiteral("Line1.Motor1.SpeedThird"))});
    EXPECT_EQ(CountsOf(Import(path, 0)), Counts(0, 1, {}));
}

TEST_F(CsvTransferTest, LinesWithTheWrongNumberOfFieldsAreRejectedByTheirIndex) {
    const QStringList line = FieldsOf(IdOf("Line1.Motor1.Speed"));
    const QString path = File("counts.csv");
    QList<QStringList> lines{line};
    for (qsizetype fields : {line.size() - 1, qsizetype(30), qsizetype(31), qsizetype(32), qsizetype(40)})
        lines << QStringList(fields, QString());
    lines << QStringList{QString(1000000, u'x')};
    WriteLines(path, lines);
    // The good line is still taken.
    EXPECT_EQ(CountsOf(Import(path, 3)), Counts(1, 0, {"909:1", "909:2", "909:3", "909:4", "909:5", "909:6"}));
}

TEST_F(CsvTransferTest, FilesThatAreNoCsvTextAreRefusedWhole) {
    const QString path = File("bad.csv");
    Write(path, QByteArray("\xFF\xFE") + QByteArray("1\0;\0", 4));
    EXPECT_TRUE(Import(path, 0).fileError.contains(QStringLiteral("UTF-16")));
    Write(path, QByteArray("1;2\0\x01\x02", 6));
    EXPECT_TRUE(Import(path, 0).fileError.contains(QStringLiteral("no text file")));
    EXPECT_FALSE(Import(File("missing.csv"), 0).fileError.isEmpty());
    EXPECT_FALSE(Import(path, 4).fileError.isEmpty()) << "there is no mode 4";
}

TEST_F(CsvTransferTest, ABadLineOrADatabaseRefusalLeavesTheProjectAsItWas) {
    const QStringList good = FieldsOf(IdOf("Line1.Motor1.Speed"));
    QStringList huge = good, quote = good;
    huge[3] = QStringLiteral("1e999");  // MinVal
    quote[19] = QStringLiteral("\"open; never closed");
    const QString path = File("lines.csv");
    WriteLines(path, {huge, quote, good});
    ImportResult result = Import(path, 0);
    ASSERT_EQ(result.rejected.size(), 2);
    EXPECT_TRUE(result.rejected[0].contains(QStringLiteral("MinVal"))) << result.rejected[0].toStdString();
    EXPECT_TRUE(result.rejected[1].contains(QStringLiteral("quote")));
    // The good line's copy collides with the item's name: nothing of the import stays.
    const int before = Count();
    EXPECT_FALSE(result.Applied());
    EXPECT_TRUE(result.dbError.startsWith(QStringLiteral("Line 2"))) << result.dbError.toStdString();
    EXPECT_EQ(Count(), before);

    // Two new names, the second refused: the first is rolled back with it.
    WriteLines(path, {Renamed(good, QStringLiteral("Fresh.One")), good});
    result = Import(path, 0);
    EXPECT_FALSE(result.dbError.isEmpty());
    EXPECT_EQ(IdOf("Fresh.One"), 0);
    EXPECT_EQ(result.inserted, 0);
}

TEST_F(CsvTransferTest, StoppingAnImportOrExportWritesNothing) {
    const QString path = File("many.csv");
    const QStringList fields = FieldsOf(IdOf("Line1.Motor1.Speed"));
    QList<QStringList> lines;
    for (int i = 0; i < 3000; ++i) lines << Renamed(fields, QStringLiteral("Bulk.Item%1").arg(i));
    WriteLines(path, lines);
    const int before = Count();
    const ImportResult result = Import(path, 0, {}, [](qint64 done, qint64 total) { return done < total * 3 / 4; });
    EXPECT_TRUE(result.cancelled);
    EXPECT_EQ(Count(), before);

    const QString out = File("stopped.csv");
    Write(out, "old");
    for (int i = 0; i < 7; ++i)
        c->Execute(QStringLiteral("INSERT INTO TpdbItems (Name, ItemAccess, DeviceID) SELECT 'X%1.' || ID, 'X%1.' || ID, 2 FROM TpdbItems").arg(i));
    const ExportResult exported = ExportItemsBySql(*c, QStringLiteral("SELECT * FROM TpdbItems"), out, CsvEncoding::Ansi,
                                                   kEnglish, [](qint64, qint64) { return false; });
    EXPECT_FALSE(exported.error.isEmpty());
    EXPECT_EQ(test::ReadFile(out), QByteArray("old")) << "the old file stays until a new one is complete";
}

}  // namespace
