#include "platform/ProfileFile.h"
#include "platform/Error.h"
#include "platform/FileWriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <tuple>
#include <utility>
#include <vector>

namespace {

using ql::ProfileFile;

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeAll(const QString &path, const QByteArray &data)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(data), data.size());
}

class ProfileFileTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }

    QString path() const { return m_dir.filePath(QStringLiteral("Quillon.ini")); }

    QTemporaryDir m_dir;
};

struct ReadCase
{
    const char *name;
    std::optional<QByteArray> file; // nothing: no file at all
    QString section;
    QString key;
    QString expected; // read with the default "(default)"
};

// Each case is read both key by key and through the whole section, which must agree.
TEST_F(ProfileFileTest, ReadStringAndReadSection_FollowTheProfileConventions)
{
    const QString dflt = QStringLiteral("(default)");
    const QString longValue(3000, u'v');
    const QString surrogateAtCut = QString(2046, u'a') + QStringLiteral("\U0001F600");
    const std::vector<ReadCase> cases = {
        { "missing file", std::nullopt, "Category", "Line0", dflt },
        { "empty file", QByteArray(), "Category", "Line0", dflt },
        { "plain", "[Category]\nLine0=Work\n", "Category", "Line0", "Work" },
        { "names without regard to case", "[CATEGORY]\nline0=Work\n", "category", "LINE0", "Work" },
        { "blanks around names and value", "  [ Category ]  \n \tLine0  =  \tWork home \t\n", "Category",
            "Line0", "Work home" },
        { "double quotes", "[Category]\nLine0=\" Work \"\n", "Category", "Line0", " Work " },
        { "single quotes", "[Category]\nLine0= 'Work' \n", "Category", "Line0", "Work" },
        { "quotes that do not match", "[Category]\nLine0=\"Work'\n", "Category", "Line0", "\"Work'" },
        { "a lone quote", "[Category]\nLine0=\"\n", "Category", "Line0", "\"" },
        { "empty quotes", "[Category]\nLine0=\"\"\n", "Category", "Line0", "" },
        { "empty value is not the default", "[Category]\nLine0=\nLine1\n", "Category", "Line0", "" },
        { "key without =", "[Category]\nLine1\n", "Category", "Line1", "" },
        { "value holds =", "[Links]\nUrl=a=b\n", "Links", "Url", "a=b" },
        { "missing key", "[Category]\nLine0=Work\nLine1=Home\nLine3=Far\n", "Category", "Line2", dflt },
        { "key of another section", "[Other]\nLine0=X\n[Category]\nLine1=Y\n", "Category", "Line0", dflt },
        { "key before every section", "Line0=X\n[Category]\n", "Category", "Line0", dflt },
        { "missing section", "[Other]\nLine0=X\n", "Category", "Line0", dflt },
        { "comment is no key", "[Category]\n;Line0=X\n; Line0=Y\n", "Category", "Line0", dflt },
        { "comment after section name", "[Category] ; mine\nLine0=Work\n", "Category", "Line0", "Work" },
        { "first of two keys", "[Category]\nLine0=A\nline0=B\n", "Category", "Line0", "A" },
        { "first of two sections", "[Category]\nLine0=A\n[category]\nLine0=B\nLine1=C\n", "Category", "Line1",
            dflt },
        { "CRLF line breaks", "[Category]\r\nLine0=Work\r\nLine1=Home\r\n", "Category", "Line0", "Work" },
        { "last line without line break", "[Category]\nLine0=Work", "Category", "Line0", "Work" },
        { "UTF-8", "[Category]\nLine0=B\xC3\xBCro \xE2\x82\xAC\n", "Category", "Line0",
            QStringLiteral("B\u00FCro \u20AC") },
        { "UTF-8 byte order mark", "\xEF\xBB\xBF[Category]\nLine0=Work\n", "Category", "Line0", "Work" },
        { "Windows-1252 from the Windows program", "[Category]\nLine0=B\xFCro \x80\n", "Category", "Line0",
            QStringLiteral("B\u00FCro \u20AC") },
        { "2047 characters are kept", "[C]\nK=" + QByteArray(2047, 'v') + "\n", "C", "K",
            QString(2047, u'v') },
        { "longer values are cut", "[C]\nK=" + longValue.toUtf8() + "\n", "C", "K", QString(2047, u'v') },
        { "quotes go before the cut", "[C]\nK=\"" + QByteArray(2047, 'v') + "\"\n", "C", "K",
            QString(2047, u'v') },
        { "cut never splits a character", "[C]\nK=" + surrogateAtCut.toUtf8() + "\n", "C", "K",
            QString(2046, u'a') },
    };
    for (const ReadCase &c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(path());
        if (c.file)
            writeAll(path(), *c.file);
        EXPECT_EQ(ProfileFile(path()).readString(c.section, c.key, dflt), c.expected);
        EXPECT_EQ(ProfileFile(path()).readSection(c.section).readString(c.key, dflt), c.expected);
    }
}

