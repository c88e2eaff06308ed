#include "report/TaskReportLayout.h"

#include "storage/ClientTable.h"
#include "storage/TaskSchema.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QImage>
#include <QPageSize>
#include <QTextLayout>
#include <QTextOption>
#include <algorithm>
#include <optional>

namespace ql {

namespace {

// Page setup, in millimetres.
constexpr double Margin = 5.0;
constexpr double TitleBandHeight = 11.38;
constexpr double DetailBandHeight = 4.5;
// QRShape1: a line through the middle of a strip below the captions.
constexpr double ShapeTop = 8.47;
constexpr double ShapeHeight = 11.12 - 8.47;
constexpr double ShapeWidth = 288.13;

// One column: its caption in the title band and its data text in the detail band. A data width of
// 0 makes the text as wide as its content.
struct Column
{
    const char *captionName;
    const char *caption;
    double captionLeft;
    double captionTop;
    const char *dataName;
    const QString &field;
    double dataLeft;
    double dataWidth;
};

const Column Columns[] = {
    { "QRLabel2", "ID", 1.85, 5.03, "QRDBText2", TaskField::ID, 2.12, 0 },
    { "QRLabel3", "Task", 8.47, 5.03, "QRDBText1", TaskField::Task, 8.47, 55.30 },
    { "QRLabel4", "Status", 65.62, 4.23, "QRDBText3", TaskField::Status, 65.62, 0 },
    { "QRLabel5", "Difficulty", 82.55, 4.23, "QRDBText4", TaskField::Difficulty, 82.55, 0 },
    { "QRLabel6", "Priority", 97.37, 4.23, "QRDBText5", TaskField::Priority, 97.37, 0 },
    { "QRLabel7", "%", 114.30, 4.23, "QRDBText6", TaskField::Progress, 114.30, 6.61 },
    { "QRLabel8", "Category", 122.77, 4.23, "QRDBText7", TaskField::Category, 122.77, 19.31 },
    { "QRLabel9", "Date Created", 143.93, 4.23, "QRDBText8", TaskField::CreatedDate, 143.93, 0 },
    { "QRLabel10", "Last Actioned", 165.10, 4.23, "QRDBText9", TaskField::LastActioned, 165.10, 0 },
    { "QRLabel11", "Completed Date", 186.27, 4.23, "QRDBText10", TaskField::CompletedDate, 186.27, 0 },
    { "QRLabel12", "Start Date", 211.67, 4.23, "QRDBText11", TaskField::StartDate, 211.67, 0 },
    { "QRLabel13", "Due Date", 228.60, 4.23, "QRDBText12", TaskField::DueDate, 228.60, 0 },
    { "QRLabel14", "Comments", 245.53, 4.23, "QRDBText13", TaskField::Comments, 245.53, 40.48 },
};

// Measures text in millimetres. Widths are taken at 1200 dots per inch, where hinting no longer
// moves glyphs, so they hold for a printer as well as for a PDF file.
class TextMeasure
{
public:
    explicit TextMeasure(const QFont &font)
        : m_device(1, 1, QImage::Format_Mono)
        , m_font(font)
    {
        const int dotsPerMetre = qRound(1200 / 0.0254);
        m_device.setDotsPerMeterX(dotsPerMetre);
        m_device.setDotsPerMeterY(dotsPerMetre);
        m_metrics.emplace(m_font, &m_device);
        m_mmPerDot = 25.4 / m_device.logicalDpiX();
    }

    double width(const QString &text) const { return m_metrics->horizontalAdvance(text) * m_mmPerDot; }
    double lineHeight() const { return m_metrics->height() * m_mmPerDot; }

