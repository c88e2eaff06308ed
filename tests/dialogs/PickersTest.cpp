// The progress picker and the date selection: what each hands back, however it is closed, and what
// it keeps between showings.
#include "dialogs/uFrmProgress.h"
#include "dialogs/ufrmDateSelect.h"
#include "platform/gui/ScriptedUi.h"

#include <QCalendarWidget>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStyle>
#include <QTableView>
#include <QTest>
#include <gtest/gtest.h>

namespace {

using ql::ScriptedUi;

class PickersTest : public ::testing::Test
{
protected:
    void SetUp() override { m_previousUi = ql::Ui::install(&m_ui); }
    void TearDown() override { ql::Ui::install(m_previousUi); }

    ScriptedUi m_ui;
    ql::Ui *m_previousUi = nullptr;
};

TEST_F(PickersTest, Progress_HandsBackTheButtonsValueTheTypedNumberOrThePreset)
{
    ql::TfrmProgress picker;
    EXPECT_EQ(picker.windowTitle(), QStringLiteral("Progress"));
    EXPECT_EQ(picker.Edit1->text(), QStringLiteral("85"));
    struct Case
    {
        const char *name;
        QString typed; // null: Edit1 left as it is
        std::function<void()> close;
        int expected;
    };
    const Case cases[] = {
        { "33%", QStringLiteral("90"), [&] { picker.Button2->click(); }, 33 },
        { "10%", {}, [&] { picker.Button7->click(); }, 10 },
        { "75%", {}, [&] { picker.Button5->click(); }, 75 },
        { "Apply 100", QStringLiteral("100"), [&] { picker.Button6->click(); }, 100 },
        { "Apply 250", QStringLiteral("250"), [&] { picker.Button6->click(); }, 250 },
        { "Apply -5", QStringLiteral("-5"), [&] { picker.Button6->click(); }, -5 },
        { "close box", QStringLiteral("60"), [&] { picker.reject(); }, 40 },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        picker.SetChosenProgress(40);
        if (!c.typed.isNull())
            picker.Edit1->setText(c.typed);
        c.close();
        EXPECT_EQ(picker.ChosenProgress(), c.expected);
        EXPECT_TRUE(m_ui.prompts().empty());
    }
    // The typed text stays for the next showing.
    EXPECT_EQ(picker.Edit1->text(), QStringLiteral("60"));

    // Text that is no whole number: the error, the preset kept, and the dialog closes all the same.
    picker.SetChosenProgress(40);
    picker.Edit1->setText(QStringLiteral("lots"));
    picker.Button6->click();
    EXPECT_EQ(picker.result(), int(QDialog::Accepted));
    EXPECT_EQ(picker.ChosenProgress(), 40);
    ASSERT_EQ(m_ui.prompts().size(), 1u);
    EXPECT_EQ(m_ui.prompts().front().kind, ScriptedUi::Kind::Error);
    EXPECT_EQ(m_ui.prompts().front().text, QStringLiteral("'lots' is not a valid integer value."));

    // The arrows step the number within 0 to 100.
    picker.Edit1->setText(QStringLiteral("99"));
    picker.UpDown1->setValue(99);
    picker.UpDown1->stepUp();
    picker.UpDown1->stepUp();
    EXPECT_EQ(picker.Edit1->text(), QStringLiteral("100"));
}

TEST_F(PickersTest, DateSelect_AppliesTheChosenFieldsDateAndKeepsItsState)
{
    ql::TfrmDateSelect dates;
    EXPECT_EQ(dates.windowTitle(), QStringLiteral("Date Select"));
    const QDate zero(1899, 12, 30);
    const std::array<QDate, 5> untouched { zero, zero, zero, zero, zero };

    // The first showing: no field chosen, the calendar on 1 May 2023.
    EXPECT_EQ(dates.ChosenField(), -1);
    EXPECT_EQ(dates.MonthCalendar1->selectedDate(), QDate(2023, 5, 1));
    dates.Button1->click();
    EXPECT_EQ(dates.result(), int(QDialog::Accepted));
    ASSERT_EQ(m_ui.prompts().size(), 1u);
    EXPECT_EQ(m_ui.prompts().front().kind, ScriptedUi::Kind::Message);
    EXPECT_EQ(m_ui.prompts().front().text, QStringLiteral("Date not selected"));
    EXPECT_EQ(dates.AppliedDates(), untouched);

    dates.cboDateField->setCurrentText(QStringLiteral("Due Date"));
    dates.MonthCalendar1->setSelectedDate(QDate(2024, 3, 3));
    dates.Button1->click();
    std::array<QDate, 5> expected = untouched;
    expected[2] = QDate(2024, 3, 3);
    EXPECT_EQ(dates.ChosenField(), 2);
    EXPECT_EQ(dates.AppliedDates(), expected);

    // Cancel stores nothing, also for a field that has an applied date.
    dates.MonthCalendar1->setSelectedDate(QDate(2024, 4, 4));
    dates.Button2->click();
    EXPECT_EQ(dates.result(), int(QDialog::Rejected));
    EXPECT_EQ(dates.AppliedDates(), expected);
    EXPECT_EQ(dates.ChosenField(), 2);
    EXPECT_EQ(dates.MonthCalendar1->selectedDate(), QDate(2024, 4, 4));
}

// The calendar shows whole day names: no week numbers take their room.
TEST_F(PickersTest, DateSelect_CalendarShowsWholeDayNames)
{
    ql::TfrmDateSelect dates;
    dates.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dates));
    auto *days = dates.MonthCalendar1->findChild<QTableView *>(QStringLiteral("qt_calendar_calendarview"));
    ASSERT_NE(days, nullptr);
    const QAbstractItemModel *model = days->model();
    QStringList names;
    for (int column = 0; column < model->columnCount(); ++column) {
        const QModelIndex title = model->index(0, column);
        const QString name = title.data().toString();
        if (name.isEmpty())
            continue;
        names << name;
        const QVariant font = title.data(Qt::FontRole);
        const QFontMetrics metrics(font.isValid() ? font.value<QFont>() : days->font());
        // What the cell leaves for its text: a focus frame and a pixel on each side.
        const int margins = 2 * (days->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, days) + 1);
        EXPECT_EQ(metrics.elidedText(name, Qt::ElideRight, days->columnWidth(column) - margins), name);
    }
    EXPECT_EQ(names.size(), 7) << names.join(u' ').toStdString();
}

} // namespace