TEST_F(ProfileFileTest, ReadSection_GivesEachKeyOnceInTheFileOrder)
{
    writeAll(path(),
        "[Other]\nLine0=X\n[category]\n LINE1 = \" B \" \n; Line9=comment\nline0=A\nLine1=again\nbare\n"
        "[Category]\nLine2=C\n");
    const ql::ProfileSection section = ProfileFile(path()).readSection(QStringLiteral("Category"));
    std::vector<std::pair<QString, QString>> entries;
    for (const ql::ProfileEntry &entry : section.entries())
        entries.emplace_back(entry.key, entry.value);
    const std::vector<std::pair<QString, QString>> expected = {
        { "LINE1", " B " },
        { "line0", "A" },
        { "bare", "" },
    };
    EXPECT_EQ(entries, expected);
    EXPECT_EQ(section.readString(QStringLiteral("Line2"), QStringLiteral("d")), QStringLiteral("d"));
}

struct WriteCase
{
    const char *name;
    std::optional<QByteArray> before;
    std::function<void(ProfileFile &)> change;
    std::optional<QByteArray> after; // nothing: the file must not exist
};

TEST_F(ProfileFileTest, Changes_TouchOnlyTheLinesConcerned)
{
    const auto write = [](const char *section, const char *key, const char *value) {
        return [=](ProfileFile &file) {
            file.writeString(QString::fromUtf8(section), QString::fromUtf8(key), QString::fromUtf8(value));
        };
    };
    const auto erase = [](const char *section) {
        return [=](ProfileFile &file) { file.eraseSection(QString::fromUtf8(section)); };
    };
    // Comments, blank lines, odd spacing and a byte that is not UTF-8, around the section we change.
    const QByteArray others = "; settings\n[Other]\n  A = 1 \nB=\xFC\n\n";
    const std::vector<WriteCase> cases = {
        { "first write creates the file", std::nullopt, write("Category", "Line0", "Work"),
            "[Category]\nLine0=Work\n" },
        { "new section goes at the end", others, write("Category", "Line0", "Work"),
            others + "[Category]\nLine0=Work\n" },
        { "existing key keeps its line and spelling", others + "[category]\n LINE0 = Old \n;c\n",
            write("Category", "Line0", "New"), others + "[category]\nLINE0=New\n;c\n" },
        { "new key follows the section's last key", "[Category]\nLine0=A\n; note\n\n[Z]\nK=1\n",
            write("Category", "Line1", "B"), "[Category]\nLine0=A\nLine1=B\n; note\n\n[Z]\nK=1\n" },
        { "key into a section without keys", "[Category]\n[Z]\n", write("Category", "Line0", "A"),
            "[Category]\nLine0=A\n[Z]\n" },
        { "last line without line break", "[Other]\nA=1", write("Category", "Line0", "A"),
            "[Other]\nA=1\n[Category]\nLine0=A\n" },
        { "CRLF file gets CRLF lines", "[Other]\r\nA=1\r\n", write("Category", "Line0", "A"),
            "[Other]\r\nA=1\r\n[Category]\r\nLine0=A\r\n" },
        { "empty value is written", "[Category]\nLine0=A\n", write("Category", "Line1", ""),
            "[Category]\nLine0=A\nLine1=\n" },
        { "value written as given", std::nullopt, write("C", "K", " \"x\" "), "[C]\nK= \"x\" \n" },
        { "UTF-8 value", std::nullopt, write("C", "K", "B\xC3\xBCro"), "[C]\nK=B\xC3\xBCro\n" },
        { "erase removes the section up to the next one",
            "[A]\na=1\n\n[Category]\nLine0=x\n; gone too\n\n[Z]\nz=1\n", erase("CATEGORY"),
            "[A]\na=1\n\n[Z]\nz=1\n" },
        { "erase removes every section of the name", "[Category]\nLine0=x\n[Z]\nz=1\n[category]\nLine9=y\n",
            erase("Category"), "[Z]\nz=1\n" },
        { "erase of a missing section changes nothing", others, erase("Category"), others },
        { "erase on a missing file creates none", std::nullopt, erase("Category"), std::nullopt },
    };
    for (const WriteCase &c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(path());
        if (c.before)
            writeAll(path(), *c.before);
        ProfileFile file(path());
        c.change(file);
        EXPECT_EQ(QFile::exists(path()), c.after.has_value());
        if (c.after) {
            EXPECT_EQ(readAll(path()), *c.after);
        }
    }
}