    // The first line of `text` wrapped at `width` millimetres: whole words while they fit, or as
    // much of a first word as fits when it alone is wider.
    QString firstWrappedLine(const QString &text, double width) const
    {
        if (this->width(text) <= width)
            return text;
        QTextLayout layout(text, m_font, &m_device);
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout.setTextOption(option);
        layout.beginLayout();
        QTextLine line = layout.createLine();
        line.setLineWidth(width / m_mmPerDot);
        layout.endLayout();
        QString first = text.mid(line.textStart(), line.textLength());
        while (!first.isEmpty() && first.back().isSpace())
            first.chop(1);
        return first;
    }

private:
    QImage m_device;
    QFont m_font;
    std::optional<QFontMetricsF> m_metrics;
    double m_mmPerDot = 0;
};

// The text up to its first line break: the bands are one line high.
QString firstLine(const QString &text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (c == u'\n' || c == u'\r' || c == 0x2028 || c == 0x2029)
            return text.left(i);
    }
    return text;
}

class Builder
{
public:
    explicit Builder(const QFont &font)
        : m_font(font)
        , m_measure(font)
        , m_lineHeight(std::min(m_measure.lineHeight(), DetailBandHeight))
    {
    }

    // A text as wide as its content, or as wide as `fixedWidth` and cut to its first wrapped line.
    ReportItem text(const char *name, const QString &content, double left, double top, double fixedWidth = 0)
    {
        ReportItem item;
        item.name = QString::fromLatin1(name);
        item.font = m_font;
        const QString line = firstLine(content);
        if (fixedWidth > 0) {
            item.text = m_measure.firstWrappedLine(line, fixedWidth);
            item.rect = QRectF(left, top, fixedWidth, m_lineHeight);
        } else {
            item.text = line;
            item.rect = QRectF(left, top, m_measure.width(line), m_lineHeight);
        }
        return item;
    }

private:
    QFont m_font;
    TextMeasure m_measure;
    double m_lineHeight;
};

} // namespace

QFont taskReportFont()
{
    static const bool substituted = [] {
        const QString arial = QStringLiteral("Arial");
        if (!QFontDatabase::families().contains(arial, Qt::CaseInsensitive))
            QFont::insertSubstitution(arial, QStringLiteral("Liberation Sans"));
        return true;
    }();
    Q_UNUSED(substituted);
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(9);
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

TaskReport layOutTaskReport(const ClientTable &table, const QString &heading)
{
    TaskReport report;
    report.title = QStringLiteral("Tasks");
    report.pageLayout = QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape,
        QMarginsF(Margin, Margin, Margin, Margin), QPageLayout::Millimeter);
    const QSizeF paper = report.pageLayout.fullRect(QPageLayout::Millimeter).size();
    const double bottom = paper.height() - Margin;

    Builder builder(taskReportFont());
    report.pages.emplace_back();
    std::vector<ReportItem> *items = &report.pages.back().items;

    // The title band, on the first page only.
    items->push_back(builder.text("QRLabel1", heading, Margin, Margin));
    ReportItem shape;
    shape.kind = ReportItem::Kind::Line;
    shape.name = QStringLiteral("QRShape1");
    shape.rect = QRectF(Margin, Margin + ShapeTop, ShapeWidth, ShapeHeight);
    items->push_back(shape);
    for (const Column &c : Columns)
        items->push_back(builder.text(
            c.captionName, QString::fromLatin1(c.caption), Margin + c.captionLeft, Margin + c.captionTop));

    // The fields are looked up once; a missing one stays null and prints nothing.
    std::vector<const Field *> fields;
    for (const Column &c : Columns)
        fields.push_back(table.LookupField(c.field));

    double top = Margin + TitleBandHeight;
    // A band fits when it ends on the bottom margin; the tolerance absorbs the sums' rounding.
    constexpr double Tolerance = 1e-6;
    const int rows = table.RowCount();
    for (int row = 1; row <= rows; ++row) {
        if (top + DetailBandHeight > bottom + Tolerance) {
            report.pages.emplace_back();
            items = &report.pages.back().items;
            top = Margin;
        }
        for (size_t i = 0; i < std::size(Columns); ++i) {
            const Column &c = Columns[i];
            const QString value = fields[i]
                ? ClientTable::ValueText(*fields[i], table.ViewValue(row, *fields[i]))
                : QString();
            items->push_back(builder.text(c.dataName, value, Margin + c.dataLeft, top, c.dataWidth));
        }
        top += DetailBandHeight;
    }
    return report;
}

} // namespace ql
