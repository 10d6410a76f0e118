#include "controls/toolbar/palettecolors.h"
#include "controls/toolbar/swatchpicture.h"
#include "controls/toolbar/toolbar.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

using namespace Qt::StringLiterals;

namespace {

QVariant Width(int width)
{
    return QVariant::fromValue(qint16(width));
}

QVariant Color(quint32 color)
{
    return QVariant::fromValue(color);
}

} // namespace

class ToolBarTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<ToolBar> m_bar;
    QList<QSignalSpy *> m_spies;

    QToolButton *tool(int index) const
    {
        return m_bar->findChild<QToolButton *>(u"tool%1"_s.arg(index));
    }
    SwatchPicture *grid() const { return m_bar->findChild<SwatchPicture *>(u"swatchGrid"_s); }
    SwatchPicture *strip() const { return m_bar->findChild<SwatchPicture *>(u"swatchStrip"_s); }
    QComboBox *widths() const { return m_bar->findChild<QComboBox *>(u"lineWidthList"_s); }

    // Every event of the palette, in its declaration order.
    void spyOnEverything()
    {
        qDeleteAll(m_spies);
        m_spies = {new QSignalSpy(m_bar.get(), &ToolBar::OnRect),
            new QSignalSpy(m_bar.get(), &ToolBar::OnRoundRect),
            new QSignalSpy(m_bar.get(), &ToolBar::OnCircle),
            new QSignalSpy(m_bar.get(), &ToolBar::OnLine),
            new QSignalSpy(m_bar.get(), &ToolBar::OnText),
            new QSignalSpy(m_bar.get(), &ToolBar::OnArrow),
            new QSignalSpy(m_bar.get(), &ToolBar::OnChangeColor),
            new QSignalSpy(m_bar.get(), &ToolBar::OnChangeLineWidth)};
    }

    int eventsRaised() const
    {
        int total = 0;
        for (const QSignalSpy *spy : m_spies)
            total += int(spy->size());
        return total;
    }

    void saveScreenshot(const QString &name)
    {
        QString folder = qEnvironmentVariable("LUMO_SCREENSHOT_DIR");
        if (folder.isEmpty())
            folder = QDir::tempPath() + u"/lumo-screenshots"_s;
        QDir().mkpath(folder);
        QVERIFY(m_bar->grab().save(folder + u"/"_s + name));
    }

