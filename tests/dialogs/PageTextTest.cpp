// The page text of the URL dialog: the description where a page declares one, else the title, cut
// from the page's bytes with the markers' letters matched without regard to case.
#include "dialogs/PageText.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <gtest/gtest.h>

namespace {

QByteArray pageFixture(const char *name)
{
    QFile file(QStringLiteral(QUILLON_TEST_DATA "/pages/") + QLatin1String(name));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name;
    return file.readAll();
}

TEST(PageText, Pages_GiveTheDescriptionElseTheTitle)
{
    struct Case
    {
        const char *fixture;
        QString expected;
    };
    const Case cases[] = {
        // Capital title tags; blanks and line breaks around the words go.
        { "capital-title.html", QStringLiteral("Quillon  task lists") },
        // A description before the title wins; character references stay as written.
        { "description-before-title.html", QStringLiteral("Plans, lists &amp; more") },
        // An empty description is the text: the title is not used.
        { "empty-description.html", QString() },
        // The content attribute lies beyond the 512 bytes from the meta tag: the title.
        { "description-content-too-far.html", QStringLiteral("Near") },
        // No closing quote within 512 bytes of the value: the title.
        { "description-unclosed.html", QStringLiteral("Fallback") },
        // Only A to Z fold: a long s (U+017F) does not stand for an "s" of the meta tag.
        { "description-long-s.html", QStringLiteral("Plain") },
        // A title tag with attributes is no title start.
        { "title-with-attribute.html", QString() },
        { "empty-title.html", QString() },
        { "no-title.html", QString() },
        // The first end tag of the page comes before the title start.
        { "title-end-first.html", QString() },
        // A page in Windows-1252: control bytes and blanks go from the ends, a no-break space and the
        // line break inside stay.
        { "windows-1252-title.html", QStringLiteral(u"Café crème &eacute;\r\n menu\u00a0") },
        // A description is not trimmed.
        { "utf8-description.html", QStringLiteral(u" Café – lists ") },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.fixture);
        EXPECT_EQ(ql::ExtractPageText(pageFixture(c.fixture)), c.expected);
    }
}

// The edges of the two 512-byte windows, and texts that end at a zero byte.
TEST(PageText, Windows_EndAtTheir512thByte)
{
    const QByteArray tag("<meta name=\"description\"");
    const QByteArray title("<title>Title</title>");
    struct Case
    {
        const char *name;
        QByteArray page;
        QString expected;
    };
    const Case cases[] = {
        // The attribute's nine bytes end on the window's last byte, or one after it.
        { "attribute at the edge", tag + QByteArray(503 - tag.size(), ' ') + "content=\"v\">" + title,
            QStringLiteral("v") },
        { "attribute past the edge", tag + QByteArray(504 - tag.size(), ' ') + "content=\"v\">" + title,
            QStringLiteral("Title") },
        // The closing quote is the 512th byte from the value's first, or the 513th.
        { "quote at the edge", tag + " content=\"" + QByteArray(511, 'x') + "\">" + title,
            QString(511, u'x') },
        { "quote past the edge", tag + " content=\"" + QByteArray(512, 'x') + "\">" + title,
            QStringLiteral("Title") },
        // A page that ends inside a window.
        { "page ends after the tag", tag + " content=\"short", QString() },
        { "page ends after the title start", QByteArray("<title>Open"), QString() },
        { "zero in the title", QByteArray("<title>Before\0after</title>", 27), QStringLiteral("Before") },
        { "empty page", QByteArray(), QString() },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ql::ExtractPageText(c.page), c.expected);
    }
}

} // namespace
