#include "TaskTableFixture.h"

#include "platform/Error.h"
#include "platform/FileWriter.h"
#include "storage/Datapacket.h"

#include <QDir>
#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <atomic>
#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <random>

using namespace ql;
using namespace ql::test;

namespace {

QByteArray fixture(const char *name)
{
    QFile file(QStringLiteral(QUILLON_TEST_DATA "/") + QString::fromLatin1(name));
    if (!file.open(QIODevice::ReadOnly))
        ADD_FAILURE() << "missing fixture " << name;
    return file.readAll();
}

// A document with the given FIELD elements, PARAMS attributes and ROW elements.
QByteArray document(const QByteArray &fields, const QByteArray &params, const QByteArray &rows)
{
    return "<?xml version=\"1.0\" standalone=\"yes\"?>  <DATAPACKET Version=\"2.0\"><METADATA><FIELDS>"
        + fields + "</FIELDS><PARAMS" + params + "/></METADATA><ROWDATA>" + rows + "</ROWDATA></DATAPACKET>";
}

const QByteArray TaskFields = "<FIELD attrname=\"ID\" fieldtype=\"i4\" SUBTYPE=\"Autoinc\"/>"
                              "<FIELD attrname=\"Task\" fieldtype=\"string\" WIDTH=\"255\"/>"
                              "<FIELD attrname=\"Progress\" fieldtype=\"i4\"/>"
                              "<FIELD attrname=\"Bookmarked\" fieldtype=\"boolean\"/>"
                              "<FIELD attrname=\"Due\" fieldtype=\"date\"/>"
                              "<FIELD attrname=\"Stamp\" fieldtype=\"dateTime\"/>"
                              "<FIELD attrname=\"Points\" fieldtype=\"ui2\"/>";

QString readError(const QByteArray &bytes)
{
    ClientTable table;
    try {
        table.ReadFromBytes(bytes);
    } catch (const Error &e) {
        EXPECT_FALSE(table.Active()) << "a failed read leaves the table closed";
        return e.message();
    }
    return QStringLiteral("<no error>");
}

// The quick add of the worked example: one task on 9 March 2024 by ann.
void quickAddBuyMilk(ClientTable &table)
{
    table.AppendRow();
    table.SetText("Task", "Buy milk");
    table.SetText("Status", "Not Started");
    table.SetText("Priority", "Normal");
    table.SetInteger("Progress", 0);
    table.SetText("Difficulty", "Moderate");
    table.SetDateTime("CreatedDate", QDateTime(QDate(2024, 3, 9), QTime(0, 0)));
    table.SetInteger("Time", 0);
    table.SetBoolean("Bookmarked", false);
    table.SetText("AssignedTo", "ann");
    table.SetText("Category", "");
    table.PostRow();
}

} // namespace

TEST(Datapacket, Golden_NewListAndTheWorkedExample)
{
    auto table = newTaskTable();
    EXPECT_EQ(table->WriteToBytes(DataFormat::XmlUtf8), fixture("new-empty.ql1"));

    quickAddBuyMilk(*table);
    EXPECT_EQ(table->WriteToBytes(DataFormat::XmlUtf8), fixture("one-task-added.ql1"));

    table->EditRow();
    table->SetText("Status", "Complete");
    table->SetInteger("Progress", 100);
    table->SetDateTime("CompletedDate", QDateTime(QDate(2024, 3, 10), QTime()));
    table->SetDateTime("LastActioned", QDateTime(QDate(2024, 3, 10), QTime()));
    table->PostRow();
    const QByteArray completed = table->WriteToBytes(DataFormat::XmlUtf8);
    EXPECT_EQ(completed, fixture("one-task-completed.ql1"));

    // Reading the saved list back and writing it again gives the same bytes, and a further change
    // is appended to the restored log.
    ClientTable loaded;
    loaded.ReadFromBytes(completed);
    EXPECT_EQ(loaded.WriteToBytes(DataFormat::XmlUtf8), completed);
    EXPECT_EQ(loaded.AsText("Status"), "Complete");
    EXPECT_EQ(loaded.AsText("Task"), "Buy milk");
    loaded.EditRow();
    loaded.SetText("Priority", "High");
    loaded.PostRow();
    const QByteArray again = loaded.WriteToBytes(DataFormat::XmlUtf8);
    EXPECT_TRUE(again.contains("CHANGE_LOG=\"1 0 4 2 1 8 3 2 8\"")) << again.constData();
    EXPECT_TRUE(again.contains("<ROW RowState=\"13\" Status=\"Complete\"")) << again.constData();
    EXPECT_TRUE(again.endsWith("<ROW RowState=\"12\" Priority=\"High\"/></ROWDATA></DATAPACKET>"));
}

TEST(Datapacket, RoundTrip_KeepsEveryCharacterAndValue)
{
    auto table = newTaskTable();
    const QString texts[] = {
        "<b> & 'x'",
        "line one\r\nline two\ttabbed \\ back \"quoted\"",
        QString::fromUtf8("caf\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80"),
        QString("bell") + QChar(7) + "end",
        "",
    };
    for (const QString &text : texts) {
        table->AppendRow();
        table->SetText("Details", text);
        table->SetText("Task", text);
        table->SetDateTime("DueDate", QDateTime(QDate(1999, 12, 31), QTime()));
        table->SetInteger("GroupNo", -42);
        table->SetInteger("Points", 65535);
        table->PostRow();
    }
    const QByteArray bytes = table->WriteToBytes(DataFormat::XmlUtf8);
    EXPECT_TRUE(bytes.contains("Task=\"&lt;b&gt; &amp; &apos;x&apos;\""));
    EXPECT_TRUE(bytes.contains("line one&#013;&#010;line two&#009;tabbed &#092; back &quot;quoted&quot;"));
    EXPECT_TRUE(bytes.contains("caf\xC3\xA9"));
    EXPECT_FALSE(bytes.contains('\n'));
    EXPECT_FALSE(bytes.contains('\x07'));

    ClientTable loaded;
    loaded.ReadFromBytes(bytes);
    ASSERT_EQ(loaded.RowCount(), int(std::size(texts)));
    for (const QString &text : texts) {
        EXPECT_EQ(loaded.AsText("Details"), text);
        EXPECT_EQ(loaded.AsText("Task"), text);
        EXPECT_FALSE(loaded.IsNull("Task"));
        EXPECT_EQ(loaded.AsInteger("GroupNo"), -42);
        EXPECT_EQ(loaded.AsInteger("Points"), 65535);
        EXPECT_EQ(loaded.AsDateTime("DueDate").date(), QDate(1999, 12, 31));
        loaded.MoveNext();
    }
}