private Q_SLOTS:
    void init()
    {
        m_bar = std::make_unique<ToolBar>();
        m_bar->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_bar.get()));
        spyOnEverything();
    }

    void cleanup()
    {
        qDeleteAll(m_spies);
        m_spies.clear();
        m_bar.reset();
    }

    void startsWithRedWidthOneAndTallLayout()
    {
        QCOMPARE(m_bar->currentColor(), quint32(255));
        QCOMPARE(m_bar->currentLineWidth(), qint16(1));
        QCOMPARE(m_bar->ViewMode(), qint16(0));
        QCOMPARE(m_bar->currentTool(), 0);
        QCOMPARE(widths()->count(), 8);
        QCOMPARE(widths()->currentIndex(), 0);
        for (int i = 0; i < 8; ++i) {
            QCOMPARE(widths()->itemText(i), QString::number(i + 1));
            QCOMPARE(widths()->itemData(i).toString(), u"_%1"_s.arg(i + 1));
            QVERIFY(!widths()->itemIcon(i).isNull());
        }
        QCOMPARE(tool(0)->toolTip(), u"缺省状态"_s);
        // The text tool's "A": ink at its apex, crossbar and both feet, none
        // in the top corners or between the legs.
        const QImage letter = tool(5)->icon().pixmap(QSize(22, 22), 1.0).toImage();
        QCOMPARE(letter.size(), QSize(22, 22));
        const auto inked = [&letter](int x, int y) { return qAlpha(letter.pixel(x, y)) > 128; };
        QVERIFY(inked(11, 6) && inked(11, 12) && inked(5, 16) && inked(16, 16));
        QVERIFY(!inked(2, 2) && !inked(19, 2) && !inked(10, 15));
        QVERIFY(grid()->isVisible());
        QVERIFY(!strip()->isVisible());
        QCOMPARE(grid()->marked(), 0); // red, the current colour
    }

    void toolButtonsReportWidthAndColour_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<int>("event");
        QTest::addColumn<QList<QVariant>>("arguments");
        QTest::newRow("rectangle") << 1 << 0 << QList<QVariant>{Width(1), Color(255)};
        QTest::newRow("rounded") << 2 << 1 << QList<QVariant>{Width(1), Color(255)};
        QTest::newRow("circle") << 3 << 2 << QList<QVariant>{Width(1), Color(255)};
        QTest::newRow("line") << 4 << 3 << QList<QVariant>{Width(1), Color(255)};
        QTest::newRow("text") << 5 << 4 << QList<QVariant>{};
        QTest::newRow("arrow") << 6 << 5 << QList<QVariant>{};
    }

    void toolButtonsReportWidthAndColour()
    {
        QFETCH(int, button);
        QFETCH(int, event);
        QFETCH(QList<QVariant>, arguments);
        QTest::mouseClick(tool(button), Qt::LeftButton);
        QCOMPARE(eventsRaised(), 1);
        QCOMPARE(m_spies[event]->size(), 1);
        QCOMPARE(m_spies[event]->at(0), arguments);
        QCOMPARE(m_bar->currentTool(), button);

        QTest::mouseClick(tool(0), Qt::LeftButton);
        QCOMPARE(eventsRaised(), 1); // the no-tool button raises nothing
        QCOMPARE(m_bar->currentTool(), 0);
    }

    void gridSwatches_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("row");
        QTest::addColumn<quint32>("color");
        QTest::newRow("fourth column, second row") << 3 << 1 << quint32(15707648);
        QTest::newRow("first") << 0 << 0 << quint32(255);
        QTest::newRow("last of the first row") << 4 << 0 << quint32(16711680);
        QTest::newRow("second row, second column") << 1 << 1 << quint32(1938679);
        QTest::newRow("white") << 4 << 2 << quint32(16777215);
        QTest::newRow("grey") << 3 << 3 << quint32(75 + 256 * 75 + 65536 * 75);
        QTest::newRow("black") << 4 << 3 << quint32(0);
    }

    void gridSwatches()
    {
        QFETCH(int, column);
        QFETCH(int, row);
        QFETCH(quint32, color);
        const int index = row * 5 + column;
        // The cell's far corner, one twip inside, and a right-button click.
        const QPoint corner = grid()->cellRect(index).bottomRight();
        QTest::mouseClick(grid(), Qt::RightButton, Qt::NoModifier, corner);
        QCOMPARE(m_spies[6]->size(), 1);
        QCOMPARE(m_spies[6]->at(0).at(0).value<quint32>(), color);
        QCOMPARE(grid()->marked(), index);
        QCOMPARE(m_bar->currentColor(), color);

        // The next shape tool carries it.
        QTest::mouseClick(tool(3), Qt::LeftButton);
        QCOMPARE(m_spies[2]->at(0), (QList<QVariant>{Width(1), Color(color)}));
    }

    void stripSwatches_data()
    {
        QTest::addColumn<int>("swatch");
        QTest::addColumn<quint32>("color");
        QTest::newRow("seventh") << 6 << quint32(1938679);
        QTest::newRow("first") << 0 << quint32(255);
        QTest::newRow("tenth") << 9 << quint32(51 + 256 * 51 + 65536 * 153);
        QTest::newRow("eleventh") << 10 << quint32(255 + 65536 * 255);
        QTest::newRow("twentieth") << 19 << quint32(0);
    }

    void stripSwatches()
    {
        QFETCH(int, swatch);
        QFETCH(quint32, color);
        m_bar->setViewMode(1);
        QTest::mouseClick(
            strip(), Qt::LeftButton, Qt::NoModifier, strip()->cellRect(swatch).center());
        QCOMPARE(m_spies[6]->size(), 1);
        QCOMPARE(m_spies[6]->at(0).at(0).value<quint32>(), color);
        QCOMPARE(strip()->marked(), swatch);
        m_bar->setViewMode(0);
        QCOMPARE(grid()->marked(), swatch); // the same colour is framed in the grid
    }

    void clicksBesideTheCellsAreIgnored()
    {
        const QRect lastGrid = grid()->cellRect(19);
        const QRect lastStrip = strip()->cellRect(19);
        QTest::mouseClick(grid(), Qt::LeftButton, Qt::NoModifier, QPoint(lastGrid.right() + 1, 5));
        QTest::mouseClick(grid(), Qt::LeftButton, Qt::NoModifier, QPoint(5, lastGrid.bottom() + 1));
        QTest::mouseClick(
            grid(), Qt::LeftButton, Qt::NoModifier, QPoint(0, 5)); // the frame's margin
        m_bar->setViewMode(1);
        QTest::mouseClick(
            strip(), Qt::LeftButton, Qt::NoModifier, QPoint(lastStrip.right() + 1, 5));
        QCOMPARE(eventsRaised(), 0);
        QCOMPARE(m_bar->currentColor(), quint32(255));
        QCOMPARE(ToolPalette::SwatchAt(5 * 285, 0, 5, 4), -1);
        QCOMPARE(ToolPalette::SwatchAt(5 * 285 - 1, 4 * 285 - 1, 5, 4), 19);
        QCOMPARE(ToolPalette::SwatchAt(-1, 0, 20, 1), -1);
    }

    void lineWidthFromTheListGoesWithTheNextShape()
    {
        QComboBox *list = widths();
        list->setFocus();
        QTest::keyClick(list, Qt::Key_Down);
        QTest::keyClick(list, Qt::Key_Down);
        QCOMPARE(m_spies[7]->size(), 2);
        QCOMPARE(m_spies[7]->at(1), QList<QVariant>{Width(3)});
        QCOMPARE(m_bar->currentLineWidth(), qint16(3));
        QTest::keyClick(list, Qt::Key_End);
        QCOMPARE(m_spies[7]->last(), QList<QVariant>{Width(8)});

        tool(4)->setFocus();
        QTest::keyClick(tool(4), Qt::Key_Space);
        QCOMPARE(m_spies[3]->size(), 1);
        QCOMPARE(m_spies[3]->at(0), (QList<QVariant>{Width(8), Color(255)}));
    }

    void resetSelectsNoToolWithFocus()
    {
        QApplication::setActiveWindow(m_bar.get());
        QVERIFY(QTest::qWaitForWindowActive(m_bar.get()));
        QTest::mouseClick(tool(6), Qt::LeftButton);
        QCOMPARE(eventsRaised(), 1);
        m_bar->Reset();
        QCOMPARE(m_bar->currentTool(), 0);
        QVERIFY(tool(0)->isChecked());
        QVERIFY(!tool(6)->isChecked());
        QCOMPARE(QApplication::focusWidget(), tool(0));
        QCOMPARE(eventsRaised(), 1);
    }

    void viewModeLaysOutTallOrWide()
    {
        m_bar->setViewMode(7);
        QCOMPARE(m_bar->ViewMode(), qint16(1));
        QTRY_VERIFY(strip()->isVisible());
        QVERIFY(!grid()->isVisible());
        m_bar->adjustSize();
        QVERIFY(m_bar->width() > m_bar->height());
        QVERIFY(tool(1)->geometry().top() == tool(6)->geometry().top()); // a row
        for (int i = 0; i < 7; ++i)
            QVERIFY(!tool(i)->geometry().intersects(strip()->geometry()));
        saveScreenshot(u"toolbar-wide.png"_s);

        m_bar->setViewMode(0);
        QCOMPARE(m_bar->ViewMode(), qint16(0));
        QTRY_VERIFY(grid()->isVisible());
        QVERIFY(!strip()->isVisible());
        m_bar->adjustSize();
        QVERIFY(m_bar->height() > m_bar->width());
        QVERIFY(tool(1)->geometry().left() == tool(6)->geometry().left()); // a column
        QVERIFY(grid()->geometry().top() > tool(6)->geometry().bottom());
        QTest::mouseClick(grid(), Qt::LeftButton, Qt::NoModifier, grid()->cellRect(8).center());
        saveScreenshot(u"toolbar-tall.png"_s);
    }
};

QTEST_MAIN(ToolBarTest)
#include "toolbar_test.moc"
