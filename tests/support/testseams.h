#pragma once

#include "core/seams.h"

#include <QStringList>
#include <QTemporaryDir>
#include <QList>
#include <QUrl>
#include <functional>

namespace tovel::test {

// Records every text shown and answers from a script. A question with no scripted answer is
// a surprise: it is recorded, answered No / cancelled, and the test fails on it.
class ScriptedPrompts : public Prompts {
public:
    void showMessage(const QString &text) override
    {
        messages.append(text);
        if (onMessage)
            onMessage(text);
    }
    // The text goes to messages like any other; the picture to pictures, with the index of its
    // text in messages.
    void showMessageWithPicture(const QString &text, const QByteArray &png) override
    {
        pictures.append({int(messages.size()), png});
        messages.append(text);
    }
    Answer askYesNo(const QString &text) override;
    // Kept apart from the other questions, with a script of its own: a test of something
    // else scripts Yes for it without disturbing the order of its other answers.
    Answer askBeforeIrreversible(const QString &text) override;
    QString openFile(const QString &filter) override;
    QString openFileIn(const QString &filter, const QString &folder) override;
    QString saveFile(const QString &filter, const QString &proposedPath) override;

    void scriptAnswer(Answer a) { m_answers.append(a); }
    void scriptIrreversible(Answer a) { m_irreversibleAnswers.append(a); }
    // Drops the answers scripted for questions that were not asked.
    void clearIrreversibleScript() { m_irreversibleAnswers.clear(); }
    // The path the next file dialog (open or save) returns; an empty one cancels it.
    void scriptFile(const QString &path) { m_files.append(path); }

    QStringList messages;  // every OK box, in order
    // Runs while an OK box is up, as the user reads it.
    std::function<void(const QString &)> onMessage;
    QStringList questions; // every Yes/No text, in order
    QStringList irreversible; // every question before a step that cannot be undone
    QStringList filters;   // the filter of every file dialog
    QStringList dialogPaths; // the folder an open dialog started in, the path a save proposed
    QStringList surprises; // questions nobody scripted an answer for
    struct Picture {
        int message; // index in messages of the text it was shown with
        QByteArray png;
    };
    QList<Picture> pictures;

private:
    QList<Answer> m_answers;
    QList<Answer> m_irreversibleAnswers;
    QStringList m_files;
};

class RecordingConsole : public Console {
public:
    void printToConsole(const QString &text) override { lines.append(text); scrolled.append(true); }
    void appendConsoleLine(const QString &text) override { lines.append(text); scrolled.append(false); }
    QStringList lines;
    QList<bool> scrolled; // per line: added by printToConsole
};

// Records every address handed to the browser; opens nothing.
class RecordingWebBrowser : public WebBrowser {
public:
    bool openUrl(const QUrl &url) override
    {
        opened.append(url);
        return opens;
    }
    QList<QUrl> opened;
    bool opens = true; // what the desktop answers
};

// Documents, program and state folders inside a fresh temporary folder.
class TempFolders : public Folders {
public:
    TempFolders();
    QString documents() const override { return m_documents; }
    QString documentsProblem() const override
    {
        return m_documents.isEmpty() ? QStringLiteral("HOME is not set.") : QString();
    }
    QString programFolder() const override { return m_program; }
    QString state() const override { return m_state; }
    QString root() const { return m_dir.path(); }
    void setDocuments(const QString &path) { m_documents = path; }
    void setProgramFolder(const QString &path) { m_program = path; }
    void setState(const QString &path) { m_state = path; }

private:
    QTemporaryDir m_dir;
    QString m_documents;
    QString m_program;
    QString m_state;
};

} // namespace tovel::test