TEST(Datapacket, DateTimes_WriteMidnightAsEightDigits)
{
    ClientTable table;
    DefineRecentTable(table);
    table.CreateEmpty();
    const QTime times[] = { QTime(0, 0), QTime(14, 5, 7, 250), QTime(23, 59, 59, 999) };
    for (const QTime &t : times) {
        table.AppendRow();
        table.SetDateTime("LastUsed", QDateTime(QDate(2024, 3, 9), t));
        table.PostRow();
    }
    const QByteArray bytes = table.WriteToBytes(DataFormat::Xml);
    EXPECT_TRUE(bytes.startsWith("<?xml version=\"1.0\" standalone=\"yes\"?>  <DATAPACKET"));
    EXPECT_TRUE(bytes.contains("LastUsed=\"20240309\"/>"));
    EXPECT_TRUE(bytes.contains("LastUsed=\"20240309T14:05:07250\""));
    EXPECT_TRUE(bytes.contains("LastUsed=\"20240309T23:59:59999\""));
    ClientTable loaded;
    loaded.ReadFromBytes(bytes);
    for (const QTime &t : times) {
        EXPECT_EQ(loaded.AsDateTime("LastUsed"), QDateTime(QDate(2024, 3, 9), t));
        loaded.MoveNext();
    }
}

// An edit that sets a field back to empty must survive a save: a modified version otherwise only
// carries the fields that changed, and a missing attribute means "as before".
TEST(Datapacket, FieldSetBackToEmpty_ReadsBackEmpty)
{
    auto table = newTaskTable();
    table->AppendRow();
    table->SetText("Task", "t");
    table->SetText("Comments", "note");
    table->SetInteger("Progress", 40);
    table->PostRow();
    table->EditRow();
    table->SetNull("Comments");
    table->SetNull("Progress");
    table->SetText("Task", "t2");
    table->PostRow();
    const QByteArray bytes = table->WriteToBytes(DataFormat::XmlUtf8);
    EXPECT_TRUE(bytes.contains("<ROW RowState=\"12\" Task=\"t2\" QuillonNulls=\"Progress Comments\"/>"))
        << bytes.constData();

    ClientTable loaded;
    loaded.ReadFromBytes(bytes);
    EXPECT_TRUE(loaded.IsNull("Comments"));
    EXPECT_TRUE(loaded.IsNull("Progress"));
    EXPECT_EQ(loaded.AsText("Task"), "t2");
    EXPECT_EQ(loaded.WriteToBytes(DataFormat::XmlUtf8), bytes);
}

TEST(Datapacket, AllTasksDeleted_KeepsVersionsAndTheCounter)
{
    auto table = newTaskTable();
    addTask(*table, "a");
    addTask(*table, "b");
    table->MoveFirst();
    table->EditRow();
    table->SetText("Task", "a2");
    table->PostRow();
    table->MoveFirst();
    table->DeleteRow();
    table->DeleteRow();
    const QByteArray bytes = table->WriteToBytes(DataFormat::XmlUtf8);
    EXPECT_TRUE(bytes.contains("CHANGE_LOG=\"1 0 4 2 0 4 3 1 8 3 0 2 2 0 2\"")) << bytes.constData();
    EXPECT_TRUE(bytes.contains("<ROW RowState=\"5\" ID=\"1\""));
    EXPECT_TRUE(bytes.contains("<ROW RowState=\"6\" ID=\"2\""));
    EXPECT_TRUE(bytes.contains("<ROW RowState=\"14\" Task=\"a2\"/>"));

    ClientTable loaded;
    loaded.ReadFromBytes(bytes);
    EXPECT_EQ(loaded.RowCount(), 0);
    loaded.AppendRow();
    loaded.SetText("Task", "c");
    loaded.PostRow();
    EXPECT_EQ(loaded.AsInteger("ID"), 3);
    EXPECT_TRUE(loaded.WriteToBytes(DataFormat::XmlUtf8)
                    .contains("CHANGE_LOG=\"1 0 4 2 0 4 3 1 8 3 0 2 2 0 2 4 0 4\""));
}

// Values as other writers may store them.
TEST(Datapacket, ReadingValues_FollowsTheValueRules)
{
    struct Case
    {
        QByteArray attributes;
        const char *field;
        QString expected; // text of the value, "<null>" when empty
    };
    const std::vector<Case> cases = {
        { "Progress=\"12abc\"", "Progress", "12" },
        { "Progress=\"-7\"", "Progress", "-7" },
        { "Progress=\"abc12\"", "Progress", "<null>" },
        { "Progress=\"99999999999\"", "Progress", "<null>" },
        { "Points=\"70000\"", "Points", "<null>" },
        { "Points=\"-1\"", "Points", "<null>" },
        { "Bookmarked=\"true\"", "Bookmarked", "True" },
        { "Bookmarked=\"F\"", "Bookmarked", "False" },
        { "Bookmarked=\"yes\"", "Bookmarked", "<null>" },
        { "", "Bookmarked", "<null>" },
        { "Due=\"20240309\"", "Due", "3/9/2024" },
        { "Due=\"20240230\"", "Due", "<null>" },
        { "Due=\"20241301\"", "Due", "<null>" },
        { "Due=\"20240100\"", "Due", "<null>" },
        { "Due=\"2024\"", "Due", "<null>" },
        { "Stamp=\"20240309T14:05:05\"", "Stamp", "3/9/2024 2:05:05 PM" },
        { "Stamp=\"20240309T14:05:07250\"", "Stamp", "3/9/2024 2:05:07 PM" },
        { "Task=\"a&#x41;&#66;&amp;&foo; & x&#;\"", "Task", "aAB&&foo; & x&#;" },
        { "Task=\"tab\there\"", "Task", "tab\there" },
        { "Task=\"one&#0;two\"", "Task", "one" },
    };
    for (const Case &c : cases) {
        ClientTable table;
        table.ReadFromBytes(document(TaskFields, "", "<ROW " + c.attributes + "/>"));
        const QString actual = table.IsNull(c.field) ? QStringLiteral("<null>") : table.AsText(c.field);
        EXPECT_EQ(actual, c.expected) << c.attributes.constData();
    }
    EXPECT_EQ(readError(document(TaskFields, "", "<ROW Stamp=\"20240309T24:00:00\"/>")),
        "'20240309T24:00:00' is not a valid date and time value for field 'Stamp'");
    EXPECT_EQ(readError(document(TaskFields, "", "<ROW Stamp=\"20240309T10:60:00\"/>")),
        "'20240309T10:60:00' is not a valid date and time value for field 'Stamp'");
}

