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
// The width the bands are designed for: A4 landscape less its margins.
constexpr double PrintableWidth = 297.0 - 2 * Margin;
constexpr double TitleBandHeight = 11.38;
constexpr double DetailBandHeight = 4.5;
// QRShape1: a line through the middle of a strip below the captions.
constexpr double ShapeTop = 8.47;
constexpr double ShapeHeight = 11.12 - 8.47;
constexpr double ShapeWidth = 288.13;
// A band fits when it ends on the bottom margin; the tolerance absorbs the sums' rounding.
constexpr double Tolerance = 1e-6;

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
    double ascent() const { return m_metrics->ascent() * m_mmPerDot; }

    // The first line of `text` wrapped at `width` millimetres: whole words while they fit, or as
    // much of a first word as fits when it alone is wider.
    QString firstWrappedLine(const QString &text, double width) const
    {
        if (this->width(text) <= width)
            return text;
        // A line always takes one character: where even that does not fit, nothing prints.
        if (this->width(text.left(text.front().isHighSurrogate() ? 2 : 1)) > width)
            return QString();
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

// What prints of a value: the text up to its first line break (the bands are one line high), with
// every other control character, a tab above all, as a blank. A tab would be measured as a jump to
// the next tab stop but drawn as a narrow gap; a blank is measured as it is drawn, and it is how
// the grid shows a tab.
QString printedLine(const QString &text)
{
    QString line = text;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const char16_t c = line.at(i).unicode();
        if (c == u'\n' || c == u'\r' || c == 0x2028 || c == 0x2029) {
            line.truncate(i);
            break;
        }
        if (line.at(i).category() == QChar::Other_Control)
            line[i] = u' ';
    }
    return line;
}

// One text of a line of a band, before it is placed.
struct Cell
{
    const char *name;
    QString value;
    double left;
    double top;
    double fixedWidth = 0; // 0: as wide as the value
    // Whether the value must print whole: a number or a date cut short would read as another value.
    // A text may be cut where the next value begins.
    bool whole = false;
};

// Places the texts of one line of a band from left to right, so that none is drawn over another:
//  - a value runs on over the columns to its right while they print nothing;
//  - a text that would run into the next value printed in its line is cut where that one begins;
//  - a value that must print whole pushes the next one on: it starts a blank after it (a fixed
//    column keeps its right edge and wraps its text in the room left);
//  - nothing passes the right margin.
class LinePlacer
{
public:
    LinePlacer(const QFont &font, const TextMeasure &measure, double rightEdge)
        : m_font(font)
        , m_measure(measure)
        , m_lineHeight(std::min(measure.lineHeight(), DetailBandHeight))
        , m_ascent(measure.ascent())
        , m_blank(measure.width(QStringLiteral(" ")))
        , m_rightEdge(rightEdge)
    {
    }

    void place(std::vector<Cell> &cells, std::vector<ReportItem> &items) const
    {
        for (Cell &cell : cells)
            cell.value = printedLine(cell.value);
        double textEnd = -1;
        for (size_t i = 0; i < cells.size(); ++i) {
            const Cell &cell = cells[i];
            ReportItem item;
            item.name = QString::fromLatin1(cell.name);
            item.font = m_font;
            item.baseline = cell.top + m_ascent;
            item.rect = QRectF(cell.left, cell.top, 0, m_lineHeight);
            if (!cell.value.isEmpty()) {
                // Where the value may end: its fixed column's edge, the next value printed in the
                // line for a text, the right margin otherwise.
                const double start = textEnd > cell.left + Tolerance ? textEnd + m_blank : cell.left;
                double limit = m_rightEdge;
                bool fixed = cell.fixedWidth > 0 && cell.left + cell.fixedWidth < m_rightEdge;
                if (fixed && cell.whole && m_measure.width(cell.value) > cell.left + cell.fixedWidth - start)
                    fixed = false;
                if (fixed) {
                    limit = cell.left + cell.fixedWidth;
                } else if (!cell.whole) {
                    for (size_t j = i + 1; j < cells.size(); ++j) {
                        if (!cells[j].value.isEmpty()) {
                            limit = std::min(limit, cells[j].left);
                            break;
                        }
                    }
                }
                // Unmoved, a fixed column is exactly as wide as designed.
                const double room = fixed && start == cell.left ? cell.fixedWidth : limit - start;
                if (room > 0) {
                    double width = m_measure.width(cell.value);
                    item.text = cell.value;
                    if (width > room + Tolerance) {
                        item.text = m_measure.firstWrappedLine(cell.value, room);
                        width = m_measure.width(item.text);
                    }
                    if (!item.text.isEmpty()) {
                        item.rect.moveLeft(start);
                        item.rect.setWidth(fixed ? room : width);
                        textEnd = start + width;
                    }
                }
            }
            items.push_back(std::move(item));
        }
    }

