#include "app/effectbrowser.h"

#include "app/choicelist.h"

#include "catalogue/catalogueloader.h"
#include "catalogue/categorytable.h"
#include "catalogue/effectresourcename.h"
#include "app/tformfxinfo.h"
#include "core/errorboundary.h"
#include "core/seams.h"
#include "app/tformfxparameters.h"
#include "session/editorsession.h"


#include <QAbstractButton>
#include <QAction>
#include <QListWidget>

namespace tovel {

namespace {
const QString kImpulseResponseHelp = QStringLiteral(
    "How to load an impulse response:\r\n"
    "1) Select an IR load algorithm in Impulse Response category\r\n"
    "2) Go to File and click Load IR, choose the desired WAV file\r\n"
    "3) Click UPLOAD SELECTED EFFECT button\r\n"
    "Works best with 48kHz sampling rate at a bitrate of 24 or 32 bit");
} // namespace

EffectBrowser::EffectBrowser(const BrowserControls &controls, EditorSession &session, tformFXInfo &infoWindow,
                             TformFXParameters &parameterWindow, QObject *parent)
    : QObject(parent), m_controls(controls), m_session(session), m_infoWindow(infoWindow),
      m_parameterWindow(parameterWindow)
{
    connectHandler(m_controls.lstCategory, &QListWidget::itemClicked, this, m_session.prompts,
                   [this](QListWidgetItem *item) { categoryClick(m_controls.lstCategory->row(item)); });
    connectHandler(m_controls.lstEffects, &QListWidget::itemClicked, this, m_session.prompts,
                   [this](QListWidgetItem *item) { effetto_cliccato(m_controls.lstEffects->row(item)); });
    connectHandler(m_controls.btnGetFXInfo, &QAbstractButton::clicked, this, m_session.prompts,
                   [this] { btnGetFXInfoClick(); });
    // Keys choose as clicks do. The effect's parameter window then opens without taking the
    // focus, so the next arrow key moves on in the list.
    if (auto *list = qobject_cast<ChoiceList *>(m_controls.lstCategory))
        connectHandler(list, &ChoiceList::rowChosenByKey, this, m_session.prompts,
                       [this](int row) { categoryClick(row); });
    if (auto *list = qobject_cast<ChoiceList *>(m_controls.lstEffects))
        connectHandler(list, &ChoiceList::rowChosenByKey, this, m_session.prompts,
                       [this](int row) { chooseEffect(row, false); });
    connectHandler(&m_session, &EditorSession::effectSelected, this, m_session.prompts,
                   [this](int category, int row, bool opened) { showSelection(category, row, opened); });
}

QList<QListWidgetItem *> createCategoryRows(QListWidget *lstCategory)
{
    QList<QListWidgetItem *> rows;
    for (const CategoryRow &row : CategoryTable)
        rows.append(new QListWidgetItem(QString::fromLatin1(row.caption), lstCategory));
    return rows;
}

void EffectBrowser::categoryClick(int row)
{
    if (row < 0 || row >= int(CategoryTable.size()))
        return;
    const CategoryRow &category = CategoryTable[row];
    m_controls.lstEffects->clear();
    m_shownCategory = -1;
    if (!m_session.loader().LoadListResource(QString::fromLatin1(category.listResource))) {
        m_session.prompts.showMessage(m_session.loader().error());
        return;
    }
    FillEffectList();
    m_shownCategory = row;
    m_session.selection.SelectedCategory = QString::fromLatin1(category.caption);
    if (row == kImpulseResponseCategory)
        m_session.prompts.showMessage(kImpulseResponseHelp);
}

void EffectBrowser::effetto_cliccato(int row)
{
    // The parameter window opens without taking the focus: the next key still moves in the
    // list (F6 goes to the window).
    chooseEffect(row, false);
}

void EffectBrowser::chooseEffect(int row, bool activateParameters)
{
    const QListWidgetItem *item = m_controls.lstEffects->item(row);
    if (!item)
        return;
    // The choice opens the effect's rows in the session; rows that cannot be read are said
    // once the window has been opened (without them).
    showChosenEffect(m_session.chooseListedEffect(row, item->text()), activateParameters);
}

void EffectBrowser::showSelection(int category, int row, bool opened)
{
    m_controls.lstCategory->setCurrentRow(category);
    categoryClick(category);
    if (m_shownCategory != category || !m_controls.lstEffects->item(row))
        return;
    m_controls.lstEffects->setCurrentRow(row);
    showChosenEffect(opened, false);
}

void EffectBrowser::showChosenEffect(bool opened, bool activateParameters)
{
    const Selection &selection = m_session.selection;
    if (!selection.SelectedEffectName.isEmpty())
        m_controls.btnGetFXInfo->setEnabled(true);

    m_parameterWindow.openBeside(*m_controls.mainWindow, selection.SelectedEffectName, activateParameters);

    // Follows the list the effect was clicked in: after Open FX has put another category's
    // list in view, SelectedCategory may still name the category clicked before.
    m_controls.menuLoadIR->setEnabled(m_shownCategory == kImpulseResponseCategory);
    if (!opened)
        m_session.prompts.showMessage(m_session.settings().rows().problem);
}

void EffectBrowser::btnGetFXInfoClick()
{
    m_infoWindow.openBeside(m_parameterWindow, m_session.folders.programFolder(),
                            m_session.selection.SelectedEffectName, m_controls.mainWindow);
}

void EffectBrowser::FillEffectList()
{
    m_controls.lstEffects->addItems(m_session.loader().CurrentList());
}

bool EffectBrowser::SelectEffectByName(int category)
{
    const int line = m_session.loader().CurrentList().indexOf(m_session.pedal.PedalEffectName);
    if (line < 0 || category < 0 || category >= int(CategoryTable.size()))
        return false;
    m_controls.lstCategory->setCurrentRow(category);
    m_controls.lstEffects->setCurrentRow(line);
    m_shownCategory = category;
    return true;
}

void EffectBrowser::pointAtPedalEffect()
{
    m_shownCategory = -1;
    for (int row = 0; row < int(CategoryTable.size()); ++row) {
        m_controls.lstEffects->clear();
        if (!m_session.loader().LoadListResource(EffectResourceName(QString::fromLatin1(CategoryTable[row].caption)))) {
            m_session.prompts.showMessage(m_session.loader().error());
            return;
        }
        FillEffectList();
        if (SelectEffectByName(row))
            return;
        m_controls.lstEffects->clear();
    }
}

} // namespace tovel