TEST(Datapacket, Counter_IsAboveEveryStoredNumber)
{
    const struct
    {
        QByteArray params;
        qint64 expected;
    } cases[] = { { " AUTOINCVALUE=\"10\"", 10 }, { " AUTOINCVALUE=\"2\"", 6 }, { "", 6 },
        { " AUTOINCVALUE=\"x\"", 6 } };
    for (const auto &c : cases) {
        ClientTable table;
        table.ReadFromBytes(document(TaskFields, c.params, "<ROW ID=\"1\"/><ROW ID=\"5\"/>"));
        EXPECT_EQ(table.Counter(), c.expected) << c.params.constData();
        table.AppendRow();
        table.SetText("Task", "new");
        table.PostRow(); // never a key violation
    }
}

TEST(Datapacket, MalformedDocuments_FailClosedWithAClearError)
{
    const QByteArray good = document(TaskFields, " AUTOINCVALUE=\"2\"", "<ROW ID=\"1\" Task=\"a\"/>");
    struct Case
    {
        const char *what;
        QByteArray bytes;
        QString message; // empty: any message
    };
    const std::vector<Case> cases = {
        { "empty file", "", "" },
        { "truncated", good.left(good.size() / 2), "" },
        { "wrong nesting", "<DATAPACKET><METADATA><FIELDS></METADATA></FIELDS></DATAPACKET>", "" },
        { "unknown first element", "<DATAPACKET><FOO/></DATAPACKET>", "Mismatch in datapacket." },
        { "no field descriptions", "<DATAPACKET><ROWDATA/></DATAPACKET>",
            "Datapacket contains no meta data." },
        { "no fields", document("", "", ""), "Datapacket contains no meta data." },
        { "foreign element in rows", document(TaskFields, "", "<ROW/><CELL/>"), "Mismatch in datapacket." },
        { "binary datapacket", QByteArray("\x96\x19\xE0\xBD\x01\x00", 6),
            "This file is a binary datapacket, which cannot be read; only XML datapackets can be opened." },
        { "unknown field type", document("<FIELD attrname=\"A\" fieldtype=\"quux\"/>", "", ""),
            "Unknown field type 'quux' in datapacket." },
        { "nameless field", document("<FIELD fieldtype=\"i4\"/>", "", ""),
            "Field name can't be null, datapacket may be corrupted" },
        { "huge width",
            document("<FIELD attrname=\"A\" fieldtype=\"string\" WIDTH=\"99999999999\"/>", "", ""),
            "Field 'A' has no valid width in datapacket." },
        { "bad change log", document(TaskFields, " CHANGE_LOG=\"1 0\"", "<ROW/>"),
            "Mismatch in datapacket." },
        { "log beyond the rows", document(TaskFields, " CHANGE_LOG=\"9 0 4\"", "<ROW/>"),
            "Mismatch in datapacket." },
        { "bad row state", document(TaskFields, "", "<ROW RowState=\"x\"/>"), "Mismatch in datapacket." },
        { "duplicate field",
            document(
                "<FIELD attrname=\"A\" fieldtype=\"i4\"/><FIELD attrname=\"a\" fieldtype=\"i4\"/>", "", ""),
            "Duplicate field name 'a' in datapacket." },
    };
    for (const Case &c : cases) {
        const QString message = readError(c.bytes);
        EXPECT_NE(message, "<no error>") << c.what;
        if (!c.message.isEmpty()) {
            EXPECT_EQ(message, c.message) << c.what;
        }
    }

    // A table that held a list and then fails to read another is closed, not half-filled.
    auto table = newTaskTable();
    EXPECT_THROW(table->ReadFromBytes("<DATAPACKET>"), Error);
    EXPECT_FALSE(table->Active());
}

TEST(Datapacket, Encoding_PlainDocumentsFallBackToWindows1252)
{
    const QByteArray fields = "<FIELD attrname=\"File\" fieldtype=\"string\" WIDTH=\"255\"/>";
    ClientTable utf8;
    utf8.ReadFromBytes(document(fields, "", "<ROW File=\"caf\xC3\xA9\"/>"));
    EXPECT_EQ(utf8.AsText("File"), QString::fromUtf8("caf\xC3\xA9"));
    ClientTable ansi;
    ansi.ReadFromBytes(document(fields, "", "<ROW File=\"caf\xE9 \x80\"/>"));
    EXPECT_EQ(ansi.AsText("File"), QString::fromUtf8("caf\xC3\xA9 \xE2\x82\xAC"));
}

