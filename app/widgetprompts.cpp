#include "app/widgetprompts.h"

#include "core/homefolder.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QDesktopServices>
#include <QFileDialog>
#include <QGridLayout>
#include <QSpacerItem>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QMessageBox>
#include <QPixmap>
#include <QVBoxLayout>
#include <QStandardPaths>

namespace tovel {

namespace {
const QString kTitle = QStringLiteral("ZANTH Editor");
}

namespace {

// A short text makes a box narrower than its title, which the window manager then cuts
// ("Z...or"): the box is kept wide enough for the title and its buttons.
void fitTitle(QMessageBox &box)
{
    auto *grid = qobject_cast<QGridLayout *>(box.layout());
    if (!grid)
        return;
    constexpr int kTitleBarExtras = 120; // the manager's icon and buttons beside the title
    const int width = box.fontMetrics().horizontalAdvance(box.windowTitle()) + kTitleBarExtras;
    grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Expanding), grid->rowCount(), 0, 1,
                  grid->columnCount());
}

} // namespace

void WidgetPrompts::showMessage(const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, kTitle, text, QMessageBox::Ok, QApplication::activeWindow());
    fitTitle(box);
    box.exec();
}

void WidgetPrompts::showMessageWithPicture(const QString &text, const QByteArray &png)
{
    // A message box puts its picture where its icon goes and squeezes the text into a narrow
    // column beside it: the text goes above the picture here, each line whole.
    QDialog box(QApplication::activeWindow());
    box.setWindowTitle(kTitle);
    auto *layout = new QVBoxLayout(&box);
    auto *message = new QLabel(text, &box);
    message->setTextFormat(Qt::PlainText);
    message->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(message);
    QPixmap picture;
    if (picture.loadFromData(png, "PNG")) {
        auto *shown = new QLabel(&box);
        shown->setObjectName(QStringLiteral("picture"));
        shown->setPixmap(picture);
        layout->addWidget(shown, 0, Qt::AlignHCenter);
    }
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &box);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &box, &QDialog::accept);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    box.exec();
}

Prompts::Answer WidgetPrompts::askYesNo(const QString &text)
{
    return ask(text, QMessageBox::Yes);
}

Prompts::Answer WidgetPrompts::askBeforeIrreversible(const QString &text)
{
    return ask(text, QMessageBox::No);
}

Prompts::Answer WidgetPrompts::ask(const QString &text, int enterButton)
{
    // Escape answers No (the box's one No button); Enter answers enterButton.
    QMessageBox box(QMessageBox::Question, kTitle, text, QMessageBox::Yes | QMessageBox::No,
                    QApplication::activeWindow());
    box.setDefaultButton(QMessageBox::StandardButton(enterButton));
    fitTitle(box);
    switch (box.exec()) {
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    default:
        return Answer::Other;
    }
}

QString WidgetPrompts::toQtFilter(const QString &filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts[i];
        const QString patterns = QString(parts[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' '));
        if (!description.contains(QLatin1Char('(')))
            description += QStringLiteral(" (") + patterns + QLatin1Char(')');
        filters.append(description);
    }
    if (filters.isEmpty() && !filter.isEmpty())
        filters.append(filter);
    return filters.join(QStringLiteral(";;"));
}

QString WidgetPrompts::openFile(const QString &filter)
{
    if (!filter.isEmpty())
        m_filter = filter;
    return QFileDialog::getOpenFileName(QApplication::activeWindow(), QString(), QString(),
                                        toQtFilter(m_filter));
}

QString WidgetPrompts::openFileIn(const QString &filter, const QString &folder)
{
    if (!filter.isEmpty())
        m_filter = filter;
    return QFileDialog::getOpenFileName(QApplication::activeWindow(), QString(), folder,
                                        toQtFilter(m_filter));
}

QString WidgetPrompts::saveFile(const QString &filter, const QString &proposedPath)
{
    return QFileDialog::getSaveFileName(QApplication::activeWindow(), QString(), proposedPath,
                                        toQtFilter(filter));
}

QString DesktopFolders::documents() const
{
    return documentsFolder();
}

QString DesktopFolders::documentsProblem() const
{
    QString problem;
    documentsFolder(&problem);
    return problem;
}

QString DesktopFolders::programFolder() const
{
    return dataFolderFor(QCoreApplication::applicationDirPath());
}

QString DesktopFolders::state() const
{
    return stateFolder();
}

QString DesktopFolders::dataFolderFor(const QString &binFolder)
{
    const QDir installed(binFolder + QStringLiteral("/../share/tovel-editor"));
    if (installed.exists())
        return installed.canonicalPath();
    return binFolder;
}

bool DesktopWebBrowser::openUrl(const QUrl &url)
{
    return QDesktopServices::openUrl(url);
}

} // namespace tovel
