#include <QProcess>
#include <QProcessEnvironment>
#include <QTest>

namespace {

constexpr int kDeadlineMs = 30'000;
constexpr int kFailureStatus = 1;

} // namespace

// The real error path, in a process of its own: one message, on stderr and in
// a box, then the process ends at the failing step.
class ErrorPathTest : public QObject
{
    Q_OBJECT

private slots:
    void failureEndsTheProgramAtTheFailingStep_data();
    void failureEndsTheProgramAtTheFailingStep();
};

void ErrorPathTest::failureEndsTheProgramAtTheFailingStep_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("message");
    QTest::newRow("clear fails") << QStringLiteral("clear-fails")
                                 << QStringList{QStringLiteral("clipboard clear")}
                                 << QStringLiteral("hexlark: cannot clear the clipboard");
    QTest::newRow("set fails") << QStringLiteral("set-fails")
                               << QStringList{QStringLiteral("clipboard clear"),
                                              QStringLiteral("clipboard set")}
                               << QStringLiteral(
                                      "hexlark: cannot put the address on the clipboard");
    QTest::newRow("read-back differs")
        << QStringLiteral("readback-differs")
        << QStringList{QStringLiteral("clipboard clear"), QStringLiteral("clipboard set")}
        << QStringLiteral("hexlark: cannot put the address on the clipboard");
    QTest::newRow("exception in a handler") << QStringLiteral("generate-throws") << QStringList{}
                                            << QStringLiteral("hexlark: random source gave out");
}

void ErrorPathTest::failureEndsTheProgramAtTheFailingStep()
{
    QFETCH(QString, mode);
    QFETCH(QStringList, steps);
    QFETCH(QString, message);

    QProcess probe;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    probe.setProcessEnvironment(environment);
    probe.start(QStringLiteral(HEXLARK_ERROR_PATH_PROBE), {mode});
    QVERIFY(probe.waitForFinished(kDeadlineMs));

    QCOMPARE(probe.exitStatus(), QProcess::NormalExit);
    QCOMPARE(probe.exitCode(), kFailureStatus);

    QStringList stderrLines;
    for (const QString &line : QString::fromLocal8Bit(probe.readAllStandardError()).split('\n')) {
        if (line.startsWith(QLatin1String("hexlark:"))) {
            stderrLines << line;
        }
    }
    QCOMPARE(stderrLines, QStringList{message});

    // What happened, in order: the clipboard steps up to the failing one, the
    // box with the same line, and nothing after it.
    QStringList seen =
        QString::fromLocal8Bit(probe.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    for (QString &line : seen) {
        if (line.startsWith(QLatin1String("clipboard set "))) {
            line = QStringLiteral("clipboard set");
        }
    }
    QCOMPARE(seen, steps + QStringList{QStringLiteral("box ") + message});
}

QTEST_GUILESS_MAIN(ErrorPathTest)
#include "error_path_test.moc"
