// Items to a CSV file and back on a real project database: round trips,
// the import modes, and files and lines that cannot be taken.

#include "platform/db/Connection.h"
#include "platform/db/Recordset.h"
#include "tools/Cp1252.h"
#include "tools/CsvTransfer.h"
#include "support/QtPrinters.h"
#include "support/TempProject.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace ov;
using namespace ov::tools;

namespace {

const QLocale kGerman(QLocale::German, QLocale::Germany);
const QLocale kEnglish(QLocale::English, QLocale::UnitedStates);

class CsvTransferTest : public ::testing::Test {
  protected:
    QString File(const char* name) const { return dir.filePath(QString::fromUtf8(name)); }
    static void Write(const QString& path, const QByteArray& bytes) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    static QByteArray Read(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QVariant Value(const QString& sql) {
        db::Recordset rs;
        rs.Open(sql, *c);
        return rs.IsEOF() ? QVariant() : rs.Fields(0).Value();
    }
    int Count(const QString& where = QStringLiteral("1 = 1")) {
        return Value(QStringLiteral("SELECT Count(*) FROM TpdbItems WHERE ") + where).toInt();
    }
    // One item exported as a line (ANSI, English numbers), to build files from.
    QString LineOf(int id) {
        const QString path = File("one.csv");
        EXPECT_TRUE(ExportItemsById(*c, {id}, path, CsvEncoding::Ansi, kEnglish).error.isEmpty());
        return DecodeCp1252(Read(path)).trimmed();
    }
    ImportResult Import(const QString& path, int mode, const ImportScope& scope = {}, const CsvProgress& progress = {}) {
        return ImportItems(*c, path, mode, scope, [](qint64 line) { return QStringLiteral("909:%1").arg(line); }, progress);
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
    const QByteArray bytes = Read(path);
    EXPECT_TRUE(bytes.endsWith("\r\n"));
    EXPECT_TRUE(bytes.contains(";1,5;")) << "German numbers";
    EXPECT_TRUE(bytes.contains("\"Check \"\"V1\"\"; then restart\"")) << bytes.left(300).toStdString();

    c->Execute(QStringLiteral("UPDATE TpdbItems SET Comment = 'changed', MaxVal = 7, WriteThru = 0, DefaultVal = 'x'"));
    const ImportResult imported = Import(path, 3);
    ASSERT_TRUE(imported.Applied()) << imported.dbError.toStdString() << imported.fileError.toStdString();
    EXPECT_TRUE(imported.rejected.isEmpty()) << imported.rejected.join(u'|').toStdString();
    EXPECT_EQ(imported.updated, Count());
    EXPECT_EQ(imported.inserted, 0);
    EXPECT_EQ(Value(QStringLiteral("SELECT Comment FROM TpdbItems WHERE ID = %1").arg(id)).toString(),
              QStringLiteral("Check \"V1\"; then restart"));
    EXPECT_EQ(Value(QStringLiteral("SELECT MaxVal FROM TpdbItems WHERE ID = %1").arg(id)).toDouble(), 1.5);
    EXPECT_TRUE(Value(QStringLiteral("SELECT WriteThru FROM TpdbItems WHERE ID = %1").arg(id)).toBool());
    EXPECT_TRUE(Value(QStringLiteral("SELECT DefaultVal FROM TpdbItems WHERE ID = %1").arg(id)).isNull())
        << "an empty text field is Null";
}

// What a spreadsheet program reads with ";" as separator (RFC 4180 quoting):
// written here independently of the importer, to check the files it gets.
std::vector<QStringList> SpreadsheetRecords(const QString& text) {
    std::vector<QStringList> records;
    QStringList fields;
    QString field;
    bool quoted = false;
    const auto endField = [&] {
        fields << field;
        field.clear();
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar ch = text[i];
        const bool quoteFollows = i + 1 < text.size() && text[i + 1] == u'"';
        if (quoted && ch == u'"' && quoteFollows) {
            field += u'"';
            ++i;
        } else if (ch == u'"' && (quoted || field.isEmpty())) {
            quoted = !quoted;
        } else if (!quoted && ch == u';') {
            endField();
        } else if (!quoted && ch == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
            endField();
            records.push_back(fields);
            fields.clear();
            ++i;
        } else {
            field += ch;
        }
    }
    return records;
}

TEST_F(CsvTransferTest, EveryTextSurvivesExportAndImportByteForByteInBothEncodings) {
    // Line breaks of both kinds, texts that begin with a quote or hold one.
    const QStringList texts{QStringLiteral("a\nb"), QStringLiteral("a\r\nb"), QStringLiteral("\"q\" w"),
                            QStringLiteral("5\" x"), QStringLiteral("a; \"b\"; c\nd")};
    QStringList textColumns;
    for (const CsvColumn& column : ItemColumns(*c))
        if (column.kind == FieldKind::Text) textColumns << column.name;
    ASSERT_GE(textColumns.size(), 5) << "Name, ItemAccess, Comment and more";
    // Item k holds text k in every text column; the demo's first items take them.
    std::vector<int> ids;
    {
        db::Recordset first;
        first.Open(QStringLiteral("SELECT ID FROM TpdbItems ORDER BY ID"), *c);
        for (int k = 0; k < texts.size() && !first.IsEOF(); ++k, first.MoveNext()) ids.push_back(first.Fields(0).Value().toInt());
    }
    ASSERT_EQ(ids.size(), static_cast<std::size_t>(texts.size()));
    const auto setAll = [&](const std::function<QString(int)>& textOf) {
        for (int k = 0; k < texts.size(); ++k)
            for (const QString& column : textColumns)
                c->Execute(QStringLiteral("UPDATE TpdbItems SET [%1] = ? WHERE ID = ?").arg(column),
                           {textOf(k), ids[static_cast<std::size_t>(k)]});
    };
    const QString where = QStringLiteral("ID IN (%1,%2,%3,%4,%5)").arg(ids[0]).arg(ids[1]).arg(ids[2]).arg(ids[3]).arg(ids[4]);
    for (const CsvEncoding encoding : {CsvEncoding::Ansi, CsvEncoding::Utf8WithBom}) {
        SCOPED_TRACE(encoding == CsvEncoding::Ansi ? "ANSI" : "UTF-8");
        setAll([&](int k) { return texts[k]; });
        const QString path = File("texts.csv");
        ASSERT_TRUE(ExportItemsBySql(*c, QStringLiteral("SELECT * FROM TpdbItems WHERE %1 ORDER BY ID").arg(where), path,
                                     encoding, kEnglish).error.isEmpty());

        // A spreadsheet sees one record per item, with the texts as they are.
        QByteArray bytes = Read(path);
        const QString text = encoding == CsvEncoding::Ansi ? DecodeCp1252(bytes) : QString::fromUtf8(bytes.mid(3));
        const std::vector<QStringList> records = SpreadsheetRecords(text);
        ASSERT_EQ(records.size(), ids.size());
        for (std::size_t k = 0; k < records.size(); ++k) {
            EXPECT_EQ(records[k].size(), ItemColumns(*c).size());
            EXPECT_TRUE(records[k].contains(texts[static_cast<qsizetype>(k)])) << records[k].join(u'|').toStdString();
        }

        setAll([](int k) { return QStringLiteral("other %1").arg(k); });
        const ImportResult imported = Import(path, 3);
        ASSERT_TRUE(imported.Applied()) << imported.dbError.toStdString();
        EXPECT_TRUE(imported.rejected.isEmpty()) << imported.rejected.join(u'|').toStdString();
        EXPECT_EQ(imported.updated, texts.size());
        for (int k = 0; k < texts.size(); ++k)
            for (const QString& column : textColumns)
                EXPECT_EQ(Value(QStringLiteral("SELECT [%1] FROM TpdbItems WHERE ID = %2").arg(column).arg(ids[static_cast<std::size_t>(k)])).toString(),
                          texts[k])
                    << column.toStdString() << " of item " << k;
    }
}

TEST_F(CsvTransferTest, RecordsOverSeveralLinesAreCountedByTheirFirstLine) {
    const int speed = IdOf("Line1.Motor1.Speed");
    QStringList fields = LineOf(speed).split(u';');
    const QString good = fields.join(u';');
    QStringList twoLines = fields;
    twoLines[19] = QStringLiteral("\"first\r\nsecond\"");  // Comment over two lines
    QStringList open = fields;
    open[19] = QStringLiteral("\"never closed");
    const QString path = File("multi.csv");
    // Lines 0-1 one record, line 2 too few fields, line 3 a quote never closed,
    // line 4 read again after it and taken.
    Write(path, (twoLines.join(u';') + "\r\n" + "1;2\r\n" + open.join(u';') + "\r\n" + good + "\r\n").toLatin1());
    const ImportResult result = Import(path, 3);
    ASSERT_EQ(result.rejected.size(), 2) << result.rejected.join(u'|').toStdString();
    EXPECT_EQ(result.rejected[0], QStringLiteral("909:2"));
    EXPECT_TRUE(result.rejected[1].startsWith(QStringLiteral("Line 3:")) && result.rejected[1].contains(QStringLiteral("quote")))
        << result.rejected[1].toStdString();
    EXPECT_EQ(result.updated, 2) << "the two-line record and the good line after the open quote";
    const QString column = ItemColumns(*c)[19].name;
    EXPECT_EQ(Value(QStringLiteral("SELECT [%1] FROM TpdbItems WHERE ID = %2").arg(column).arg(speed)).toString(),
              QStringLiteral("first\r\nsecond"))
        << "updates run from the end: the first record is written last";
}

TEST_F(CsvTransferTest, ALockedProjectIsReportedWithoutALineNumber) {
    const QString path = File("one.csv");
    const QString line = LineOf(IdOf("Line1.Motor1.Speed"));
    Write(path, (line + "\r\n").toLatin1());
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
    QString speedLine = LineOf(speed);
    QString currentLine = LineOf(current);
    const auto renamed = [](QString line, const char* comment) {
        QStringList fields = line.split(u';');
        fields.last() = QString::fromUtf8(comment);
        return fields.join(u';');
    };
    const QString path = File("modes.csv");
    // Two lines for Speed: updates run from the end, so the first line wins.
    Write(path, (renamed(speedLine, "first") + "\r\n" + renamed(speedLine, "second") + "\r\n" +
                 renamed(currentLine, "current") + "\r\n\r\n")
                    .toLatin1());
    ImportResult result = Import(path, 1, {{current}, 0});
    EXPECT_TRUE(result.rejected.isEmpty()) << "a blank last line is no error";
    EXPECT_EQ(result.updated, 1);
    EXPECT_EQ(Value(QStringLiteral("SELECT Comment FROM TpdbItems WHERE ID = %1").arg(speed)).toString(), QStringLiteral("rpm"))
        << "not selected";
    result = Import(path, 3);
    EXPECT_EQ(Value(QStringLiteral("SELECT Comment FROM TpdbItems WHERE ID = %1").arg(speed)).toString(), QStringLiteral("first"));
    // Mode 2: only lines whose device (third field) is the one in view.
    result = Import(path, 2, {{}, 99});
    EXPECT_EQ(result.updated, 0);

    // Mode 7: a line of an unknown ID becomes a new item with an ID of its own.
    QStringList fields = renamed(speedLine, "copy").split(u';');
    fields[0] = QStringLiteral("abc");  // no number: matches no item
    fields[1] = QStringLiteral("Line1.Motor1.SpeedCopy");
    fields[12] = QStringLiteral("Line1.Motor1.SpeedCopy");
    Write(path, (fields.join(u';') + "\r\n").toLatin1());
    const int before = Count();
    result = Import(path, 7);
    EXPECT_EQ(result.inserted, 1);
    EXPECT_EQ(Count(), before + 1);
    EXPECT_GT(IdOf("Line1.Motor1.SpeedCopy"), 0);
    // Mode 0 inserts even what would match.
    fields[1] = fields[12] = QStringLiteral("Line1.Motor1.SpeedThird");
    Write(path, (fields.join(u';') + "\r\n").toLatin1());
    EXPECT_EQ(Import(path, 0).inserted, 1);
}

TEST_F(CsvTransferTest, LinesWithTheWrongNumberOfFieldsAreRejectedByTheirIndex) {
    const QString line = LineOf(IdOf("Line1.Motor1.Speed"));
    const int columns = static_cast<int>(line.split(u';').size());
    const QString path = File("counts.csv");
    QByteArray content = (line + "\r\n").toLatin1();
    for (int fields : {columns - 1, 30, 31, 32, 40}) content += QByteArray(fields - 1, ';') + "\r\n";
    content += QByteArray(1000000, 'x') + "\r\n";
    Write(path, content);
    const ImportResult result = Import(path, 3);
    EXPECT_EQ(result.rejected, (QStringList{"909:1", "909:2", "909:3", "909:4", "909:5", "909:6"}));
    EXPECT_EQ(result.updated, 1) << "the good line is still taken";
}

TEST_F(CsvTransferTest, EuroAndUmlautsTravelThroughBothEncodings) {
    const int id = IdOf("Line1.Motor1.Speed");
    c->Execute(QStringLiteral("UPDATE TpdbItems SET Comment = ? WHERE ID = ?"), {QStringLiteral("€ für Größe"), id});
    for (const CsvEncoding encoding : {CsvEncoding::Ansi, CsvEncoding::Utf8WithBom}) {
        const QString path = File("enc.csv");
        ASSERT_TRUE(ExportItemsById(*c, {id}, path, encoding, kEnglish).error.isEmpty());
        EXPECT_EQ(Read(path).startsWith("\xEF\xBB\xBF"), encoding == CsvEncoding::Utf8WithBom);
        if (encoding == CsvEncoding::Ansi) {
            EXPECT_TRUE(Read(path).contains("\x80 f\xFCr"));
        }
        c->Execute(QStringLiteral("UPDATE TpdbItems SET Comment = 'x' WHERE ID = ?"), {id});
        ASSERT_TRUE(Import(path, 3).Applied());
        EXPECT_EQ(Value(QStringLiteral("SELECT Comment FROM TpdbItems WHERE ID = %1").arg(id)).toString(), QStringLiteral("€ für Größe"));
    }
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
    const int speed = IdOf("Line1.Motor1.Speed");
    QStringList fields = LineOf(speed).split(u';');
    const QString good = fields.join(u';');
    QStringList huge = fields;
    huge[3] = QStringLiteral("1e999");  // MinVal
    QStringList quote = fields;
    quote[19] = QStringLiteral("\"open; never closed");
    const QString path = File("lines.csv");
    Write(path, (huge.join(u';') + "\r\n" + quote.join(u';') + "\r\n" + good + "\r\n").toLatin1());
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
    QStringList first = fields;
    first[1] = first[12] = QStringLiteral("Fresh.One");
    Write(path, (first.join(u';') + "\r\n" + good + "\r\n").toLatin1());
    result = Import(path, 0);
    EXPECT_FALSE(result.dbError.isEmpty());
    EXPECT_EQ(IdOf("Fresh.One"), 0);
    EXPECT_EQ(result.inserted, 0);
}

TEST_F(CsvTransferTest, StoppingAnImportOrExportWritesNothing) {
    const QString path = File("many.csv");
    QStringList fields = LineOf(IdOf("Line1.Motor1.Speed")).split(u';');
    QByteArray content;
    for (int i = 0; i < 3000; ++i) {
        fields[1] = fields[12] = QStringLiteral("Bulk.Item%1").arg(i);
        content += (fields.join(u';') + "\r\n").toLatin1();
    }
    Write(path, content);
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
    EXPECT_EQ(Read(out), QByteArray("old")) << "the old file stays until a new one is complete";
}

}  // namespace