// UTF-16 and UTF-32 files, with or without a byte-order mark, are named for what they are; a UTF-8
// byte-order mark is skipped.
TEST(Datapacket, Encoding_WideEncodingsAreNamedAndAUtf8MarkReads)
{
    const QString text = QString::fromUtf8(document(
        "<FIELD attrname=\"File\" fieldtype=\"string\" WIDTH=\"255\"/>", "", "<ROW File=\"caf\xC3\xA9\"/>"));
    const auto encoded
        = [&](QStringConverter::Encoding encoding, bool mark, const QString &prefix = QString()) {
              QStringEncoder encoder(
                  encoding, mark ? QStringConverter::Flag::WriteBom : QStringConverter::Flag::Default);
              return QByteArray(encoder.encode(prefix + text));
          };
    const auto refusal = [](const char *name) {
        return QStringLiteral(
            "The file is encoded in %1, which Quillon does not read: list files are UTF-8 (or "
            "Windows-1252) XML.")
            .arg(QLatin1String(name));
    };
    const struct
    {
        const char *what;
        QByteArray bytes;
        QString message;
    } refused[] = {
        { "UTF-16 LE with mark", encoded(QStringConverter::Utf16LE, true),
            refusal("UTF-16 (little-endian)") },
        { "UTF-16 LE", encoded(QStringConverter::Utf16LE, false), refusal("UTF-16 (little-endian)") },
        { "UTF-16 LE, blanks first", encoded(QStringConverter::Utf16LE, false, " \r\n"),
            refusal("UTF-16 (little-endian)") },
        { "UTF-16 BE with mark", encoded(QStringConverter::Utf16BE, true), refusal("UTF-16 (big-endian)") },
        { "UTF-16 BE", encoded(QStringConverter::Utf16BE, false), refusal("UTF-16 (big-endian)") },
        { "UTF-16 BE, tab first", encoded(QStringConverter::Utf16BE, false, "\t"),
            refusal("UTF-16 (big-endian)") },
        { "UTF-32 LE with mark", encoded(QStringConverter::Utf32LE, true),
            refusal("UTF-32 (little-endian)") },
        { "UTF-32 LE", encoded(QStringConverter::Utf32LE, false), refusal("UTF-32 (little-endian)") },
        { "UTF-32 BE with mark", encoded(QStringConverter::Utf32BE, true), refusal("UTF-32 (big-endian)") },
        { "UTF-32 BE", encoded(QStringConverter::Utf32BE, false), refusal("UTF-32 (big-endian)") },
        { "UTF-16 LE mark alone", "\xFF\xFE", refusal("UTF-16 (little-endian)") },
        { "UTF-32 BE first character", QByteArray("\0\0\0<", 4), refusal("UTF-32 (big-endian)") },
    };
    for (const auto &c : refused)
        EXPECT_EQ(readError(c.bytes).toStdString(), c.message.toStdString()) << c.what;

    // Other damage keeps the parser's own account of it.
    EXPECT_TRUE(readError(QByteArray("A\0B\0", 4)).startsWith("The file is not a valid datapacket:"));

    for (const QByteArray &bytes :
        { "\xEF\xBB\xBF" + text.toUtf8(), "\xEF\xBB\xBF" + text.toUtf8().mid(text.indexOf("<DATAPACKET")) }) {
        ClientTable table;
        table.ReadFromBytes(bytes);
        EXPECT_EQ(table.AsText("File"), QString::fromUtf8("caf\xC3\xA9"));
    }
}

// Duplicate field names are refused without regard to case, by the simple case folding that
// QString's case-insensitive comparison applies, supplementary characters included.
TEST(Datapacket, DuplicateFieldNames_AreRefusedWithoutRegardToCase)
{
    const struct
    {
        const char *first;
        const char *second;
        bool duplicate;
    } cases[] = {
        { "Task", "TASK", true },
        { "\u039F\u0394\u039F\u03A3", "\u03BF\u03B4\u03BF\u03C2", true }, // final sigma
        { "\u01C5", "\u01C4", true }, // title-case DZ
        { "\u212A", "k", true }, // Kelvin sign
        { "\U00010400x", "\U00010428X", true }, // Deseret, outside the BMP
        { "Stra\u00DFe", "STRASSE", false }, // simple folding keeps the sharp s
        { "a b", "a_b", false }, // one attribute name, two fields
        { "Task", "Tasks", false },
    };
    for (const auto &c : cases) {
        const QByteArray fields = "<FIELD fieldname=\"" + QByteArray(c.first)
            + "\" attrname=\"one\" fieldtype=\"i4\"/>"
              "<FIELD fieldname=\""
            + QByteArray(c.second) + "\" attrname=\"two\" fieldtype=\"i4\"/>";
        const QString expected = c.duplicate
            ? QStringLiteral("Duplicate field name '%1' in datapacket.").arg(QString::fromUtf8(c.second))
            : QStringLiteral("<no error>");
        EXPECT_EQ(readError(document(fields, "", "")), expected) << c.first << " / " << c.second;
    }
}

// Row attributes are matched to fields by name: the next field in order first, else the first field
// after the last one matched, else the last field of that name. Distinct field names can share an
// attribute name ("a b" and "a_b" are both written "a_b").
TEST(Datapacket, RowAttributes_MatchTheNextFieldOfTheirName)
{
    const QByteArray fields = "<FIELD fieldname=\"a b\" attrname=\"a_b\" fieldtype=\"i4\"/>"
                              "<FIELD attrname=\"x\" fieldtype=\"i4\"/>"
                              "<FIELD attrname=\"a_b\" fieldtype=\"i4\"/>"
                              "<FIELD attrname=\"y\" fieldtype=\"i4\"/>"
                              "<FIELD fieldname=\"a?b\" attrname=\"a_b\" fieldtype=\"i4\"/>";
    const struct
    {
        QByteArray attributes;
        QString values; // of the five fields, "-" for empty
    } cases[] = {
        { "a_b=\"1\"", "1 - - - -" },
        { "a_b=\"1\" a_b=\"2\" a_b=\"3\"", "1 - 2 - 3" },
        { "x=\"1\" a_b=\"2\"", "- 1 2 - -" },
        { "y=\"1\" a_b=\"2\"", "- - - 1 2" },
        { "a_b=\"1\" a_b=\"2\" a_b=\"3\" a_b=\"4\"", "1 - 2 - 4" },
        { "y=\"1\" x=\"2\" a_b=\"3\" z=\"4\" a_b=\"5\"", "- 2 3 1 5" },
        { "a_b=\"1\" QuillonNulls=\"x\" x=\"2\"", "1 2 - - -" },
    };
    for (const auto &c : cases) {
        const TableData data = readDatapacket(document(fields, "", "<ROW " + c.attributes + "/>"));
        QStringList values;
        for (const Value &v : data.versions.at(0).values)
            values << (v.isNull() ? QStringLiteral("-") : QString::number(v.toInteger()));
        EXPECT_EQ(values.join(' '), c.values) << c.attributes.constData();
    }
}

