// A scripted prompter for window tests: each kind of prompt answers from its own queue, every
// prompt shown is recorded with its title and text, and a prompt nobody scripted fails the test
// (and answers as if cancelled) instead of blocking on a dialog.
#pragma once

#include "Prompter.h"

#include <QDir>
#include <QList>
#include <QQueue>
#include <QString>
#include <QStringList>

#include <functional>
#include <gtest/gtest.h>

class FakePrompter : public TPrompter
{
public:
    struct Shown
    {
        QString kind; // "input", "error", "default-error", "open", "save", "login-user", "login-db",
                      // "data-link", "about"
        QString title;
        QString text;
        QString preset; // input box preset, data link initial string, open or save dialog filter
        int errorKind = 0;
        bool secret = false; // an input box whose answer is not shown
    };

    QList<Shown> shown;

    void record(const QString& kind, const QString& title = {}, const QString& text = {},
                const QString& preset = {}, int errorKind = 0)
    {
        shown.append(Shown{kind, title, text, preset, errorKind});
    }

    // Scripted answers, consumed in order.
    QQueue<std::function<QString()>> inputAnswers; // return the preset to act as Cancel
    QQueue<int> errorAnswers;                      // default: OK
    QQueue<QString> openAnswers;                   // empty = cancelled
    QQueue<QString> saveAnswers;                   // empty = cancelled
    QQueue<TLoginUserAnswer> userLoginAnswers;
    QQueue<TLoginDatabaseAnswer> databasePasswordAnswers;
    QQueue<std::function<QString(const QString&)>> dataLinkAnswers;
    // Error boxes are normal outcomes in many tests; set false to make them fail instead.
    bool errorsExpected = true;
    int aboutShown = 0;

    void answerInput(const QString& text)
    {
        inputAnswers.enqueue([text] { return text; });
    }
    void cancelInput() { inputAnswers.enqueue(nullptr); }

    QList<Shown> ofKind(const QString& kind) const
    {
        QList<Shown> result;
        for (const Shown& s : shown)
            if (s.kind == kind)
                result << s;
        return result;
    }
    QStringList kinds() const
    {
        QStringList result;
        for (const Shown& s : shown)
            result << s.kind;
        return result;
    }

    QString InputBox(QWidget*, const QString& title, const QString& prompt, const QString& preset) override
    {
        record(QStringLiteral("input"), title, prompt, preset);
        if (inputAnswers.isEmpty()) {
            ADD_FAILURE() << "unexpected input box: " << prompt.toStdString();
            return preset;
        }
        const auto answer = inputAnswers.dequeue();
        return answer ? answer() : preset;
    }

    bool InputQuery(QWidget*, const QString& title, const QString& prompt, QString& value,
                    bool secret) override
    {
        record(QStringLiteral("input"), title, prompt, value);
        shown.last().secret = secret;
        if (inputAnswers.isEmpty()) {
            ADD_FAILURE() << "unexpected input box: " << prompt.toStdString();
            return false;
        }
        const auto answer = inputAnswers.dequeue();
        if (!answer)
            return false;
        value = answer();
        return true;
    }

    int ShowErrorMessage(QWidget*, const QString& message, int kind) override
    {
        record(QStringLiteral("error"), QStringLiteral("Fehler"), message, {}, kind);
        if (!errorsExpected)
            ADD_FAILURE() << "unexpected error box: " << message.toStdString();
        return errorAnswers.isEmpty() ? mrOK : errorAnswers.dequeue();
    }

    void ShowDefaultError(QWidget*, const QString& message) override
    {
        record(QStringLiteral("default-error"), QStringLiteral("Orvane"), message);
        if (!errorsExpected)
            ADD_FAILURE() << "unexpected failure: " << message.toStdString();
    }

    QString OpenFile(QWidget*, const TOpenDialogSettings& settings) override
    {
        record(QStringLiteral("open"), {}, settings.InitialDir, settings.Filter);
        if (openAnswers.isEmpty()) {
            ADD_FAILURE() << "unexpected file dialog";
            return {};
        }
        return openAnswers.dequeue();
    }

    // Recorded with the dialog's title and the name it proposes.
    QString SaveFile(QWidget*, const TSaveDialogSettings& settings) override
    {
        record(QStringLiteral("save"), settings.Title, settings.InitialFile, settings.Filter);
        if (saveAnswers.isEmpty()) {
            ADD_FAILURE() << "unexpected save dialog";
            return {};
        }
        return saveAnswers.dequeue();
    }

    TLoginUserAnswer AskUserLogin(QWidget*) override
    {
        record(QStringLiteral("login-user"));
        if (userLoginAnswers.isEmpty()) {
            ADD_FAILURE() << "unexpected user login dialog";
            return {};
        }
        return userLoginAnswers.dequeue();
    }

    TLoginDatabaseAnswer AskDatabasePassword(QWidget*) override
    {
        record(QStringLiteral("login-db"));
        if (databasePasswordAnswers.isEmpty()) {
            ADD_FAILURE() << "unexpected database password dialog";
            return {};
        }
        return databasePasswordAnswers.dequeue();
    }

    QString PromptDataLink(QWidget*, const QString& initial) override
    {
        record(QStringLiteral("data-link"), {}, {}, initial);
        if (dataLinkAnswers.isEmpty()) {
            ADD_FAILURE() << "unexpected data link dialog";
            return initial;
        }
        const auto answer = dataLinkAnswers.dequeue();
        return answer ? answer(initial) : initial;
    }

    void ShowAbout(QWidget*) override
    {
        record(QStringLiteral("about"));
        ++aboutShown;
    }
};