// The category list's save: erase the section, then write the lines in order. Seven lines after ten
// leave exactly Line0 to Line6, and an empty second line ends the list at the next load.
TEST_F(ProfileFileTest, EraseThenWrite_LeavesOnlyTheNewKeys)
{
    const auto save = [&](const QStringList &categories) {
        ProfileFile file(path());
        file.eraseSection(QStringLiteral("Category"));
        for (int i = 0; i < categories.size(); ++i)
            file.writeString(QStringLiteral("Category"), QStringLiteral("Line%1").arg(i), categories[i]);
    };
    const auto load = [&] {
        const ProfileFile file(path());
        QStringList lines;
        for (int i = 0;; ++i) {
            const QString line
                = file.readString(QStringLiteral("Category"), QStringLiteral("Line%1").arg(i), {});
            if (line.isEmpty())
                return lines;
            lines << line;
        }
    };
    writeAll(path(), "[Window]\nLeft=10\n");
    QStringList ten;
    for (int i = 0; i < 10; ++i)
        ten << QStringLiteral("c%1").arg(i);
    save(ten);
    EXPECT_EQ(load(), ten);
    save({ "Zeta", "Alpha", "B", "C", "D", "E", "F" });
    EXPECT_EQ(readAll(path()),
        "[Window]\nLeft=10\n[Category]\nLine0=Zeta\nLine1=Alpha\nLine2=B\nLine3=C\nLine4=D\nLine5=E\nLine6="
        "F\n");
    save({ "Work", "", "Home" });
    EXPECT_EQ(load(), QStringList { "Work" });
}

// Replacing a section in one write must leave the file exactly as erasing it and then writing the
// keys one by one does, for every kind of file: other sections, comments, odd bytes and line breaks
// kept, the new section at the end in the file's line breaks; also for names that do not read back
// as written and for a key given twice.
TEST_F(ProfileFileTest, ReplaceSection_WritesWhatEraseThenWriteKeyByKeyWrites)
{
    const std::vector<std::pair<const char *, std::optional<QByteArray>>> files = {
        { "no file", std::nullopt },
        { "empty file", QByteArray() },
        { "no such section", "; settings\n[Other]\n  A = 1 \nB=\xFC\n\n" },
        { "section between others, CRLF",
            "; kept\r\n[Window]\r\nLeft=10\r\n[Category]\r\nLine0=Old\r\nLine1=Old1\r\n[Other]\r\nx=1\r\n" },
        { "first line erased, twice the section",
            "[category]\r\nLine0=x\r\n[Other]\nA=1\n[CATEGORY]\nLine5=y\n" },
        { "only the section", "[Category]\nLine0=Work\n" },
        { "last line without line break", "[Other]\nA=1" },
        { "section last, without line break", "[Other]\nA=1\n[Category]\nLine0=x" },
        { "one line ending in a carriage return", "A=1\r" },
        { "old Mac line breaks", "[Other]\rA=1\r" },
    };
    using Entries = std::vector<ql::ProfileEntry>;
    const std::vector<std::tuple<const char *, QString, Entries>> changes = {
        { "nothing", "Category", {} },
        { "one key", "Category", { { "Line0", "Work" } } },
        { "empty, quoted and UTF-8 values", "category",
            { { "Line0", "Zeta" }, { "Line1", "" }, { "Line2", " \"q\" " },
                { "Line3", "B\u00FCro \u20AC" } } },
        { "a key given twice", "Category", { { "Line0", "A" }, { "Line1", "B" }, { "LINE0", "C" } } },
        { "a section name in blanks", " Category ", { { "Line0", "A" }, { "Line1", "B" } } },
        { "key names in blanks", "Category", { { " Line0", "A" }, { "Line0", "B" }, { "Line1", "C" } } },
    };
    const QString stepByStep = m_dir.filePath(QStringLiteral("stepByStep.ini"));
    for (const auto &[fileName, file] : files) {
        for (const auto &[changeName, section, entries] : changes) {
            SCOPED_TRACE(testing::Message() << fileName << ", " << changeName);
            for (const QString &target : { path(), stepByStep }) {
                QFile::remove(target);
                if (file)
                    writeAll(target, *file);
            }
            ProfileFile expected(stepByStep);
            expected.eraseSection(section);
            for (const ql::ProfileEntry &entry : entries)
                expected.writeString(section, entry.key, entry.value);

            ProfileFile(path()).replaceSection(section, entries);
            EXPECT_EQ(QFile::exists(path()), QFile::exists(stepByStep));
            EXPECT_EQ(readAll(path()), readAll(stepByStep));
        }
    }
}

