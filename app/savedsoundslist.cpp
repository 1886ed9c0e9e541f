#include "app/savedsoundslist.h"
#include "app/failuretext.h"

#include "actions/soundactions.h"
#include "config/configurationfile.h"
#include "core/errorboundary.h"
#include "core/seams.h"
#include "session/editorsession.h"

#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace tovel {

namespace {

constexpr int kNameColumn = 0;
constexpr int kDateColumn = 1;
constexpr int kLayoutColumn = 2;
constexpr int kNameRole = Qt::UserRole;
constexpr int kPathRole = Qt::UserRole + 1;

} // namespace

SavedSoundsList::SavedSoundsList(EditorSession &session, QWidget *parent)
    : QWidget(parent, Qt::Window), m_session(session)
{
    setObjectName(QStringLiteral("formSavedSounds"));
    setWindowTitle(QStringLiteral("Saved Sounds"));
    lstSounds = new QTreeWidget(this);
    lstSounds->setObjectName(QStringLiteral("lstSounds"));
    lstSounds->setAccessibleName(QStringLiteral("Saved sounds"));
    lstSounds->setHeaderLabels({QStringLiteral("Name"), QStringLiteral("Saved"), QStringLiteral("Layout")});
    lstSounds->setRootIsDecorated(false);
    lstSounds->setEditTriggers(QAbstractItemView::EditKeyPressed);
    lstSounds->header()->setSectionResizeMode(kNameColumn, QHeaderView::Stretch);
    lstSounds->header()->setStretchLastSection(false);
    btnLoad = new QPushButton(QStringLiteral("&Load"), this);
    btnRename = new QPushButton(QStringLiteral("Re&name"), this);
    btnDelete = new QPushButton(QStringLiteral("&Delete..."), this);
    edtName = new QLineEdit(this);
    edtName->setObjectName(QStringLiteral("edtName"));
    edtName->setPlaceholderText(QStringLiteral("New name"));
    edtName->setAccessibleName(QStringLiteral("Name to save under"));
    btnSave = new QPushButton(QStringLiteral("&Save As New"), this);

    auto *buttons = new QHBoxLayout;
    for (QPushButton *b : {btnLoad, btnRename, btnDelete})
        buttons->addWidget(b);
    auto *save = new QHBoxLayout;
    save->addWidget(edtName, 1);
    save->addWidget(btnSave);
    auto *column = new QVBoxLayout(this);
    column->addWidget(lstSounds, 1);
    column->addLayout(buttons);
    column->addLayout(save);
    resize(380, 320);

    const auto handle = [this](auto *sender, auto signal, void (SavedSoundsList::*handler)()) {
        connectHandler(sender, signal, this, m_session.prompts, [this, handler] { (this->*handler)(); });
    };
    handle(btnLoad, &QPushButton::clicked, &SavedSoundsList::loadSelected);
    handle(btnSave, &QPushButton::clicked, &SavedSoundsList::saveNew);
    handle(edtName, &QLineEdit::returnPressed, &SavedSoundsList::saveNew);
    handle(btnRename, &QPushButton::clicked, &SavedSoundsList::renameSelected);
    handle(btnDelete, &QPushButton::clicked, &SavedSoundsList::deleteSelected);
    handle(lstSounds, &QTreeWidget::itemActivated, &SavedSoundsList::loadSelected);
    connect(lstSounds, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem *item, int column) {
        if (!m_drawing && column == kNameColumn)
            ErrorBoundary::run(m_session.prompts, [&] { renamed(item); });
    });
    connect(lstSounds, &QTreeWidget::currentItemChanged, this, [this] {
        const bool chosen = lstSounds->currentItem() != nullptr;
        for (QPushButton *b : {btnLoad, btnRename, btnDelete})
            b->setEnabled(chosen);
    });
    connect(&m_watch, &SavedSoundsWatch::changed, this, &SavedSoundsList::draw);
    SettingsModel &model = session.settings();
    connect(&model, &SettingsModel::opened, this, &SavedSoundsList::follow);
    connect(&model, &SettingsModel::closed, this, &SavedSoundsList::follow);
    follow();
}

