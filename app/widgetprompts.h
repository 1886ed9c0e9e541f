#pragma once

#include "core/seams.h"

#include <QString>

namespace tovel {

// Real modal dialogs, over the active window.
class WidgetPrompts : public Prompts {
public:
    void showMessage(const QString &text) override;
    void showMessageWithPicture(const QString &text, const QByteArray &png) override;
    Answer askYesNo(const QString &text) override;
    Answer askBeforeIrreversible(const QString &text) override;
    QString openFile(const QString &filter) override;
    QString openFileIn(const QString &filter, const QString &folder) override;
    QString saveFile(const QString &filter, const QString &proposedPath) override;

    // "Wave Files (*.wav)|*.wav" -> "Wave Files (*.wav)"; the description keeps its patterns.
    static QString toQtFilter(const QString &filter);

private:
    Answer ask(const QString &text, int enterButton);

    QString m_filter; // the dialog keeps the filter it was given last
};

// The user's Documents and state folders and the folder of the program's own files.
class DesktopFolders : public Folders {
public:
    QString documents() const override;
    QString documentsProblem() const override;
    // The installed data folder when the program runs from an installation, else the
    // executable's folder.
    QString programFolder() const override;
    QString state() const override;

    // Where the information pages and their pictures are for a program in binFolder: an
    // installation keeps them in ../share/tovel-editor beside bin/; the build tree beside the
    // executable.
    static QString dataFolderFor(const QString &binFolder);
};

// The desktop's default web browser.
class DesktopWebBrowser : public WebBrowser {
public:
    bool openUrl(const QUrl &url) override;
};

} // namespace tovel
