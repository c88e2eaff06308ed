#pragma once

#include "tasks/TaskPickers.h"

namespace ql {

class TfrmComments;
class TfrmDateSelect;
class TfrmDetails;
class TfrmProgress;
class TfrmProperties;
class TfrmURL;

// The task-list frames' pickers as the program shows them: the progress picker, the date
// selection, the URL dialog, the property entry, the comments editor and the detail view, created
// once at start-up and shown modally (through showModal) each time. A dialog not handed in answers
// as if cancelled.
class DialogPickers final : public TaskPickers
{
public:
    DialogPickers(TfrmProgress &progress, TfrmDateSelect &dates);

    void setUrlDialog(TfrmURL *dialog) { m_url = dialog; }
    void setPropertiesDialog(TfrmProperties *dialog) { m_properties = dialog; }
    void setCommentsDialog(TfrmComments *dialog) { m_comments = dialog; }
    void setDetailsDialog(TfrmDetails *dialog) { m_details = dialog; }

    qint64 pickProgress(qint64 current) override;
    std::optional<DateChoice> pickDate() override;
    std::optional<QString> pickUrl() override;
    std::optional<std::pair<QString, QString>> pickProperty() override;
    void editComments(DataSource &source) override;
    void editDetails(DataSource &source, bool yesNoBooleans) override;

private:
    TfrmProgress &m_progress;
    TfrmDateSelect &m_dates;
    TfrmURL *m_url = nullptr;
    TfrmProperties *m_properties = nullptr;
    TfrmComments *m_comments = nullptr;
    TfrmDetails *m_details = nullptr;
};

} // namespace ql