void SavedSoundsList::follow()
{
    const SettingsModel &model = m_session.settings();
    const QString effect = model.isOpen() ? model.rows().effect : QString();
    setWindowTitle(effect.isEmpty() ? QStringLiteral("Saved Sounds")
                                    : QStringLiteral("Saved Sounds: %1").arg(effect));
    btnSave->setEnabled(!effect.isEmpty());
    edtName->setEnabled(!effect.isEmpty());
    m_watch.follow(configurationFolder(m_session.folders.documents()), effect, model.rows().count(),
                   model.rows().NumPots());
}

void SavedSoundsList::draw()
{
    const QString current = selectedName();
    m_drawing = true;
    lstSounds->clear();
    for (const SavedSound &sound : m_watch.sounds()) {
        auto *item = new QTreeWidgetItem(lstSounds);
        item->setText(kNameColumn, sound.name);
        item->setText(kDateColumn, QLocale().toString(sound.modified, QLocale::ShortFormat));
        item->setText(kLayoutColumn, sound.fitsLayout ? QString() : QStringLiteral("another"));
        item->setData(kNameColumn, kNameRole, sound.name);
        item->setData(kNameColumn, kPathRole, sound.path);
        item->setFlags(item->flags() | Qt::ItemIsEditable);
        QString tip = QDir::toNativeSeparators(sound.path);
        if (sound.ownFile)
            tip += QStringLiteral("\nThe file Save Configuration and Load Configuration use.");
        if (!sound.fitsLayout) {
            tip += QStringLiteral("\nSaved for another effect or another layout: loading it asks first.");
            for (int c = 0; c < lstSounds->columnCount(); ++c)
                item->setForeground(c, palette().brush(QPalette::Disabled, QPalette::Text));
        }
        item->setToolTip(kNameColumn, tip);
        if (sound.ownFile) {
            QFont bold = item->font(kNameColumn);
            bold.setBold(true);
            item->setFont(kNameColumn, bold);
        }
        if (sound.name == current)
            lstSounds->setCurrentItem(item);
    }
    for (int c = kDateColumn; c < lstSounds->columnCount(); ++c)
        lstSounds->resizeColumnToContents(c);
    m_drawing = false;
    const bool chosen = lstSounds->currentItem() != nullptr;
    for (QPushButton *b : {btnLoad, btnRename, btnDelete})
        b->setEnabled(chosen);
}

QString SavedSoundsList::selectedName() const
{
    const QTreeWidgetItem *item = lstSounds->currentItem();
    return item ? item->data(kNameColumn, kNameRole).toString() : QString();
}

void SavedSoundsList::showFailure(const ActionFailure &failure)
{
    if (!failure.message.isEmpty())
        m_session.prompts.showMessage(windowFailureText(failure));
}

void SavedSoundsList::loadSelected()
{
    const QTreeWidgetItem *item = lstSounds->currentItem();
    if (item && onLoad)
        onLoad(item->data(kNameColumn, kPathRole).toString());
}

void SavedSoundsList::saveNew()
{
    const ActionResult<QString> target = savedSoundTarget(m_session, edtName->text());
    if (!target) {
        showFailure(*target.failure);
        return;
    }
    if (onSave)
        onSave(target.value);
    edtName->clear();
}

void SavedSoundsList::renameSelected()
{
    if (QTreeWidgetItem *item = lstSounds->currentItem())
        lstSounds->editItem(item, kNameColumn);
}

void SavedSoundsList::renamed(QTreeWidgetItem *item)
{
    const QString from = item->data(kNameColumn, kNameRole).toString();
    const QString to = item->text(kNameColumn);
    if (to == from)
        return;
    const ActionResult<QString> result = renameSound(m_session, from, to);
    if (!result)
        showFailure(*result.failure);
    // The list shows the folder as it is now, renamed or not.
    m_watch.refresh();
}

void SavedSoundsList::deleteSelected()
{
    const QString name = selectedName();
    if (name.isEmpty())
        return;
    const ActionResult<Done> result = deleteSound(m_session, name);
    if (!result)
        showFailure(*result.failure);
    m_watch.refresh();
}

} // namespace tovel
