#pragma once

#include "report/TaskReportLayout.h"

#include <QDialog>
#include <list>
#include <optional>
#include <utility>

class QAction;
class QLabel;
class QPrinter;
class QScrollArea;
class QSpinBox;

namespace ql {

class ClientTable;
class ReportPageView;

// The print preview of the task report, a window titled after the report ("Tasks"). It shows one
// page at a time, laid out and drawn when it comes into view (the last few are kept), so the first
// page of a long list shows at once and the window never waits for the pages after it.
//
// It offers page navigation (buttons, the page number, PgUp, PgDn, Home and End), zoom (fit width,
// fit page, in and out), page setup, which the report follows (paper, orientation and margins:
// see TaskReportPages), and Print: the printer dialog, then the chosen pages, each laid out as it
// is printed, under a progress window that can cancel. Esc closes it. The dialogs it opens are
// shown through showModal.
//
// The table must outlive the preview and keep its view while the preview is open (it is modal).
class ReportPreview final : public QDialog
{
    Q_OBJECT

public:
    ReportPreview(
        const ClientTable &table, const QString &heading, QPrinter &printer, QWidget *parent = nullptr);
    ~ReportPreview() override;

    // The report as the preview lays it out now: for the page set up last.
    const TaskReportPages &pages() const { return *m_pages; }
    int pageCount() const { return m_pages->pageCount(); }
    // The page shown, from 1.
    int currentPage() const { return m_current + 1; }
    void setCurrentPage(int page);

    // How large a page shows: the width of the report's millimetre in screen pixels.
    double zoom() const { return m_zoom; }

    // The Print command: the printer dialog, then the pages it chose with a progress window.
    // Returns whether every chosen page was printed.
    bool printReport();
    // The Page Setup command: the page setup dialog; the report follows the page chosen.
    void pageSetup();

    // The laid-out page at a 0-based index, from the few kept, or laid out now.
    const ReportPage &laidOutPage(int index);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

signals:
    // A page was drawn on the screen (0-based).
    void pagePainted(int index);

private:
    enum class Fit { Width, Page, None };

    void buildToolBar();
    void followPrinterPage();
    void showPage();
    void setFit(Fit fit);
    void zoomBy(double factor);
    void applyZoom();
    QSizeF paperMillimetres() const;

    const ClientTable &m_table;
    QString m_heading;
    QPrinter &m_printer;
    std::optional<TaskReportPages> m_pages;
    std::list<std::pair<int, ReportPage>> m_laidOut; // most recent first
    int m_current = 0;
    Fit m_fit = Fit::Width;
    double m_zoom = 1;

    QScrollArea *m_scroll = nullptr;
    ReportPageView *m_view = nullptr;
    QSpinBox *m_pageNumber = nullptr;
    QLabel *m_pageCount = nullptr;
    QAction *m_first = nullptr;
    QAction *m_previous = nullptr;
    QAction *m_next = nullptr;
    QAction *m_last = nullptr;

    friend class ReportPageView;
};

} // namespace ql