    void place(Cell cell, std::vector<ReportItem> &items) const
    {
        std::vector<Cell> one { std::move(cell) };
        place(one, items);
    }

private:
    const QFont &m_font;
    const TextMeasure &m_measure;
    double m_lineHeight;
    double m_ascent;
    double m_blank;
    double m_rightEdge;
};

} // namespace

QPageLayout taskReportPageLayout()
{
    return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape,
        QMarginsF(Margin, Margin, Margin, Margin), QPageLayout::Millimeter);
}

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

TaskReportPages::TaskReportPages(const ClientTable &table, const QString &heading, const QPageLayout &page)
    : m_table(table)
    , m_heading(heading)
    , m_title(QStringLiteral("Tasks"))
    , m_pageLayout(page)
    , m_rows(table.RowCount())
{
    const QSizeF paper = page.fullRect(QPageLayout::Millimeter).size();
    const QMarginsF margins = page.margins(QPageLayout::Millimeter);
    m_origin = QPointF(margins.left(), margins.top());
    const double width = paper.width() - margins.left() - margins.right();
    const double height = paper.height() - margins.top() - margins.bottom();
    if (width < PrintableWidth)
        m_scale = std::max(width, 1.0) / PrintableWidth;
    m_rightEdge = m_origin.x() + std::max(width, 1.0) / m_scale;
    m_bottom = m_origin.y() + height / m_scale;

    // The rows that fit under the title band, and from the top margin on later pages; at least
    // one row a page however small the paper.
    const auto fitting = [this](double top) {
        int rows = 0;
        for (; top + DetailBandHeight <= m_bottom + Tolerance; top += DetailBandHeight)
            ++rows;
        return rows;
    };
    m_firstPageRows = fitting(m_origin.y() + TitleBandHeight);
    m_rowsPerPage = std::max(1, fitting(m_origin.y()));
}

int TaskReportPages::pageCount() const
{
    if (m_rows <= m_firstPageRows)
        return 1;
    return 1 + (m_rows - m_firstPageRows + m_rowsPerPage - 1) / m_rowsPerPage;
}

ReportPage TaskReportPages::page(int index) const
{
    ReportPage page;
    page.origin = m_origin;
    page.scale = m_scale;
    if (index < 0 || index >= pageCount())
        return page;
    const QFont font = taskReportFont();
    const TextMeasure measure(font);
    const double left = m_origin.x();
    double top = m_origin.y();
    int firstRow = 1;
    int rows = std::min(m_rows, m_firstPageRows);

    const LinePlacer placer(font, measure, m_rightEdge);
    if (index == 0) {
        // The title band, on the first page only.
        placer.place(Cell { "QRLabel1", m_heading, left, top }, page.items);
        ReportItem shape;
        shape.kind = ReportItem::Kind::Line;
        shape.name = QStringLiteral("QRShape1");
        shape.rect = QRectF(left, top + ShapeTop, ShapeWidth, ShapeHeight);
        page.items.push_back(shape);
        std::vector<Cell> captions;
        for (const Column &c : Columns)
            captions.push_back(
                { c.captionName, QString::fromLatin1(c.caption), left + c.captionLeft, top + c.captionTop });
        placer.place(captions, page.items);
        top += TitleBandHeight;
    } else {
        firstRow = m_firstPageRows + (index - 1) * m_rowsPerPage + 1;
        rows = std::min(m_rowsPerPage, m_rows - firstRow + 1);
    }

    // The fields are looked up once; a missing one stays null and prints nothing.
    std::vector<const Field *> fields;
    for (const Column &c : Columns)
        fields.push_back(m_table.LookupField(c.field));
    page.items.reserve(page.items.size() + size_t(rows) * std::size(Columns));
    std::vector<Cell> band;
    for (int row = firstRow; row < firstRow + rows; ++row) {
        band.clear();
        for (size_t i = 0; i < std::size(Columns); ++i) {
            const Column &c = Columns[i];
            const Field *field = fields[i];
            const QString value
                = field ? ClientTable::ValueText(*field, m_table.ViewValue(row, *field)) : QString();
            const bool text = !field || field->type() == FieldType::Text || field->type() == FieldType::Memo;
            band.push_back({ c.dataName, value, left + c.dataLeft, top, c.dataWidth, !text });
        }
        placer.place(band, page.items);
        top += DetailBandHeight;
    }
    return page;
}

TaskReport layOutTaskReport(const ClientTable &table, const QString &heading)
{
    return layOutTaskReport(TaskReportPages(table, heading));
}

TaskReport layOutTaskReport(const TaskReportPages &pages)
{
    TaskReport report;
    report.title = pages.title();
    report.pageLayout = pages.pageLayout();
    const int count = pages.pageCount();
    report.pages.reserve(size_t(count));
    for (int i = 0; i < count; ++i)
        report.pages.push_back(pages.page(i));
    return report;
}

} // namespace ql
