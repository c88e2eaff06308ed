#pragma once

#include "platform/gui/Ui.h"

#include <QStringList>
#include <deque>
#include <optional>
#include <vector>

namespace ql {

// The prompts for tests: answers come from a script, and every prompt is recorded as the user
// would have seen it (caption, text, buttons). A prompt that finds no scripted answer of its kind is
// answered as Esc would answer it (No, the initial text, no file) and counted in unanswered().
class ScriptedUi final : public Ui
{
public:
    enum class Kind { Message, Question, Confirm, Choice, Error, Input, OpenFile, SaveFile };
    enum class Icon { None, Question, Warning, Error };

    struct Prompt
    {
        Kind kind;
        QString caption;
        QString text; // the message, or the input box's prompt
        QStringList buttons; // "OK", "Yes", "No", "Cancel" in the order shown
        QString defaultButton; // the button Enter presses
        QString escapeButton; // the button Esc presses
        Icon icon = Icon::None;
        QString initialText; // input box
        FileDialogRequest file; // file dialogs
    };

    // The script, answered in order.
    void answerQuestion(Answer answer);
    void answerConfirm(bool ok);
    // The text of the button a choice is answered with.
    void answerChoice(const QString &button);
    void answerInput(const QString &text);
    void answerOpenFile(const QString &path);
    void answerSaveFile(const QString &path);

    const std::vector<Prompt> &prompts() const { return m_prompts; }
    int unanswered() const { return m_unanswered; }
    // Scripted answers that no prompt has taken yet.
    size_t pendingAnswers() const { return m_script.size(); }
    void clear();

    void message(const QString &text) override;
    Answer question(const QString &text) override;
    bool confirm(const QString &text) override;
    QString choose(const QString &text, const QStringList &buttons) override;
    void error(const QString &text) override;
    QString input(const QString &caption, const QString &prompt, const QString &initialText) override;
    QString openFile(const FileDialogRequest &request) override;
    QString saveFile(const FileDialogRequest &request) override;

private:
    struct Reply
    {
        Kind kind;
        Answer answer = Answer::No;
        QString text;
    };

    std::optional<Reply> nextReply(Kind kind);
    QString fileReply(Kind kind, const FileDialogRequest &request);

    std::deque<Reply> m_script;
    std::vector<Prompt> m_prompts;
    int m_unanswered = 0;
};

} // namespace ql
