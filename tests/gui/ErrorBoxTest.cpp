#include "platform/gui/ErrorBox.h"
#include "Printers.h"
#include "platform/Error.h"
#include "platform/gui/QuillonApplication.h"
#include "platform/gui/ScriptedUi.h"

#include <QCoreApplication>
#include <QEvent>
#include <gtest/gtest.h>
#include <stdexcept>

namespace {

using ql::ScriptedUi;

class ErrorBoxTest : public ::testing::Test
{
protected:
    void SetUp() override { m_previous = ql::Ui::install(&m_ui); }
    void TearDown() override { ql::Ui::install(m_previous); }

    // The texts of the error boxes shown so far, after checking that each is a proper error box.
    QStringList errorBoxes() const
    {
        QStringList texts;
        for (const ScriptedUi::Prompt &prompt : m_ui.prompts()) {
            EXPECT_EQ(prompt.kind, ScriptedUi::Kind::Error);
            EXPECT_EQ(prompt.caption, QStringLiteral("Quillon"));
            EXPECT_EQ(prompt.icon, ScriptedUi::Icon::Error);
            EXPECT_EQ(prompt.buttons, QStringList { QStringLiteral("OK") });
            texts << prompt.text;
        }
        return texts;
    }

    ScriptedUi m_ui;
    ql::Ui *m_previous = nullptr;
};

TEST(ErrorBoxText, FullStopWhenTheLastCharacterSortsAfterIt)
{
    const struct
    {
        QString message;
        QString shown;
    } cases[] = {
        { "", "" },
        { "Saved.", "Saved." },
        { "Open or create a list first!", "Open or create a list first!" },
        { "Cannot rename (read-only)", "Cannot rename (read-only)" },
        { "Unable to write to plan", "Unable to write to plan." },
        { "Line 12", "Line 12." },
        { "Save changes ?", "Save changes ?." }, // "?" sorts after "."
        { "a,", "a," }, // just below "."
        { "a-", "a-" },
        { "a/", "a/." }, // just above "."
        { "ends in a blank ", "ends in a blank " },
        { QStringLiteral("B\u00FCro f\u00FCr Stra\u00DFe"),
            QStringLiteral("B\u00FCro f\u00FCr Stra\u00DFe.") },
        { QStringLiteral("\u2026"), QStringLiteral("\u2026.") },
        { QStringLiteral("smile \U0001F600"), QStringLiteral("smile \U0001F600.") },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.message.toStdString());
        EXPECT_EQ(ql::errorBoxText(c.message), c.shown);
    }
}

TEST_F(ErrorBoxTest, RunGuarded_ShowsTheErrorAndKeepsWhatWasDone)
{
    const struct
    {
        const char *name;
        std::function<void()> fail;
        QString shown;
    } cases[] = {
        { "ql::Error", [] { throw ql::Error(QStringLiteral("Open or create a list first!")); },
            "Open or create a list first!" },
        { "ql::Error with non-ASCII text",
            [] { throw ql::Error(QStringLiteral("Datei \u00BBPl\u00E4ne\u00AB")); },
            QStringLiteral("Datei \u00BBPl\u00E4ne\u00AB.") },
        { "std::exception", [] { throw std::runtime_error("Disk full"); }, "Disk full." },
        { "anything else", [] { throw 42; }, "An unknown error occurred." },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        m_ui.clear();
        int stepsDone = 0;
        const bool ranToEnd = ql::runGuarded([&] {
            ++stepsDone;
            c.fail();
            ++stepsDone;
        });
        EXPECT_FALSE(ranToEnd);
        EXPECT_EQ(stepsDone, 1);
        EXPECT_EQ(errorBoxes(), QStringList { c.shown });
    }

    m_ui.clear();
    int stepsDone = 0;
    EXPECT_TRUE(ql::runGuarded([&] { ++stepsDone; }));
    EXPECT_EQ(stepsDone, 1);
    EXPECT_TRUE(m_ui.prompts().empty());
}

TEST_F(ErrorBoxTest, RunGuardedQueued_ShowsTheBoxOnceAfterTheCurrentEvent)
{
    EXPECT_FALSE(
        ql::runGuarded([] { throw ql::Error(QStringLiteral("Invalid date")); }, ql::ErrorTiming::Queued));
    EXPECT_TRUE(m_ui.prompts().empty());
    QCoreApplication::processEvents();
    EXPECT_EQ(errorBoxes(), QStringList { QStringLiteral("Invalid date.") });
    QCoreApplication::processEvents();
    EXPECT_EQ(m_ui.prompts().size(), 1u);
}

// An object whose event handler fails without a guard, as a handler that forgot runGuarded would.
class UnguardedHandler final : public QObject
{
public:
    static inline const QEvent::Type Failing = static_cast<QEvent::Type>(QEvent::registerEventType());

    bool event(QEvent *event) override
    {
        if (event->type() == Failing)
            throw ql::Error(QStringLiteral("Mismatch in datapacket"));
        return QObject::event(event);
    }
};

TEST_F(ErrorBoxTest, ApplicationLastCatch_ReportsAndCountsWhatSlippedThrough)
{
    ASSERT_EQ(ql::QuillonApplication::escapedErrors(), 0);
    UnguardedHandler handler;

    QEvent sent(UnguardedHandler::Failing);
    EXPECT_FALSE(QCoreApplication::sendEvent(&handler, &sent));
    EXPECT_EQ(ql::QuillonApplication::escapedErrors(), 1);
    // Reported after the event, never in its middle.
    EXPECT_TRUE(m_ui.prompts().empty());
    QCoreApplication::processEvents();
    EXPECT_EQ(errorBoxes(), QStringList { QStringLiteral("Mismatch in datapacket.") });

    // A posted event fails inside the event loop; the loop goes on.
    QCoreApplication::postEvent(&handler, new QEvent(UnguardedHandler::Failing));
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(ql::QuillonApplication::escapedErrors(), 2);
    EXPECT_EQ(m_ui.prompts().size(), 2u);

    ql::QuillonApplication::resetEscapedErrors();
}

} // namespace
