// tovel-look-sheets: one contact sheet per look. Runs the whole editor on the virtual pedal in
// real windows, plays a short session (connect, upload "Arp Sequencer", Open FX, Request, set
// some rows), then for every look grabs the main window before and after connecting, the
// 24-row parameter window with its rows usable and unusable, the console, the information
// window, the Look menu and a panel of the controls the firmware window uses.
//
//   tovel-look-sheets OUTPUT_FOLDER [--full FOLDER] [--scale S]
//
// Writes look-N.png (scaled by S, 0.5 by default) into OUTPUT_FOLDER, and the sheets at full
// size into the --full folder. Run it under a display (tools/make_contact_sheets.sh uses
// xvfb-run).
#include "app/application.h"
#include "app/tformmain.h"
#include "app/effectbrowser.h"
#include "app/tformfxinfo.h"
#include "app/console/tformprint.h"
#include "core/clock.h"
#include "core/pacing.h"
#include "core/seams.h"
#include "app/look/lookapplier.h"
#include "app/tformfxparameters.h"
#include "app/toggleswitch.h"
#include "pedal/virtualpedaldriver.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>

using namespace tovel;

namespace {

// Questions answered Yes; every text shown goes to stderr, so a sheet made over an error shows.
class SheetPrompts : public Prompts {
public:
    void showMessage(const QString &text) override
    {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
    }
    Answer askYesNo(const QString &) override { return Answer::Yes; }
    QString openFile(const QString &) override { return QString(); }
    QString saveFile(const QString &, const QString &) override { return QString(); }
};

class SheetFolders : public Folders {
public:
    QString documents() const override { return m_dir.path(); }
    QString programFolder() const override { return QCoreApplication::applicationDirPath(); }
    QString state() const override { return m_dir.filePath(QStringLiteral("state")); }

private:
    QTemporaryDir m_dir;
};

void settle()
{
    for (int i = 0; i < 5; ++i) {
        QCoreApplication::processEvents();
        QThread::msleep(10);
    }
}

struct Panel {
    QString caption;
    QImage image;
};

QImage grabWindow(QWidget *w)
{
    settle();
    return w->grab().toImage();
}

// The controls of the firmware window (a progress bar, an image list, buttons, boxes) and the
// rest of the kinds a look covers, in each of their states.
class Gallery : public QWidget {
public:
    Gallery()
    {
        setWindowTitle(QStringLiteral("Controls"));
        setFixedSize(300, 480);
        int y = 10;
        auto place = [this, &y](QWidget *w, int height = 24, int x = 10, int width = 280) {
            w->setParent(this);
            w->setGeometry(x, y, width, height);
            y += height + 8;
            return w;
        };
        place(new QLabel(QStringLiteral("Firmware image:")), 18);
        auto *images = new QComboBox;
        images->addItems({QStringLiteral("Tovel firmware 1.4"), QStringLiteral("Tovel firmware 1.4 (stereo)")});
        place(images);
        auto *offList = new QComboBox;
        offList->addItem(QStringLiteral("Disabled list"));
        offList->setEnabled(false);
        place(offList);
        auto *bar = new QProgressBar;
        bar->setValue(62);
        place(bar, 22);
        auto *offBar = new QProgressBar;
        offBar->setValue(30);
        offBar->setEnabled(false);
        place(offBar, 22);
        place(new QPushButton(QStringLiteral("Start Firmware Upgrade")), 30);
        auto *pressed = new QPushButton(QStringLiteral("Pressed"));
        pressed->setDown(true);
        auto *off = new QPushButton(QStringLiteral("Disabled"));
        off->setEnabled(false);
        place(pressed, 30, 10, 135);
        y -= 38;
        place(off, 30, 155, 135);
        auto *checked = new QCheckBox(QStringLiteral("Checked"));
        checked->setChecked(true);
        place(checked, 20, 10, 135);
        y -= 28;
        place(new QCheckBox(QStringLiteral("Unchecked")), 20, 155, 135);
        auto *offChecked = new QCheckBox(QStringLiteral("Disabled, checked"));
        offChecked->setChecked(true);
        offChecked->setEnabled(false);
        place(offChecked, 20);
        auto *radio = new QRadioButton(QStringLiteral("Mono"));
        radio->setChecked(true);
        place(radio, 20, 10, 135);
        y -= 28;
        place(new QRadioButton(QStringLiteral("Stereo")), 20, 155, 135);
        auto *slider = new QSlider(Qt::Horizontal);
        slider->setRange(0, 1023);
        slider->setValue(600);
        place(slider, 20);
        auto *offSlider = new QSlider(Qt::Horizontal);
        offSlider->setRange(0, 1023);
        offSlider->setValue(300);
        offSlider->setEnabled(false);
        place(offSlider, 20);
        int x = 10;
        for (int i = 0; i < 4; ++i) {
            auto *s = new ToggleSwitch;
            s->setChecked(i % 2 == 0);
            s->setEnabled(i < 2 || i == 3);
            s->setParent(this);
            s->setGeometry(x, y, 40, 20);
            x += 60;
            if (i == 3)
                m_focusSwitch = s;
        }
        y += 28;
        auto *label = new QLabel(QStringLiteral("Disabled label"));
        label->setEnabled(false);
        place(label, 18);
        place(new QLineEdit(QStringLiteral("Text line")), 24);
    }
    ToggleSwitch *m_focusSwitch = nullptr;
};

QImage sheetOf(int look, const QList<Panel> &panels)
{
    const int gap = 16, top = 34, captionHeight = 22;
    int width = gap, height = 0;
    auto panelWidth = [](const Panel &p) { return std::max(p.image.width(), 8 * int(p.caption.size())); };
    for (const Panel &p : panels) {
        width += panelWidth(p) + gap;
        height = std::max(height, p.image.height());
    }
    QImage sheet(width, top + captionHeight + height + gap, QImage::Format_RGB32);
    sheet.fill(QColor(0x9A, 0x9A, 0x9A));
    QPainter painter(&sheet);
    QFont font = painter.font();
    font.setPixelSize(18);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(gap, 24, QStringLiteral("Look %1").arg(look));
    font.setPixelSize(13);
    font.setBold(false);
    painter.setFont(font);
    int x = gap;
    for (const Panel &p : panels) {
        painter.drawText(x, top + 14, p.caption);
        painter.drawImage(x, top + captionHeight, p.image);
        x += panelWidth(p) + gap;
    }
    return sheet;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication qapp(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(1);
    if (args.isEmpty()) {
        std::fprintf(stderr, "usage: tovel-look-sheets OUTPUT_FOLDER [--full FOLDER] [--scale S]\n");
        return 2;
    }
    const QString out = args.at(0);
    const int fullAt = int(args.indexOf(QStringLiteral("--full")));
    const QString full = fullAt > 0 && fullAt + 1 < args.size() ? args.at(fullAt + 1) : QString();
    const int scaleAt = int(args.indexOf(QStringLiteral("--scale")));
    const double scale = scaleAt > 0 && scaleAt + 1 < args.size() ? args.at(scaleAt + 1).toDouble() : 0.5;
    QDir().mkpath(out);
    if (!full.isEmpty())
        QDir().mkpath(full);

    SteadyClock clock;
    RealPacing pacing;
    SheetPrompts prompts;
    SheetFolders folders;
    pedal::VirtualPedalOptions options;
    options.lineRateBaud = 0;
    const std::unique_ptr<FtDriver> driver = pedal::makeVirtualPedalDriver(options, clock);
    Application app(prompts, pacing, folders, *driver, clock);
    TformMain &main = *app.formMain();
    TformFXParameters &params = *app.formFXParameters();
    main.move(0, 0);
    main.show();

    // Before connecting: most commands unusable.
    QList<QImage> startShots;
    for (int look = 0; look <= 7; ++look) {
        applyLook(look);
        startShots.append(grabWindow(&main));
    }

    // A session: connect, choose the 24-control effect, upload it, read it back.
    main.menuConnect->trigger();
    app.session().selectEffect(QStringLiteral("Arp Sequencer"));
    // Unusable rows first: the window as it opens for an effect the pedal does not run yet.
    params.move(main.frameGeometry().right() + 1, 0);
    QList<QImage> offShots;
    for (int look = 0; look <= 7; ++look) {
        applyLook(look);
        offShots.append(grabWindow(&params));
    }
    main.btnUpload->click();
    main.btnOpenEffect->click();
    main.btnRequest->click();
    params.trkPot[0]->setValue(700);
    params.trkPot[3]->setValue(1023);
    params.trkPot[6]->setValue(300);
    for (int row : {10, 13, 16, 19})
        params.swSwitch[row]->click();
    params.cmbMultiSwitch[22]->setCurrentIndex(2);
    params.boxAssign[0]->setCurrentIndex(1);
    params.boxAssign[13]->setCurrentIndex(4);
    main.btnRequest->click(); // limit buttons of the assigned row become usable
    params.chkReverse[3]->setChecked(true);
    params.trkPot[0]->setValue(512);
    params.btnMax[0]->click();
    params.trkPot[0]->setValue(700);
    params.trkPot[2]->setFocus();

    TformPrint &console = *app.formPrint();
    console.move(0, 520);
    console.show();
    main.btnGetFXInfo->click();
    tformFXInfo &info = *app.formFXInfo();

    Gallery gallery;
    gallery.move(900, 520);
    gallery.show();

    for (int look = 0; look <= 7; ++look) {
        applyLook(look);
        QList<Panel> panels;
        panels.append({QStringLiteral("main window, not connected"), startShots.at(look)});
        panels.append({QStringLiteral("main window, effect on the pedal"), grabWindow(&main)});
        params.activateWindow();
        params.trkPot[2]->setFocus();
        panels.append({QStringLiteral("Arp Sequencer: rows usable, switches on and off"), grabWindow(&params)});
        panels.append({QStringLiteral("rows unusable (effect not on the pedal)"), offShots.at(look)});
        panels.append({QStringLiteral("console"), grabWindow(&console)});
        panels.append({QStringLiteral("information window"), grabWindow(&info)});
        gallery.activateWindow();
        gallery.m_focusSwitch->setFocus();
        panels.append({QStringLiteral("controls (firmware window's kinds)"), grabWindow(&gallery)});
        main.menuLook->popup(main.mapToGlobal(QPoint(100, 60)));
        panels.append({QStringLiteral("the Look menu"), grabWindow(main.menuLook)});
        main.menuLook->hide();

        const QImage sheet = sheetOf(look, panels);
        const QString name = QStringLiteral("look-%1.png").arg(look);
        if (!full.isEmpty())
            sheet.save(QDir(full).filePath(name));
        sheet.scaled(int(sheet.width() * scale), int(sheet.height() * scale), Qt::IgnoreAspectRatio,
                     Qt::SmoothTransformation)
            .save(QDir(out).filePath(name));
        std::printf("%s\n", qPrintable(QDir(out).filePath(name)));
    }
    return 0;
}