namespace {

// A crafted document: many fields, and rows whose attributes come mostly in field order with fields
// left out, some out of order, and many names that are no field's. `expected` holds each row's
// values (empty where the row has no attribute for the field).
struct CraftedDocument
{
    QByteArray bytes;
    std::vector<QByteArray> names;
    qint64 fields = 0;
    qint64 attributes = 0;
    std::vector<std::vector<std::optional<int>>> expected;
};

CraftedDocument craftedDocument(int fieldCount, int rowCount, int unknownPerRow, unsigned seed)
{
    std::mt19937 random(seed);
    const auto chance = [&](int percent) { return int(random() % 100) < percent; };
    CraftedDocument crafted;
    crafted.fields = fieldCount;
    std::vector<QByteArray> attrNames;
    QByteArray fields;
    for (int i = 0; i < fieldCount; ++i) {
        // Some names need a fieldname attribute of their own beside the attribute name.
        if (chance(20)) {
            crafted.names.push_back("Field " + QByteArray::number(i));
            attrNames.push_back("Field_" + QByteArray::number(i));
            fields += "<FIELD fieldname=\"" + crafted.names.back() + "\" attrname=\"" + attrNames.back()
                + "\" fieldtype=\"i4\"/>";
        } else {
            crafted.names.push_back("f" + QByteArray::number(i));
            attrNames.push_back(crafted.names.back());
            fields += "<FIELD attrname=\"" + attrNames.back() + "\" fieldtype=\"i4\"/>";
        }
    }
    QByteArray rows;
    for (int r = 0; r < rowCount; ++r) {
        std::vector<std::optional<int>> values(static_cast<size_t>(fieldCount));
        std::vector<QByteArray> attributes;
        for (int i = 0; i < fieldCount; ++i) {
            if (chance(60)) {
                values[size_t(i)] = int(random() % 100000);
                attributes.push_back(
                    attrNames[size_t(i)] + "=\"" + QByteArray::number(*values[size_t(i)]) + '"');
            }
        }
        for (size_t swaps = attributes.size() / 10; swaps > 0; --swaps)
            std::swap(attributes[random() % attributes.size()], attributes[random() % attributes.size()]);
        for (int u = 0; u < unknownPerRow; ++u)
            attributes.insert(attributes.begin() + std::ptrdiff_t(random() % (attributes.size() + 1)),
                "u" + QByteArray::number(u) + "=\"1\"");
        rows += "<ROW";
        for (const QByteArray &attribute : attributes)
            rows += ' ' + attribute;
        rows += "/>";
        crafted.attributes += qint64(attributes.size());
        crafted.expected.push_back(std::move(values));
    }
    crafted.bytes = document(fields, "", rows);
    return crafted;
}

} // namespace

// The reader's work grows with the document, never with the square of its fields or attributes:
// checked by counting its name comparisons and look-ups, on documents built from a few seeds.
TEST(Datapacket, CraftedDocuments_ReadWithWorkInProportionToTheirSize)
{
    for (unsigned seed : { 1u, 2u, 3u }) {
        const CraftedDocument crafted = craftedDocument(3000, 6, 1500, seed);
        ReadCounts counts;
        const TableData data = readDatapacket(crafted.bytes, &counts);
        EXPECT_LE(counts.nameProbes, 3 * (crafted.fields + crafted.attributes)) << "seed " << seed;

        ASSERT_EQ(data.fields.size(), size_t(crafted.fields));
        ASSERT_EQ(data.versions.size(), crafted.expected.size());
        for (size_t r = 0; r < crafted.expected.size(); ++r) {
            for (size_t i = 0; i < size_t(crafted.fields); ++i) {
                const std::optional<int> &expected = crafted.expected[r][i];
                ASSERT_TRUE(data.versions[r].values[i] == (expected ? Value::integer(*expected) : Value()))
                    << "seed " << seed << " row " << r << " field " << i;
            }
        }
    }

    // A field that repeats one of many, in other case, is still refused.
    CraftedDocument crafted = craftedDocument(3000, 1, 0, 4);
    const QByteArray repeated = crafted.names[1234].toUpper();
    crafted.bytes.replace(
        "</FIELDS>", "<FIELD fieldname=\"" + repeated + "\" attrname=\"A\" fieldtype=\"i4\"/></FIELDS>");
    EXPECT_EQ(readError(crafted.bytes),
        "Duplicate field name '" + QString::fromLatin1(repeated) + "' in datapacket.");
}

// A modified version without a change-log entry replaces the nearest earlier superseded version that
// nothing replaces yet, and takes the fields it leaves out from it.
// A small document of many fields and many empty rows would ask for values by the billion: it is
// refused before any row is read, while a long list of a few fields reads.
TEST(Datapacket, ManyFieldsTimesManyRows_IsRefusedBeforeMemoryIsTaken)
{
    QByteArray fields;
    for (int i = 0; i < 4000; ++i)
        fields += "<FIELD attrname=\"f" + QByteArray::number(i) + "\" fieldtype=\"i4\"/>";
    QByteArray emptyRows;
    for (int r = 0; r < 2000; ++r)
        emptyRows += "<ROW/>";
    try {
        readDatapacket(document(fields, "", emptyRows));
        ADD_FAILURE() << "no error";
    } catch (const Error &e) {
        EXPECT_EQ(e.message(),
            QStringLiteral(
                "The file declares 4000 fields for 2000 rows, more than a file of its size can hold; it "
                "is damaged or not a list file."));
    }

    QByteArray rows;
    for (int r = 0; r < 200000; ++r)
        rows += "<ROW ID=\"" + QByteArray::number(r + 1) + "\" Task=\"t\"/>";
    EXPECT_EQ(readDatapacket(document(TaskFields, "", rows)).versions.size(), 200000u);
}

