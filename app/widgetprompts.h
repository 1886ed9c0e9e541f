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
    QString openFile(const QString &filter) override;
    QString openFileIn(const QString &filter, const QString &folder) override;
    QString saveFile(const QString &filter, const QString &proposedPath) override;

    // "Wave Files (*.wav)|*.wav" -> "Wave Files (*.wav)"; the description keeps its patterns.
    static QString toQtFilter(const QString &filter);

private:
    QString m_filter; // the dialog keeps the filter it was given last
};

// The user's Documents folder and the executable's folder.
class DesktopFolders : public Folders {
public:
    QString documents() const override;
    QString programFolder() const override;
};

// The desktop's default web browser.
class DesktopWebBrowser : public WebBrowser {
public:
    bool openUrl(const QUrl &url) override;
};

} // namespace tovel