TEST_F(ProfileFileTest, FailedWrite_ThrowsAndKeepsTheFile)
{
    const QByteArray before = "[Category]\nLine0=Work\n";
    const QString message = QStringLiteral("Unable to write to %1").arg(path());
    const std::vector<std::pair<const char *, std::function<void(ProfileFile &)>>> changes = {
        { "write", [](ProfileFile &f) { f.writeString("Category", "Line1", "Home"); } },
        { "erase", [](ProfileFile &f) { f.eraseSection("Category"); } },
        { "replace",
            [](ProfileFile &f) {
                f.replaceSection("Category", { { "Line0", "A" }, { "Line1", "B" } });
            } },
    };
    for (const ql::FileFault fault :
        { ql::FileFault::CannotCreate, ql::FileFault::FailsHalfway, ql::FileFault::CannotRename }) {
        for (const auto &[name, change] : changes) {
            SCOPED_TRACE(testing::Message() << name << " with fault " << static_cast<int>(fault));
            writeAll(path(), before);
            ProfileFile file(path());
            ql::FileFaults::inject(fault);
            try {
                change(file);
                ADD_FAILURE() << "no error";
            } catch (const ql::Error &e) {
                EXPECT_EQ(e.message(), message);
            }
            ql::FileFaults::clear();
            EXPECT_EQ(readAll(path()), before);
        }
    }
}

TEST_F(ProfileFileTest, EntriesThatCannotBeALine_AreRefused)
{
    const QByteArray before = "[Category]\nLine0=Work\n";
    const std::vector<std::pair<QString, std::pair<QString, QString>>> entries = {
        { "Category", { "Line1", "two\nlines" } },
        { "Category", { "Line1", "carriage\rreturn" } },
        { "Category", { "Li=ne1", "x" } },
        { "Category", { " ", "x" } },
        { "Category", { ";Line1", "x" } },
        { "Cat]egory", { "Line1", "x" } },
        { "", { "Line1", "x" } },
    };
    for (const auto &[section, entry] : entries) {
        SCOPED_TRACE(testing::Message() << section.toStdString() << " / " << entry.first.toStdString());
        writeAll(path(), before);
        ProfileFile file(path());
        EXPECT_THROW(file.writeString(section, entry.first, entry.second), ql::Error);
        EXPECT_EQ(readAll(path()), before);
        // Erased and half-written is what writing key by key would leave; one replacement leaves
        // nothing changed.
        EXPECT_THROW(
            file.replaceSection(section, { { "Line0", "fine" }, { entry.first, entry.second } }), ql::Error);
        EXPECT_EQ(readAll(path()), before);
    }
}

// A settings file that exists but cannot be read must not be replaced by one that lacks its contents.
TEST_F(ProfileFileTest, UnreadableFile_ReadsAsDefaultAndIsNotReplaced)
{
    ASSERT_TRUE(QDir(m_dir.path()).mkdir(QStringLiteral("Quillon.ini")));
    ProfileFile file(path());
    EXPECT_EQ(file.readString("Category", "Line0", "d"), QStringLiteral("d"));
    EXPECT_THROW(file.writeString("Category", "Line0", "Work"), ql::Error);
    EXPECT_THROW(file.eraseSection("Category"), ql::Error);
    EXPECT_THROW(file.replaceSection("Category", {}), ql::Error);
    EXPECT_TRUE(file.readSection("Category").entries().empty());
    EXPECT_TRUE(QFileInfo(path()).isDir());
}

} // namespace