TEST(Datapacket, ModifiedVersionsWithoutLog_ReplaceTheNearestFreeSupersededVersion)
{
    const QByteArray fields
        = "<FIELD attrname=\"ID\" fieldtype=\"i4\"/><FIELD attrname=\"Task\" fieldtype=\"string\" "
          "WIDTH=\"20\"/>";
    // Versions 1 and 2 are superseded; 3 replaces 1 by the log, 4 finds 2, 5 (itself superseded)
    // finds none left, 6 finds 5.
    const TableData small = readDatapacket(document(fields, " CHANGE_LOG=\"3 1 8\"",
        "<ROW RowState=\"5\" ID=\"1\" Task=\"a\"/><ROW RowState=\"5\" ID=\"2\" Task=\"b\"/>"
        "<ROW RowState=\"8\" Task=\"a2\"/><ROW RowState=\"8\" Task=\"b2\"/>"
        "<ROW RowState=\"9\" ID=\"9\"/><ROW RowState=\"8\" Task=\"c\"/>"));
    const int replaces[] = { -1, -1, 0, 1, -1, 4 };
    for (size_t v = 0; v < std::size(replaces); ++v)
        EXPECT_EQ(small.versions[v].replaces, replaces[v]) << "version " << v + 1;
    EXPECT_EQ(small.versions[3].values[0], Value::integer(2));
    EXPECT_EQ(small.versions[5].values[0], Value::integer(9));

    // Many superseded versions, then as many modified ones without log: each takes the nearest free.
    const int count = 2000;
    QByteArray rows;
    for (int i = 0; i < count; ++i)
        rows += "<ROW RowState=\"5\" ID=\"" + QByteArray::number(i) + "\" Task=\"t\"/>";
    for (int i = 0; i < count; ++i)
        rows += "<ROW RowState=\"8\" Task=\"m\"/>";
    ReadCounts counts;
    const TableData data = readDatapacket(document(fields, "", rows), &counts);
    EXPECT_LE(counts.versionSteps, 2 * qint64(data.versions.size()));
    for (int i = 0; i < count; ++i) {
        const RowVersion &v = data.versions[size_t(count + i)];
        ASSERT_EQ(v.replaces, count - 1 - i);
        ASSERT_EQ(v.values[0], Value::integer(count - 1 - i));
        ASSERT_EQ(v.values[1], Value::text("m"));
    }
}

// The recent-files store: fields of its own, matched by name; logging off writes plain rows.
TEST(Datapacket, TableWithOwnFields_MatchesByNameAndWritesWithoutLog)
{
    ClientTable store;
    DefineRecentTable(store);
    store.ReadFromBytes(document("<FIELD attrname=\"Extra\" fieldtype=\"i4\"/>"
                                 "<FIELD attrname=\"File\" fieldtype=\"string\" WIDTH=\"255\"/>",
        " CHANGE_LOG=\"1 0 4\"", "<ROW RowState=\"4\" Extra=\"3\" File=\"/a.ql1\"/>"));
    EXPECT_EQ(store.Fields().size(), 2u);
    EXPECT_EQ(store.AsText("File"), "/a.ql1");
    EXPECT_TRUE(store.IsNull("LastUsed"));
    store.SetChangeLogging(false);
    store.AppendRow();
    store.SetText("File", "/b.ql1");
    store.PostRow();
    store.MoveFirst();
    store.DeleteRow();
    EXPECT_EQ(store.WriteToBytes(DataFormat::Xml),
        "<?xml version=\"1.0\" standalone=\"yes\"?>  <DATAPACKET Version=\"2.0\"><METADATA><FIELDS>"
        "<FIELD attrname=\"File\" fieldtype=\"string\" WIDTH=\"255\"/>"
        "<FIELD attrname=\"LastUsed\" fieldtype=\"dateTime\"/></FIELDS><PARAMS/></METADATA>"
        "<ROWDATA><ROW File=\"/b.ql1\"/></ROWDATA></DATAPACKET>");
}

TEST(Datapacket, FieldNamesWithSpecialCharacters_GetAFieldNameAttribute)
{
    ClientTable table;
    table.AddFieldDef({ "Due date?", FieldType::Date });
    table.AddFieldDef({ "Notes", FieldType::Blob });
    table.CreateEmpty();
    table.AppendRow();
    table.SetText("Due date?", "3/9/2024");
    table.SetText("Notes", "aGVsbG8=");
    table.PostRow();
    const QByteArray bytes = table.WriteToBytes(DataFormat::XmlUtf8);
    EXPECT_TRUE(bytes.contains("<FIELD fieldname=\"Due date?\" attrname=\"Due_date_\" fieldtype=\"date\"/>"));
    EXPECT_TRUE(bytes.contains("<FIELD attrname=\"Notes\" fieldtype=\"bin.hex\"/>"));
    ClientTable loaded;
    loaded.ReadFromBytes(bytes);
    EXPECT_EQ(loaded.AsText("Due date?"), "3/9/2024");
    EXPECT_EQ(loaded.WriteToBytes(DataFormat::XmlUtf8), bytes);

    ClientTable binaryOnly;
    binaryOnly.AddFieldDef({ "V", FieldType::Variant });
    binaryOnly.CreateEmpty();
    EXPECT_THROW(
        {
            try {
                binaryOnly.WriteToBytes(DataFormat::XmlUtf8);
            } catch (const Error &e) {
                EXPECT_EQ(e.message(), "Fieldtype not supported for XML.");
                throw;
            }
        },
        Error);
}

