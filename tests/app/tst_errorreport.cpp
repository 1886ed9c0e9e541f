// The general error report: an error that escapes a handler ends that handler inside its own
// slot, is shown once, and the program goes on handling events.
#include "app/tovelapplication.h"
#include "core/editorerror.h"
#include "core/errorboundary.h"
#include "tests/support/testseams.h"

#include <QPushButton>
#include <QTimer>
#include <QtTest>

using namespace tovel;
using namespace tovel::test;

class TestErrorReport : public QObject {
    Q_OBJECT

public:
    ScriptedPrompts prompts;

private slots:
    void escapedErrorIsShownOnceAndTheProgramGoesOn();
};

void TestErrorReport::escapedErrorIsShownOnceAndTheProgramGoesOn()
{
    QPushButton button(QStringLiteral("Open FX"));
    int reachedAfterThrow = 0;
    int clicks = 0;
    connectHandler(&button, &QPushButton::clicked, &button, prompts, [&] {
        ++clicks;
        if (clicks == 1)
            throw EditorError(QStringLiteral("'v3' is not a valid integer value"));
        ++reachedAfterThrow;
    });
    button.show();
    QVERIFY(QTest::qWaitForWindowExposed(&button));
    // Real mouse events, delivered through the application's notify.
    QTest::mouseClick(&button, Qt::LeftButton);
    QCOMPARE(prompts.messages, QStringList{"'v3' is not a valid integer value"});
    QTest::mouseClick(&button, Qt::LeftButton);
    QCOMPARE(clicks, 2);
    QCOMPARE(reachedAfterThrow, 1);
    QCOMPARE(prompts.messages.size(), 1);

    // An error from a timer's handler is reported the same way.
    bool timerRan = false;
    QTimer timer;
    timer.setSingleShot(true);
    connectHandler(&timer, &QTimer::timeout, &timer, prompts, [&] {
        timerRan = true;
        throw EditorError(QStringLiteral("Error loading resource: x"));
    });
    timer.start(0);
    QTRY_VERIFY(timerRan);
    QCOMPARE(prompts.messages.last(), QStringLiteral("Error loading resource: x"));
}

int main(int argc, char **argv)
{
    TovelApplication app(argc, argv);
    TestErrorReport test;
    app.setPrompts(&test.prompts);
    return QTest::qExec(&test, argc, argv);
}

#include "tst_errorreport.moc"
