#include <QTest>
class ManageTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void placeholder() { QVERIFY(true); }
};
QTEST_MAIN(ManageTest)
#include "manage_test.moc"