TEST(Datapacket, FailedWrite_LeavesTheOldFileWhole)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("list.ql1");
    auto table = newTaskTable();
    addTask(*table, "first");
    table->WriteToFile(path, DataFormat::XmlUtf8);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray saved = file.readAll();
    file.close();
    addTask(*table, "second");

    for (FileFault fault : { FileFault::CannotCreate, FileFault::FailsHalfway, FileFault::CannotRename }) {
        FileFaults::inject(fault);
        EXPECT_THROW(table->WriteToFile(path, DataFormat::XmlUtf8), Error);
        FileFaults::clear();
        QFile again(path);
        ASSERT_TRUE(again.open(QIODevice::ReadOnly));
        EXPECT_EQ(again.readAll(), saved);
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList({ "list.ql1" }))
            << "no stray temporary file";
    }
    EXPECT_EQ(table->RowCount(), 2) << "the table is unchanged by a failed write";
}

// A large list is written in blocks of rows on several threads and handed on in pieces as it is
// written: the document must be the one a single thread writes, byte for byte, whatever the number
// of threads, with or without the change log; no piece may hold more than a few megabytes; and a
// failure while the pieces are handed on must end the writing, not hang it.
TEST(Datapacket, WrittenInPieces_IsTheSameDocumentOnAnyNumberOfThreads)
{
    auto table = newTaskTable();
    const QString accents = QString::fromUtf8("caf\xC3\xA9 \xF0\x9F\x98\x80 & <");
    for (int i = 0; i < 60000; ++i) {
        table->AppendRow();
        table->SetText("Task", QStringLiteral("task %1 %2").arg(i).arg(i % 7 == 0 ? accents : QString()));
        table->SetText("Status", i % 3 ? "Not Started" : "Completed");
        table->SetDateTime("DueDate", QDateTime(QDate(2020, 1, 1).addDays(i % 900), QTime()));
        table->SetInteger("Points", i % 100);
        table->PostRow();
    }
    // Modified versions, some with a field set back to empty, and deleted rows.
    table->MoveFirst();
    for (int i = 0; i < 12000 && !table->AtEnd(); ++i) {
        table->EditRow();
        table->SetText("Task", QStringLiteral("edited %1").arg(i));
        if (i % 2)
            table->SetNull("DueDate");
        table->PostRow();
        table->MoveNext();
        if (i % 5 == 0 && !table->AtEnd())
            table->DeleteRow();
    }

    for (const bool logging : { true, false }) {
        SCOPED_TRACE(logging ? "with the change log" : "current rows only");
        const auto write = [&](int threads, qsizetype *largestPiece) {
            QByteArray bytes;
            writeDatapacket(
                table->Data(), DataFormat::XmlUtf8, logging,
                [&](const char *data, qsizetype size) {
                    *largestPiece = std::max(*largestPiece, size);
                    bytes.append(data, size);
                },
                threads);
            return bytes;
        };
        qsizetype largest = 0;
        const QByteArray alone = write(1, &largest);
        ASSERT_GT(alone.size(), 4 << 20) << "large enough to come in several pieces";
        EXPECT_EQ(alone, writeDatapacket(table->Data(), DataFormat::XmlUtf8, logging));
        for (const int threads : { 2, 3 }) {
            SCOPED_TRACE(threads);
            qsizetype largestInParallel = 0;
            EXPECT_TRUE(write(threads, &largestInParallel) == alone);
            EXPECT_LE(largestInParallel, 8 << 20);
        }
        EXPECT_LE(largest, 8 << 20);
    }

    struct Refused : std::exception
    {
    };
    for (const int threads : { 1, 2 }) {
        int pieces = 0;
        EXPECT_THROW(writeDatapacket(
                         table->Data(), DataFormat::XmlUtf8, true,
                         [&](const char *, qsizetype) {
                             if (++pieces == 2)
                                 throw Refused();
                         },
                         threads),
            Refused);
        EXPECT_EQ(pieces, 2) << "no piece is handed on after the failure";
    }
}

namespace {

// What a read gave: the table's whole content, or the error's message.
QString readOutcome(const std::function<TableData()> &read)
{
    try {
        const TableData data = read();
        QString text = QStringLiteral("counter %1 %2\n").arg(data.hasCounter).arg(data.counter);
        for (const Field &f : data.fields)
            text += QStringLiteral("field %1 %2 %3 %4%5%6%7\n")
                        .arg(f.name())
                        .arg(int(f.type()))
                        .arg(f.width())
                        .arg(f.def().readOnly)
                        .arg(f.def().required)
                        .arg(f.def().hidden)
                        .arg(f.def().linkField);
        for (const ChangeLogEntry &e : data.log)
            text += QStringLiteral("log %1 %2 %3\n").arg(e.produced).arg(e.replaced).arg(e.kind);
        for (const RowVersion &v : data.versions) {
            text += QStringLiteral("row %1 %2").arg(v.state).arg(v.replaces);
            for (const Value &value : v.values)
                text += value.isNull()
                    ? QStringLiteral(" null")
                    : QStringLiteral(" %1:%2:%3")
                          .arg(int(value.kind()))
                          .arg(value.kind() == Value::Kind::Text ? value.text()
                                                                 : QString::number(value.integralKey()))
                          .arg(value.kind() == Value::Kind::Float ? value.toFloat() : 0.0);
            text += u'\n';
        }
        return text;
    } catch (const Error &e) {
        return QStringLiteral("error ") + e.message();
    }
}

} // namespace

