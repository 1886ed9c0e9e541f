#pragma once

#include <QTextBrowser>

namespace tovel {

// The information window's page view. Reads local HTML pages itself so that their declared
// windows-1252 text shows its accented characters; pictures load as usual, relative to the page.
// Each page ends with the codes of the pedal control box explained.
class InfoPageBrowser : public QTextBrowser {
    Q_OBJECT

public:
    explicit InfoPageBrowser(QWidget *parent = nullptr);

    // Shows the page at url. A page that does not exist leaves the view empty rather than
    // showing the page of the effect before.
    void showPage(const QUrl &url);

    QVariant loadResource(int type, const QUrl &name) override;

    // The page with what the codes of the parameter window's pedal control box stand for
    // added at its end.
    static QString withPedalControlCodes(const QString &page);
};

} // namespace tovel
