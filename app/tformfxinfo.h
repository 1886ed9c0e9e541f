#pragma once

#include <QUrl>
#include <QWidget>

namespace tovel {

class InfoPageBrowser;

// The information window: an effect's page from the file "<display name>-info.html" in the
// program's folder.
class tformFXInfo : public QWidget {
    Q_OBJECT

public:
    explicit tformFXInfo(QWidget *parent = nullptr);

    // The page file of an effect: programFolder (without a trailing separator), "/", the
    // display name as it is (blanks kept) and "-info.html".
    static QString pagePath(const QString &programFolder, const QString &effectName);

    // Closes the window if it shows, places it at the right edge of besideWindow (whether that
    // shows or not) where the screen has room, else where it covers neither besideWindow nor
    // keepClear, shows it with the effect's name as caption and points the view at the page.
    void openBeside(const QWidget &besideWindow, const QString &programFolder,
                    const QString &effectName, const QWidget *keepClear = nullptr);

    // The address the view was pointed at last.
    QUrl pageUrl() const;

    InfoPageBrowser *WebBrowser1;
};

} // namespace tovel