// The in-place reader takes the program's own layout and leaves every other shape, and every
// error, to the reader that builds the document's tree: the two must agree on all of them.
TEST(Datapacket, InPlaceAndTreeReaders_AgreeOnEveryShape)
{
    const QByteArray fields = TaskFields;
    const QByteArray rows = "<ROW RowState=\"4\" ID=\"1\" Task=\"a &amp; b\" Due=\"20240309\"/>"
                            "<ROW RowState=\"4\" ID=\"2\" Task=\"x\"/><ROW RowState=\"1\" ID=\"3\"/>";
    const QByteArray good = document(fields, " CHANGE_LOG=\"1 0 4 2 0 4\" AUTOINCVALUE=\"4\"", rows);
    const QByteArray shapes[] = {
        good,
        document(fields, "", "<ROW ID='1' Task='single \"quoted\"'/>"),
        document(fields, "", "<ROW ID=\"1\"></ROW><ROW\tID=\"2\"\r\n/> \n <ROW/>"),
        document(fields, "", "<ROW Task=\"t\" RowState=\"8\" ID=\"2\" RowState=\"4\"/>"),
        document(fields, " CHANGE_LOG=\"2 1 8\"",
            "<ROW RowState=\"1\" ID=\"1\" Task=\"a\"/><ROW RowState=\"8\" Task=\"b\" "
                + QByteArray(NullMarkAttribute) + "=\"Due\" " + QByteArray(NullMarkAttribute)
                + "=\"Points\"/>"),
        document(fields, "", "<ROW ID = \"1\"/>"),
        document(fields, "", "<ROW ID=\"1\"Task=\"t\"/>"),
        document(fields, "", "<!-- a comment --><ROW ID=\"1\"/>"),
        document(fields, "", "text<ROW ID=\"1\"/>"),
        document(fields, "", "<ROWX ID=\"1\"/>"),
        document(fields, "", "<ROW ID=\"1\" Task=\"a<b\"/>"),
        document(fields, "", "<ROW ID=\"1\"><X/></ROW>"),
        document(fields, "", "<ROW ID=\"1\"/><ROW Stamp=\"20240309T25:00:00\"/>"),
        document(fields, "", "<ROW ID=\"1\"/><ROW"),
        document(fields, "", "<ROW RowState=\"16\"/>"),
        document(fields, " CHANGE_LOG=\"1 0\"", "<ROW ID=\"1\"/>"),
        document(fields, " CHANGE_LOG=\"5 0 4\"", "<ROW ID=\"1\"/>"),
        good + "  \n",
        good + "<!-- after -->",
        good + "<X/>",
        QByteArray(good).replace("</ROWDATA>", "</ROWDATA >"),
        QByteArray(good).replace("<ROWDATA>", "<ROWDATA/>").replace("</ROWDATA>", ""),
        QByteArray(good).replace("<ROWDATA>", "<!-- <ROWDATA> --><ROWDATA>"),
        QByteArray(good).replace(
            "<PARAMS", "<FIELD attrname=\"z\" fieldtype=\"i4\" note=\"<ROWDATA>\"/><PARAMS"),
        QByteArray(good).replace("</METADATA>", "</METADATA><EXTRA/>"),
        QByteArray(good).replace("<METADATA>", "<EXTRA/><METADATA>"),
        QByteArray(good).replace("</DATAPACKET>", ""),
        QByteArray(good).replace("Task=\"x\"", QByteArray("Task=\"x\0y\"", 11)),
        QByteArray(good).replace("<?xml version=\"1.0\" standalone=\"yes\"?>  ", ""),
        "\xEF\xBB\xBF" + good,
    };
    for (const QByteArray &bytes : shapes) {
        const QString inPlace = readOutcome([&] { return readDatapacket(bytes); });
        EXPECT_EQ(inPlace, readOutcome([&] { return readDatapacketThroughTree(bytes); }))
            << bytes.toStdString();
    }
    EXPECT_FALSE(readOutcome([&] { return readDatapacket(good); }).startsWith(QLatin1String("error")));
}

// A reader in another thread shows its progress and stops when asked; a stopped read leaves the
// table closed.
TEST(Datapacket, ReadControl_ReportsProgressAndCancels)
{
    QByteArray rows;
    for (int r = 0; r < 5000; ++r)
        rows += "<ROW ID=\"" + QByteArray::number(r + 1) + "\" Task=\"task " + QByteArray::number(r) + "\"/>";
    const QByteArray bytes = document(TaskFields, "", rows);

    std::vector<std::pair<qint64, qint64>> reports;
    ReadControl control;
    control.progress = [&](qint64 done, qint64 total) { reports.emplace_back(done, total); };
    ClientTable table;
    table.ReadFromBytes(bytes, &control);
    EXPECT_EQ(table.RowCount(), 5000);
    ASSERT_GE(reports.size(), 4u);
    for (size_t i = 1; i < reports.size(); ++i) {
        EXPECT_LT(reports[i - 1].first, reports[i].first);
        EXPECT_EQ(reports[i].second, bytes.size());
    }
    EXPECT_EQ(reports.back().first, bytes.size());

    std::atomic<bool> cancel { false };
    control.cancel = &cancel;
    control.progress = [&](qint64 done, qint64) {
        if (done > bytes.size() / 2)
            cancel = true;
    };
    EXPECT_THROW(table.ReadFromBytes(bytes, &control), ReadCancelled);
    EXPECT_FALSE(table.Active());
}

// A large file gives its memory back as its rows are read; when its end turns out damaged, it is
// read again whole, and says what is wrong with it as any other file does.
TEST(Datapacket, FileReadInSteps_GivesTheSameTableOrError)
{
    QTemporaryDir dir;
    QByteArray rows;
    for (int r = 0; r < 6000; ++r)
        rows += "<ROW RowState=\"4\" ID=\"" + QByteArray::number(r + 1) + "\" Task=\"task number "
            + QByteArray::number(r) + " &lt;&gt;\" Progress=\"" + QByteArray::number(r % 101) + "\"/>";
    const QByteArray good = document(TaskFields, " AUTOINCVALUE=\"6001\"", rows);
    const QByteArray damagedEnd = QByteArray(good).replace("</ROWDATA>", "<ROW ID=\"x\"></ROWDATA>");
    for (const QByteArray &bytes : { good, damagedEnd }) {
        const QString path = dir.filePath(QStringLiteral("list.ql1"));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
        file.close();
        FileIdentity identity;
        EXPECT_EQ(readOutcome([&] { return readDatapacketFile(path, identity, nullptr, 16384); }),
            readOutcome([&] { return readDatapacketThroughTree(bytes); }));
        EXPECT_EQ(identity.hash, bytes == good ? contentHash(bytes) : identity.hash);
    }
}
