#include "platform/gui/ScriptedUi.h"

#include "platform/ApplicationTitle.h"

namespace ql {

namespace {

const QString Ok = QStringLiteral("OK");
const QString Yes = QStringLiteral("Yes");
const QString No = QStringLiteral("No");
const QString Cancel = QStringLiteral("Cancel");

} // namespace

void ScriptedUi::answerQuestion(Answer answer)
{
    m_script.push_back({ Kind::Question, answer, {} });
}

void ScriptedUi::answerConfirm(bool ok)
{
    m_script.push_back({ Kind::Confirm, ok ? Answer::Yes : Answer::No, {} });
}

void ScriptedUi::answerChoice(const QString &button)
{
    m_script.push_back({ Kind::Choice, Answer::No, button });
}

void ScriptedUi::answerInput(const QString &text)
{
    m_script.push_back({ Kind::Input, Answer::No, text });
}

void ScriptedUi::answerOpenFile(const QString &path)
{
    m_script.push_back({ Kind::OpenFile, Answer::No, path });
}

void ScriptedUi::answerSaveFile(const QString &path)
{
    m_script.push_back({ Kind::SaveFile, Answer::No, path });
}

void ScriptedUi::clear()
{
    m_script.clear();
    m_prompts.clear();
    m_unanswered = 0;
}

std::optional<ScriptedUi::Reply> ScriptedUi::nextReply(Kind kind)
{
    if (m_script.empty() || m_script.front().kind != kind) {
        ++m_unanswered;
        return std::nullopt;
    }
    Reply reply = m_script.front();
    m_script.pop_front();
    return reply;
}

void ScriptedUi::message(const QString &text)
{
    m_prompts.push_back({ Kind::Message, applicationTitle(), text, { Ok }, Ok, Ok, Icon::None, {}, {} });
}

Answer ScriptedUi::question(const QString &text)
{
    m_prompts.push_back(
        { Kind::Question, applicationTitle(), text, { Yes, No }, Yes, No, Icon::None, {}, {} });
    const std::optional<Reply> reply = nextReply(Kind::Question);
    return reply ? reply->answer : Answer::No;
}

bool ScriptedUi::confirm(const QString &text)
{
    m_prompts.push_back(
        { Kind::Confirm, applicationTitle(), text, { Ok, Cancel }, Ok, Cancel, Icon::Question, {}, {} });
    const std::optional<Reply> reply = nextReply(Kind::Confirm);
    return reply && reply->answer == Answer::Yes;
}

QString ScriptedUi::choose(const QString &text, const QStringList &buttons)
{
    m_prompts.push_back({ Kind::Choice, applicationTitle(), text, buttons, buttons.value(0),
        buttons.value(buttons.size() - 1), Icon::Warning, {}, {} });
    const std::optional<Reply> reply = nextReply(Kind::Choice);
    // An answer that names no button of the box is a mistake of the test: counted, and answered as
    // Esc would.
    if (reply && buttons.contains(reply->text))
        return reply->text;
    if (reply)
        ++m_unanswered;
    return buttons.value(buttons.size() - 1);
}

void ScriptedUi::error(const QString &text)
{
    m_prompts.push_back({ Kind::Error, applicationTitle(), text, { Ok }, Ok, Ok, Icon::Error, {}, {} });
}

QString ScriptedUi::input(const QString &caption, const QString &prompt, const QString &initialText)
{
    m_prompts.push_back(
        { Kind::Input, caption, prompt, { Ok, Cancel }, Ok, Cancel, Icon::None, initialText, {} });
    const std::optional<Reply> reply = nextReply(Kind::Input);
    // The entry holds at most 255 characters, as the real one does.
    return reply ? reply->text.left(MaxInputLength) : initialText;
}

QString ScriptedUi::fileReply(Kind kind, const FileDialogRequest &request)
{
    m_prompts.push_back({ kind, request.caption, {}, {}, {}, {}, Icon::None, {}, request });
    const std::optional<Reply> reply = nextReply(kind);
    return reply ? reply->text : QString();
}

QString ScriptedUi::openFile(const FileDialogRequest &request)
{
    return fileReply(Kind::OpenFile, request);
}

QString ScriptedUi::saveFile(const FileDialogRequest &request)
{
    return fileReply(Kind::SaveFile, request);
}

} // namespace ql
